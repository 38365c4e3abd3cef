// SPDX-License-Identifier: MIT
#include "link/CommandTransport.h"

#include "link/LinkLog.h"
#include "link/MonitorMessage.h"
#include "link/NetworkPortName.h"
#include "link/PortOpenFailure.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>
#include <thread>
#include <utility>

namespace korvane {

namespace {

class BusyCursorScope {
public:
    explicit BusyCursorScope(BusyCursor* cursor) : m_cursor(cursor) {
        if (m_cursor != nullptr)
            m_cursor->busy();
    }
    ~BusyCursorScope() {
        if (m_cursor != nullptr)
            m_cursor->restore();
    }
    BusyCursorScope(const BusyCursorScope&) = delete;
    BusyCursorScope& operator=(const BusyCursorScope&) = delete;

private:
    BusyCursor* m_cursor;
};

std::atomic<std::uint32_t> blockGap{CommandTransport::BlockGapMs};

} // namespace

std::uint32_t CommandTransport::blockGapMs() noexcept {
    return blockGap.load();
}

void CommandTransport::setBlockGapMsForTests(std::uint32_t ms) noexcept {
    blockGap.store(ms);
}

CommandTransport::CommandTransport()
    : m_comm(std::make_unique<SerialPort>()), m_network(std::make_unique<NetworkPort>(*m_comm)) {
    for (PortLink* port :
         {static_cast<PortLink*>(m_comm.get()), static_cast<PortLink*>(m_network.get())}) {
        port->dataReceived = [this](const std::uint8_t* buffer, std::uint16_t count) {
            receiveData(buffer, count);
        };
        port->hangupRequested = [this]() {
            if (m_waitLoop != nullptr)
                m_waitLoop->quit();
        };
    }
    m_comm->lineErrorReceived = [](std::uint32_t) {
    };
    m_comm->sendBufferEmptied = []() {
    };
    m_comm->setInputXonXoff(false);
    m_comm->setOutputXonXoff(false);
    m_comm->setReadIntervalTimeout(blockGapMs());
}

CommandTransport::~CommandTransport() {
    // The ports' handlers point here: close them and drop their pending notifications
    // first; the network port uses the serial port's settings.
    m_network.reset();
    m_comm.reset();
}

void CommandTransport::openPort() {
    closePort();
    if (isNetworkPortName(m_comm->commName())) {
        m_network->setConnectTimeLimitMs(m_timeLimitMs);
        m_network->openPort();
    } else {
        m_comm->openPort();
    }
}

void CommandTransport::closePort() {
    m_network->closePort();
    m_comm->closePort();
}

bool CommandTransport::isOpen() const noexcept {
    return m_network->isOpen() || m_comm->isOpen();
}

PortLink& CommandTransport::link() noexcept {
    return m_network->isOpen() ? static_cast<PortLink&>(*m_network) : *m_comm;
}

const PortLink& CommandTransport::link() const noexcept {
    return m_network->isOpen() ? static_cast<const PortLink&>(*m_network) : *m_comm;
}

const std::uint8_t* CommandTransport::transact(const std::uint8_t* frame, int& length) {
    if (m_sendGate && !m_sendGate()) {
        qCDebug(linkLog).noquote() << (m_comm ? m_comm->commName() : QString())
                                   << "held back:" << hexBytes(frame, std::max(length, 0));
        m_responseEvent = false;
        length = m_responseLength;
        return nullptr;
    }
    throwIfLost();
    const BusyCursorScope busy(m_busyCursor);
    QElapsedTimer sinceSend;
    sinceSend.start();
    if (length >= 0 && length <= std::numeric_limits<std::uint16_t>::max())
        sendFrame(frame, static_cast<std::uint16_t>(length));
    else
        m_responseEvent = false;
    waitForResponse(sinceSend);
    if (!m_responseEvent)
        throwIfLost();
    if (linkLog().isDebugEnabled()) {
        const QString port = m_comm ? m_comm->commName() : QString();
        qCDebug(linkLog).noquote() << port << "sent" << hexBytes(frame, std::max(length, 0));
        if (m_responseEvent)
            qCDebug(linkLog).noquote() << port << "answer after" << sinceSend.elapsed()
                                       << "ms:" << hexBytes(m_response.data(), m_responseLength);
        else
            qCDebug(linkLog).noquote() << port << "no answer within" << m_timeLimitMs << "ms";
    }
    length = m_responseLength;
    return m_responseEvent ? m_response.data() : nullptr;
}

std::optional<ByteBuffer> CommandTransport::transact(std::span<const std::uint8_t> frame) {
    int length = frame.size() <= std::numeric_limits<std::uint16_t>::max()
                     ? static_cast<int>(frame.size())
                     : -1;
    const std::uint8_t* response = transact(frame.data(), length);
    if (response == nullptr)
        return std::nullopt;
    return ByteBuffer(response, response + length);
}

void CommandTransport::waitForResponse(const QElapsedTimer& sinceSend) {
    if (QCoreApplication::instance() == nullptr) {
        // No event loop can deliver a response; keep the time limit all the same.
        std::this_thread::sleep_for(std::chrono::milliseconds(m_timeLimitMs));
        return;
    }
    // Timers may fire a little early; the loop makes the limit a lower bound.
    m_waitAbandoned = false;
    while (!m_responseEvent && !m_waitAbandoned && !link().isLost()) {
        const qint64 left = m_timeLimitMs - sinceSend.elapsed();
        if (left <= 0)
            break;
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(static_cast<int>(left));
        QEventLoop* const outer = std::exchange(m_waitLoop, &loop);
        loop.exec();
        m_waitLoop = outer;
    }
    // An outer transaction shares the response event: it need not wait any longer.
    if (m_responseEvent && m_waitLoop != nullptr)
        m_waitLoop->quit();
}

void CommandTransport::throwIfLost() {
    PortLink& port = link();
    if (!port.isLost())
        return;
    const int error = port.lostSystemError();
    qCDebug(linkLog).noquote() << m_comm->commName() << "lost:" << systemErrorText(error);
    const bool network = &port == m_network.get();
    port.closePort();
    const PortFailure failure = network ? NetworkPort::lostFailure(m_comm->commName())
                                        : lostFailure(error, m_comm->commName());
    throw KorvaneError(PortLostText, KorvaneError::Kind::Port, error, failure.reason, failure.hint);
}

bool CommandTransport::sendFrame(const std::uint8_t* frame, std::uint16_t length) {
    m_responseEvent = false;
    if (frame == nullptr)
        length = 0;
    const bool accepted = link().writeData(frame, length);
    if (m_debug)
        postMonitor(" Command: ", frame, length);
    return accepted;
}

void CommandTransport::abandonWait() {
    if (m_waitLoop == nullptr)
        return;
    m_waitAbandoned = true;
    m_waitLoop->quit();
}

const std::uint8_t* CommandTransport::response() const noexcept {
    return m_response.empty() ? nullptr : m_response.data();
}

void CommandTransport::receiveData(const std::uint8_t* buffer, std::uint16_t count) {
    if (buffer == nullptr)
        count = 0;
    m_response.assign(std::size_t(count) + 1, 0);
    std::copy_n(buffer, count, m_response.begin());
    m_responseLength = count;
    m_responseEvent = true;
    if (m_debug)
        postMonitor(" Response: ", buffer, count);
    if (m_waitLoop != nullptr)
        m_waitLoop->quit();
}

void CommandTransport::postMonitor(const char* label, const std::uint8_t* bytes,
                                   std::size_t count) {
    if (m_monitor.isNull())
        return;
    // The text line stops at the first NUL, and never reads past the bytes themselves.
    const auto* chars = reinterpret_cast<const char*>(bytes);
    const std::size_t textLength = count == 0 ? 0 : std::find(bytes, bytes + count, 0) - bytes;
    // The frame's bytes are single-byte characters; the line travels as UTF-8, so that
    // the port name arrives as it is whatever its characters.
    const QString text = m_comm->commName() + QLatin1String(label) +
                         QString::fromLatin1(chars, static_cast<qsizetype>(textLength));
    QCoreApplication::postEvent(m_monitor, new MonitorMessage(0, text.toUtf8()));
    // Count 0 would read as a text line; an empty frame has no byte record.
    if (count > 0)
        QCoreApplication::postEvent(
            m_monitor, new MonitorMessage(static_cast<int>(count),
                                          QByteArray(chars, static_cast<qsizetype>(count))));
}

QString CommandTransport::portDescription() const {
    const SerialPort& port = *m_comm;
    QString parity;
    switch (port.parity()) {
    case ParityMode::None:
        parity = QStringLiteral("N-");
        break;
    case ParityMode::Odd:
        parity = QStringLiteral("O-");
        break;
    case ParityMode::Even:
        parity = QStringLiteral("E-");
        break;
    default:
        break;
    }
    QString stopBits;
    switch (port.stopBits()) {
    case StopBitsMode::_1_5:
        stopBits = QStringLiteral("1.5");
        break;
    case StopBitsMode::_2:
        stopBits = QStringLiteral("2");
        break;
    default:
        stopBits = QStringLiteral("1");
        break;
    }
    return port.commName() + QLatin1Char(' ') + QString::number(port.baudRate()) +
           QLatin1Char('-') + QString::number(static_cast<int>(port.byteSize()) + 5) +
           QLatin1Char('-') + parity + stopBits;
}

} // namespace korvane
