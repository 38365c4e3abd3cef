// SPDX-License-Identifier: MIT
#include "link/SerialPort.h"

#include "link/LinkLog.h"
#include "link/PortOpenFailure.h"
#include "link/SerialPortPrivate.h"

#include <QCoreApplication>
#include <QObject>

#include <system_error>

namespace korvane {

// Hidden object on the owner's thread that turns posted notifications into handler
// calls. It may outlive its port by one dispatch when a handler destroys the port.
class NotificationTarget : public QObject {
public:
    explicit NotificationTarget(SerialPort* port) : m_port(port) {}
    void detach() noexcept { m_port = nullptr; }
    bool isDispatching() const noexcept { return m_depth > 0; }

protected:
    bool event(QEvent* e) override {
        const auto* notification = dynamic_cast<const PortNotificationEvent*>(e);
        if (notification == nullptr)
            return QObject::event(e);
        if (m_port != nullptr) {
            const auto& block = notification->block;
            ++m_depth;
            m_port->dispatch(notification->code, notification->value, block.data(),
                             block.empty() ? 0 : block.size() - 1);
            --m_depth;
        }
        return true;
    }

private:
    SerialPort* m_port;
    int m_depth = 0;
};

SerialPort::SerialPort() : m_target(new NotificationTarget(this)) {}

SerialPort::~SerialPort() {
    closePort();
    QCoreApplication::removePostedEvents(m_target);
    m_target->detach();
    if (m_target->isDispatching())
        m_target->deleteLater();
    else
        delete m_target;
}

void SerialPort::dispatch(int code, std::uint32_t value, const std::uint8_t* block,
                          std::size_t count) {
    // Copies, so that a handler may replace itself or destroy the port.
    switch (code) {
    case NotifyData:
        if (ReceiveDataHandler handler = dataReceived)
            handler(block, static_cast<std::uint16_t>(count));
        break;
    case NotifyError:
        if (ReceiveErrorHandler handler = lineErrorReceived)
            handler(value);
        break;
    case NotifyHangup:
        m_lost = true;
        m_lostError = static_cast<int>(value);
        if (NotifyHandler handler = hangupRequested)
            handler();
        break;
    case NotifyModem:
        if (ModemStateHandler handler = modemStateChanged)
            handler(value);
        break;
    case NotifySendEmpty:
        if (SendDataEmptyHandler handler = sendBufferEmptied)
            handler();
        break;
    default:
        break;
    }
}

void SerialPort::openPort() {
    if (isOpen())
        throw KorvaneError(QStringLiteral("This serial port already opened"),
                           KorvaneError::Kind::Port);

    m_lost = false;
    m_lostError = 0;
    m_state = std::make_unique<PortThreadState>();
    m_state->target = m_target;
    if (!openHandle(m_commName)) {
        const int error = lastSystemError();
        qCDebug(linkLog).noquote() << m_commName << "cannot be opened:" << qt_error_string(error);
        m_state.reset();
        // Nothing of this open is held any more: a busy port's holders are the others.
        const PortFailure failure = openFailure(error, m_commName);
        throw KorvaneError(QStringLiteral("Error opening serial port"), KorvaneError::Kind::Port,
                           error, failure.reason, failure.hint);
    }
    if (!isCommHandle()) {
        const int error = lastSystemError();
        closeHandle();
        m_state.reset();
        const PortFailure failure =
            describePortProblem(PortProblem::NotSerial, m_commName, {}, systemErrorText(error));
        throw KorvaneError(QStringLiteral("File handle is not a comm handle "),
                           KorvaneError::Kind::Port, error, failure.reason, failure.hint);
    }
    if (!setupQueues()) {
        const int error = lastSystemError();
        closeHandle();
        m_state.reset();
        throw KorvaneError(QStringLiteral("Cannot setup comm buffer"), KorvaneError::Kind::Port,
                           error);
    }

    purgeAll();
    applyTimeouts();
    applyLineSettings();

    if (!createStopEvent()) {
        const int error = lastSystemError();
        closeStopEvent();
        closeHandle();
        m_state.reset();
        throw KorvaneError(QStringLiteral("Unable to create event"), KorvaneError::Kind::Port,
                           error);
    }

    m_readThread = std::make_unique<ReceiveThread>(*m_state);
    try {
        m_readThread->start();
    } catch (const std::system_error& e) {
        m_readThread.reset();
        closeStopEvent();
        closeHandle();
        m_state.reset();
        throw KorvaneError(QStringLiteral("Unable to create read thread"), KorvaneError::Kind::Port,
                           e.code().value());
    }

    m_writeThread = std::make_unique<TransmitThread>(*m_state);
    try {
        m_writeThread->start();
    } catch (const std::system_error& e) {
        m_writeThread.reset();
        stopThreads();
        closeStopEvent();
        closeHandle();
        m_state.reset();
        throw KorvaneError(QStringLiteral("Unable to create write thread"),
                           KorvaneError::Kind::Port, e.code().value());
    }
    qCDebug(linkLog).noquote() << m_commName << "opened";
}

void SerialPort::stopThreads() {
    signalStop();
    if (m_readThread) {
        m_readThread->join();
        m_readThread.reset();
    }
    if (m_writeThread) {
        m_writeThread->join();
        m_writeThread.reset();
    }
}

void SerialPort::closePort() {
    if (!isOpen())
        return;
    stopThreads();
    closeStopEvent();
    closeHandle();
    m_state.reset();
    qCDebug(linkLog).noquote() << m_commName << "closed";
}

bool SerialPort::writeData(const std::uint8_t* buffer, std::uint16_t count) {
    if (!isOpen() || !m_writeThread || count == 0 || buffer == nullptr)
        return false;
    return m_writeThread->post(std::vector<std::uint8_t>(buffer, buffer + count));
}

template <typename T> void SerialPort::set(T& member, const T& value, bool lineSettings) {
    if (member == value)
        return;
    member = value;
    reapply(lineSettings);
}

void SerialPort::reapply(bool lineSettings) {
    if (!isOpen())
        return;
    if (lineSettings)
        applyLineSettings();
    else
        applyTimeouts();
}

void SerialPort::setCommName(const QString& value) {
    m_commName = value;
}
void SerialPort::setParity(ParityMode value) {
    m_parity = value;
}

void SerialPort::setBaudRate(std::uint32_t value) {
    set(m_baudRate, value, true);
}
void SerialPort::setParityCheck(bool value) {
    set(m_parityCheck, value, true);
}
void SerialPort::setOutputCtsFlow(bool value) {
    set(m_outxCtsFlow, value, true);
}
void SerialPort::setOutputDsrFlow(bool value) {
    set(m_outxDsrFlow, value, true);
}
void SerialPort::setDtrControl(DtrMode value) {
    set(m_dtrControl, value, true);
}
void SerialPort::setDsrSensitivity(bool value) {
    set(m_dsrSensitivity, value, true);
}
void SerialPort::setTxContinueOnXoff(bool value) {
    set(m_txContinueOnXoff, value, true);
}
void SerialPort::setOutputXonXoff(bool value) {
    set(m_outxXonXoffFlow, value, true);
}
void SerialPort::setInputXonXoff(bool value) {
    set(m_inxXonXoffFlow, value, true);
}
void SerialPort::setReplaceWhenParityError(bool value) {
    set(m_replaceWhenParityError, value, true);
}
void SerialPort::setIgnoreNullChar(bool value) {
    set(m_ignoreNullChar, value, true);
}
void SerialPort::setRtsControl(RtsMode value) {
    set(m_rtsControl, value, true);
}
void SerialPort::setXonLimit(std::uint16_t value) {
    set(m_xonLimit, value, true);
}
void SerialPort::setXoffLimit(std::uint16_t value) {
    set(m_xoffLimit, value, true);
}
void SerialPort::setByteSize(DataBits value) {
    set(m_byteSize, value, true);
}
void SerialPort::setStopBits(StopBitsMode value) {
    set(m_stopBits, value, true);
}
void SerialPort::setXonChar(std::uint8_t value) {
    set(m_xonChar, value, true);
}
void SerialPort::setXoffChar(std::uint8_t value) {
    set(m_xoffChar, value, true);
}
void SerialPort::setReplacedChar(std::uint8_t value) {
    set(m_replacedChar, value, true);
}

void SerialPort::setReadIntervalTimeout(std::uint32_t value) {
    set(m_readIntervalTimeout, value, false);
}
void SerialPort::setReadTotalTimeoutMultiplier(std::uint32_t value) {
    set(m_readTotalTimeoutMultiplier, value, false);
}
void SerialPort::setReadTotalTimeoutConstant(std::uint32_t value) {
    set(m_readTotalTimeoutConstant, value, false);
}
void SerialPort::setWriteTotalTimeoutMultiplier(std::uint32_t value) {
    set(m_writeTotalTimeoutMultiplier, value, false);
}
void SerialPort::setWriteTotalTimeoutConstant(std::uint32_t value) {
    set(m_writeTotalTimeoutConstant, value, false);
}

} // namespace korvane
