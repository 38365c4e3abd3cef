// SPDX-License-Identifier: MIT
#include "link/NetworkPort.h"

#include "config/KorvaneError.h"
#include "link/LinkLog.h"
#include "link/SerialPort.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkProxy>
#include <QScopeGuard>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <array>

namespace korvane {

namespace {

using namespace rfc2217;

// One block never holds more than the serial port's receive thread hands over.
constexpr std::size_t MaxBlock = 2048;

const QString OpenFailedText = QStringLiteral("Error opening serial port");

std::uint8_t parityCode(ParityMode parity) {
    switch (parity) {
    case ParityMode::Odd:
        return 2;
    case ParityMode::Even:
        return 3;
    case ParityMode::Mark:
        return 4;
    case ParityMode::Space:
        return 5;
    case ParityMode::None:
        break;
    }
    return 1;
}

std::uint8_t stopSizeCode(StopBitsMode stopBits) {
    switch (stopBits) {
    case StopBitsMode::_2:
        return 2;
    case StopBitsMode::_1_5:
        return 3;
    case StopBitsMode::_1:
        break;
    }
    return 1;
}

// A setting's value as the operator reads it.
QString settingValueText(Command command, std::span<const std::uint8_t> value) {
    if (command == SetBaudRate) {
        const auto rate = baudRateOf(value);
        return rate ? QString::number(*rate) : QStringLiteral("（%1 字节）").arg(value.size());
    }
    if (value.size() != 1)
        return QStringLiteral("（%1 字节）").arg(value.size());
    const int v = value[0];
    if (command == SetParity) {
        static const std::array<const char*, 6> names = {"?", "N", "O", "E", "M", "S"};
        return v < 6 ? QString::fromLatin1(names[std::size_t(v)]) : QString::number(v);
    }
    if (command == SetStopSize && v == 3)
        return QStringLiteral("1.5");
    return QString::number(v);
}

QString settingName(Command command) {
    switch (command) {
    case SetBaudRate:
        return QStringLiteral("波特率");
    case SetDataSize:
        return QStringLiteral("数据位");
    case SetParity:
        return QStringLiteral("校验");
    default:
        break;
    }
    return QStringLiteral("停止位");
}

} // namespace

NetworkPort::NetworkPort(const SerialPort& settings) : m_settings(settings) {}

NetworkPort::~NetworkPort() {
    closePort();
}

PortFailure NetworkPort::lostFailure(const QString& portName) {
    return {QStringLiteral("到 %1 的连接在使用中断开了").arg(portName),
            QStringLiteral("请检查网络和设备服务器；恢复后重新连接。")};
}

void NetworkPort::failOpen(const PortFailure& failure) {
    qCDebug(linkLog).noquote() << m_settings.commName() << "cannot be opened:" << failure.reason;
    dropSocket();
    m_opening = false;
    throw KorvaneError(OpenFailedText, KorvaneError::Kind::Port, 0, failure.reason, failure.hint);
}

void NetworkPort::openPort() {
    if (m_open)
        throw KorvaneError(QStringLiteral("This serial port already opened"),
                           KorvaneError::Kind::Port);
    m_lost = false;
    m_answers.clear();
    m_block.clear();
    m_early.clear();
    m_heldBack.clear();
    const QString portName = m_settings.commName().trimmed();
    QString problem;
    const auto name = parseNetworkPortName(portName, &problem);
    if (!name)
        throw KorvaneError(
            OpenFailedText, KorvaneError::Kind::Port, 0, problem,
            QStringLiteral("网络端口写作 rfc2217://主机:端口 或 socket://主机:端口。"));
    m_name = *name;
    m_opening = true;
    QElapsedTimer sinceStart;
    sinceStart.start();
    const auto left = [&] {
        return static_cast<int>(std::max<qint64>(0, m_connectLimitMs - sinceStart.elapsed()));
    };
    connectSocket(m_name, left());
    if (m_name.scheme == NetworkPortName::Scheme::Rfc2217)
        negotiate(left());
    else
        waitForServerText(left());
    // Whatever came before the port was open is the server's, never the device's.
    m_early.clear();
    m_opening = false;
    m_open = true;
    qCDebug(linkLog).noquote() << portName << "connected in" << sinceStart.elapsed() << "ms";
}

void NetworkPort::connectSocket(const NetworkPortName& name, int timeLeftMs) {
    m_socket = std::make_unique<QTcpSocket>();
    m_socket->setProxy(QNetworkProxy::NoProxy);
    m_gapTimer = std::make_unique<QTimer>();
    m_gapTimer->setSingleShot(true);
    m_gapTimer->setTimerType(Qt::PreciseTimer);
    m_gapTimer->setInterval(
        static_cast<int>(std::clamp<std::uint32_t>(m_settings.readIntervalTimeout(), 1, 60'000)));
    QObject::connect(m_gapTimer.get(), &QTimer::timeout, m_gapTimer.get(),
                     [this] { deliverBlock(); });
    QTcpSocket* socket = m_socket.get();
    const auto wake = [this] {
        if (m_wait != nullptr)
            m_wait->quit();
    };
    QObject::connect(socket, &QTcpSocket::connected, socket, wake);
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [this] { takeBytes(); });
    QObject::connect(socket, &QTcpSocket::disconnected, socket, [this] { connectionEnded(); });
    QObject::connect(socket, &QTcpSocket::errorOccurred, socket,
                     [this](QAbstractSocket::SocketError) { connectionEnded(); });
    socket->connectToHost(name.host, name.port);

    const QString portName = m_settings.commName().trimmed();
    const bool connected = waitUntil(
                               [socket] {
                                   return socket->state() == QAbstractSocket::ConnectedState ||
                                          socket->state() == QAbstractSocket::UnconnectedState;
                               },
                               timeLeftMs) &&
                           socket->state() == QAbstractSocket::ConnectedState;
    if (connected) {
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
        return;
    }
    const QString systemText = socket->errorString();
    const bool timedOut = socket->state() != QAbstractSocket::UnconnectedState;
    switch (timedOut ? QAbstractSocket::SocketTimeoutError : socket->error()) {
    case QAbstractSocket::HostNotFoundError:
        failOpen({QStringLiteral("找不到主机 %1（%2）").arg(name.host, systemText),
                  QStringLiteral("请检查端口名中的主机名，以及这台电脑的网络和名称解析。")});
    case QAbstractSocket::ConnectionRefusedError:
        failOpen({QStringLiteral("%1 拒绝了连接（%2）").arg(portName, systemText),
                  QStringLiteral("请检查 TCP 端口号，以及设备服务器上这个端口是否开着。")});
    case QAbstractSocket::SocketTimeoutError:
        failOpen({QStringLiteral("%1 在 %2 毫秒内没有应答").arg(portName).arg(m_connectLimitMs),
                  QStringLiteral("请检查地址和网络；设备服务器可能没有开机，或被防火墙挡住。")});
    default:
        break;
    }
    failOpen({QStringLiteral("无法到达 %1（%2）").arg(portName, systemText),
              QStringLiteral("请检查网络连线和设备服务器的地址。")});
}

bool NetworkPort::serverSaysBusy() const {
    const QByteArray text(reinterpret_cast<const char*>(m_early.data()),
                          static_cast<qsizetype>(m_early.size()));
    return text.contains("already in use");
}

void NetworkPort::waitForServerText(int timeLeftMs) {
    // A raw port says nothing until the device answers, but a busy server says so at
    // once and closes; give it the read interval to do that.
    const int wait = std::min(timeLeftMs, m_gapTimer->interval());
    waitUntil(
        [this] { return serverSaysBusy() || m_socket->state() != QAbstractSocket::ConnectedState; },
        wait);
    const QString portName = m_settings.commName().trimmed();
    if (serverSaysBusy())
        failOpen({QStringLiteral("端口 %1 正被另一个客户端占用（设备服务器：Port already in use）")
                      .arg(portName),
                  QStringLiteral("请关闭另一个连接后再试；设备服务器一次只接受一个客户端。")});
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        failOpen({QStringLiteral("%1 关闭了连接").arg(portName),
                  QStringLiteral("请检查设备服务器的配置和它的串口。")});
}

void NetworkPort::negotiate(int timeLeftMs) {
    const QString portName = m_settings.commName().trimmed();
    const ByteBuffer requests = m_telnet.start();
    m_socket->write(reinterpret_cast<const char*>(requests.data()),
                    static_cast<qint64>(requests.size()));
    m_socket->flush();
    const auto ended = [this] {
        return m_socket->state() != QAbstractSocket::ConnectedState;
    };
    const auto checkEnded = [&] {
        if (serverSaysBusy())
            failOpen(
                {QStringLiteral("端口 %1 正被另一个客户端占用（设备服务器：Port already in use）")
                     .arg(portName),
                 QStringLiteral("请关闭另一个连接后再试；设备服务器一次只接受一个客户端。")});
        if (ended())
            failOpen({QStringLiteral("%1 关闭了连接").arg(portName),
                      QStringLiteral("请检查设备服务器的配置和它的串口。")});
    };
    const PortFailure notRfc2217{
        QStringLiteral("%1 不是 RFC 2217 端口").arg(portName),
        QStringLiteral("原始 TCP 端口请用 socket://%1。")
            .arg(portName.mid(portName.indexOf(QStringLiteral("://")) + 3))};

    QElapsedTimer sinceStart;
    sinceStart.start();
    const int optionLimit = std::min(timeLeftMs, SettingAnswerLimitMs);
    waitUntil(
        [&] {
            return m_telnet.comPortAccepted() || m_telnet.comPortRefused() || ended() ||
                   serverSaysBusy();
        },
        optionLimit);
    checkEnded();
    if (!m_telnet.comPortAccepted())
        failOpen(notRfc2217);

    // The line, in the order the RFC recommends; every value confirmed as sent.
    const auto rate = baudRateValue(m_settings.baudRate());
    const std::uint8_t dataSize =
        static_cast<std::uint8_t>(static_cast<int>(m_settings.byteSize()) + 5);
    const std::uint8_t parity = parityCode(m_settings.parity());
    const std::uint8_t stopSize = stopSizeCode(m_settings.stopBits());
    const std::array<std::pair<Command, ByteBuffer>, 4> wanted = {{
        {SetBaudRate, ByteBuffer(rate.begin(), rate.end())},
        {SetDataSize, {dataSize}},
        {SetParity, {parity}},
        {SetStopSize, {stopSize}},
    }};
    ByteBuffer settings;
    for (const auto& [command, value] : wanted) {
        const ByteBuffer sb = subnegotiation(command, value);
        settings.insert(settings.end(), sb.begin(), sb.end());
    }
    m_socket->write(reinterpret_cast<const char*>(settings.data()),
                    static_cast<qint64>(settings.size()));
    m_socket->flush();
    const auto answerTo = [this](Command command) -> const Answer* {
        const auto it = std::find_if(m_answers.begin(), m_answers.end(),
                                     [command](const Answer& a) { return a.command == command; });
        return it == m_answers.end() ? nullptr : &*it;
    };
    const int answerLimit =
        std::min(SettingAnswerLimitMs, std::max(0, timeLeftMs - int(sinceStart.elapsed())));
    waitUntil(
        [&] {
            return ended() || std::all_of(wanted.begin(), wanted.end(), [&](const auto& w) {
                       return answerTo(w.first) != nullptr;
                   });
        },
        answerLimit);
    checkEnded();
    for (const auto& [command, value] : wanted) {
        const Answer* answer = answerTo(command);
        if (answer == nullptr)
            failOpen({QStringLiteral("%1 没有确认%2的设置").arg(portName, settingName(command)),
                      QStringLiteral("请检查设备服务器是否支持 RFC 2217 的串口设置。")});
        if (answer->value != value)
            failOpen({QStringLiteral("设备服务器把%1设为 %2，而不是所要的 %3")
                          .arg(settingName(command), settingValueText(command, answer->value),
                               settingValueText(command, value)),
                      QStringLiteral("请选择设备服务器的串口支持的设置。")});
    }
}

bool NetworkPort::waitUntil(const std::function<bool()>& done, int timeLeftMs) {
    QElapsedTimer since;
    since.start();
    while (!done()) {
        const qint64 left = timeLeftMs - since.elapsed();
        if (left <= 0)
            return false;
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(static_cast<int>(left));
        QEventLoop* const outer = std::exchange(m_wait, &loop);
        loop.exec();
        m_wait = outer;
    }
    return true;
}

void NetworkPort::takeBytes() {
    if (!m_socket)
        return;
    ++m_inSocketSignal;
    const auto leave = qScopeGuard([this] { --m_inSocketSignal; });
    const QByteArray bytes = m_socket->readAll();
    const std::span<const std::uint8_t> raw(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                            static_cast<std::size_t>(bytes.size()));
    ByteBuffer data;
    if (m_name.scheme == NetworkPortName::Scheme::Rfc2217) {
        Decoded decoded;
        const bool wasSuspended = m_telnet.suspended();
        m_telnet.feed(raw, decoded);
        if (!decoded.reply.empty())
            m_socket->write(reinterpret_cast<const char*>(decoded.reply.data()),
                            static_cast<qint64>(decoded.reply.size()));
        m_answers.insert(m_answers.end(), decoded.answers.begin(), decoded.answers.end());
        if (wasSuspended && !m_telnet.suspended() && !m_heldBack.empty()) {
            m_socket->write(reinterpret_cast<const char*>(m_heldBack.data()),
                            static_cast<qint64>(m_heldBack.size()));
            m_heldBack.clear();
        }
        m_socket->flush();
        data = std::move(decoded.data);
    } else {
        data.assign(raw.begin(), raw.end());
    }
    if (!m_open) {
        m_early.insert(m_early.end(), data.begin(), data.end());
    } else if (!data.empty()) {
        const QTcpSocket* const socket = m_socket.get();
        for (const std::uint8_t b : data) {
            m_block.push_back(b);
            if (m_block.size() < MaxBlock)
                continue;
            deliverBlock();
            // The block's handler may have closed the port, or opened it again.
            if (m_socket.get() != socket || !m_open)
                return;
        }
        if (!m_block.empty())
            m_gapTimer->start();
    }
    if (m_wait != nullptr)
        m_wait->quit();
}

void NetworkPort::deliverBlock() {
    if (m_gapTimer)
        m_gapTimer->stop();
    if (m_block.empty())
        return;
    const ByteBuffer block = std::exchange(m_block, {});
    m_delivering = true;
    if (ReceiveDataHandler handler = dataReceived)
        handler(block.data(), static_cast<std::uint16_t>(block.size()));
    m_delivering = false;
}

void NetworkPort::connectionEnded() {
    ++m_inSocketSignal;
    const auto leave = qScopeGuard([this] { --m_inSocketSignal; });
    if (m_wait != nullptr)
        m_wait->quit();
    if (!m_open || m_lost)
        return;
    qCDebug(linkLog).noquote() << m_settings.commName() << "connection ended:"
                               << (m_socket ? m_socket->errorString() : QString());
    // A burst cut off by the end of the connection is no answer.
    m_lost = true;
    m_block.clear();
    if (m_gapTimer)
        m_gapTimer->stop();
    if (NotifyHandler handler = hangupRequested)
        handler();
}

bool NetworkPort::writeData(const std::uint8_t* buffer, std::uint16_t count) {
    if (!m_open || m_lost || buffer == nullptr || count == 0 || !m_socket)
        return false;
    const std::span<const std::uint8_t> frame(buffer, count);
    const ByteBuffer wire = m_name.scheme == NetworkPortName::Scheme::Rfc2217
                                ? escapeData(frame)
                                : ByteBuffer(frame.begin(), frame.end());
    if (m_telnet.suspended() && m_name.scheme == NetworkPortName::Scheme::Rfc2217) {
        m_heldBack.insert(m_heldBack.end(), wire.begin(), wire.end());
        return true;
    }
    const qint64 written = m_socket->write(reinterpret_cast<const char*>(wire.data()),
                                           static_cast<qint64>(wire.size()));
    m_socket->flush();
    return written == static_cast<qint64>(wire.size());
}

void NetworkPort::dropSocket() {
    if (m_gapTimer) {
        m_gapTimer->stop();
        QObject::disconnect(m_gapTimer.get(), nullptr, nullptr, nullptr);
        // Its timeout may be what runs now: a block's handler closing the port.
        if (m_delivering)
            m_gapTimer.release()->deleteLater();
        else
            m_gapTimer.reset();
    }
    if (m_socket) {
        QObject::disconnect(m_socket.get(), nullptr, nullptr, nullptr);
        if (m_socket->state() == QAbstractSocket::ConnectedState) {
            m_socket->flush();
            m_socket->disconnectFromHost();
        }
        m_socket->abort();
        // Not under the socket's own signal, which may be what closes the port.
        if (m_inSocketSignal > 0 || m_delivering)
            m_socket.release()->deleteLater();
        else
            m_socket.reset();
    }
}

void NetworkPort::closePort() {
    m_open = false;
    m_block.clear();
    m_heldBack.clear();
    dropSocket();
}

} // namespace korvane
