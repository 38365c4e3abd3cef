#include "link/SerialPort.h"

#include "link/LinkLog.h"
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
    void Detach() noexcept { m_port = nullptr; }
    bool IsDispatching() const noexcept { return m_depth > 0; }

protected:
    bool event(QEvent* e) override {
        const auto* notification = dynamic_cast<const PortNotificationEvent*>(e);
        if (notification == nullptr)
            return QObject::event(e);
        if (m_port != nullptr) {
            const auto& block = notification->Block;
            ++m_depth;
            m_port->Dispatch(notification->Code, notification->Value, block.data(),
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
    ClosePort();
    QCoreApplication::removePostedEvents(m_target);
    m_target->Detach();
    if (m_target->IsDispatching())
        m_target->deleteLater();
    else
        delete m_target;
}

void SerialPort::Dispatch(int code, std::uint32_t value, const std::uint8_t* block,
                          std::size_t count) {
    // Copies, so that a handler may replace itself or destroy the port.
    switch (code) {
    case NotifyData:
        if (ReceiveDataHandler handler = OnReceiveData)
            handler(this, block, static_cast<std::uint16_t>(count));
        break;
    case NotifyError:
        if (ReceiveErrorHandler handler = OnReceiveError)
            handler(this, value);
        break;
    case NotifyHangup:
        if (NotifyHandler handler = OnRequestHangup)
            handler(this);
        break;
    case NotifyModem:
        if (ModemStateHandler handler = OnModemStateChange)
            handler(this, value);
        break;
    case NotifySendEmpty:
        if (SendDataEmptyHandler handler = OnSendDataEmpty)
            handler(this);
        break;
    default:
        break;
    }
}

void SerialPort::OpenPort() {
    if (IsOpen())
        throw SerialPortError("This serial port already opened");

    m_state = std::make_unique<PortThreadState>();
    m_state->target = m_target;
    if (!OpenHandle(m_commName)) {
        const int error = LastSystemError();
        qCDebug(linkLog).noquote() << m_commName << "cannot be opened:" << qt_error_string(error);
        m_state.reset();
        throw SerialPortError("Error opening serial port", error);
    }
    if (!IsCommHandle()) {
        CloseHandle();
        m_state.reset();
        throw SerialPortError("File handle is not a comm handle ");
    }
    if (!SetupQueues()) {
        const int error = LastSystemError();
        CloseHandle();
        m_state.reset();
        throw SerialPortError("Cannot setup comm buffer", error);
    }

    PurgeAll();
    ApplyTimeouts();
    ApplyLineSettings();

    if (!CreateStopEvent()) {
        const int error = LastSystemError();
        CloseStopEvent();
        CloseHandle();
        m_state.reset();
        throw SerialPortError("Unable to create event", error);
    }

    m_readThread = std::make_unique<ReceiveThread>(*m_state);
    try {
        m_readThread->Start();
    } catch (const std::system_error& e) {
        m_readThread.reset();
        CloseStopEvent();
        CloseHandle();
        m_state.reset();
        throw SerialPortError("Unable to create read thread", e.code().value());
    }

    m_writeThread = std::make_unique<TransmitThread>(*m_state);
    try {
        m_writeThread->Start();
    } catch (const std::system_error& e) {
        m_writeThread.reset();
        StopThreads();
        CloseStopEvent();
        CloseHandle();
        m_state.reset();
        throw SerialPortError("Unable to create write thread", e.code().value());
    }
    qCDebug(linkLog).noquote() << m_commName << "opened";
}

void SerialPort::StopThreads() {
    SignalStop();
    if (m_readThread) {
        m_readThread->Join();
        m_readThread.reset();
    }
    if (m_writeThread) {
        m_writeThread->Join();
        m_writeThread.reset();
    }
}

void SerialPort::ClosePort() {
    if (!IsOpen())
        return;
    StopThreads();
    CloseStopEvent();
    CloseHandle();
    m_state.reset();
    qCDebug(linkLog).noquote() << m_commName << "closed";
}

bool SerialPort::WriteData(const std::uint8_t* buffer, std::uint16_t count) {
    if (!IsOpen() || !m_writeThread || count == 0 || buffer == nullptr)
        return false;
    return m_writeThread->Post(std::vector<std::uint8_t>(buffer, buffer + count));
}

template <typename T> void SerialPort::Set(T& member, const T& value, bool lineSettings) {
    if (member == value)
        return;
    member = value;
    Reapply(lineSettings);
}

void SerialPort::Reapply(bool lineSettings) {
    if (!IsOpen())
        return;
    if (lineSettings)
        ApplyLineSettings();
    else
        ApplyTimeouts();
}

void SerialPort::SetCommName(const QString& value) {
    m_commName = value;
}
void SerialPort::SetParity(ParityMode value) {
    m_parity = value;
}

void SerialPort::SetBaudRate(std::uint32_t value) {
    Set(m_baudRate, value, true);
}
void SerialPort::SetParityCheck(bool value) {
    Set(m_parityCheck, value, true);
}
void SerialPort::SetOutx_CtsFlow(bool value) {
    Set(m_outxCtsFlow, value, true);
}
void SerialPort::SetOutx_DsrFlow(bool value) {
    Set(m_outxDsrFlow, value, true);
}
void SerialPort::SetDtrControl(DtrMode value) {
    Set(m_dtrControl, value, true);
}
void SerialPort::SetDsrSensitivity(bool value) {
    Set(m_dsrSensitivity, value, true);
}
void SerialPort::SetTxContinueOnXoff(bool value) {
    Set(m_txContinueOnXoff, value, true);
}
void SerialPort::SetOutx_XonXoffFlow(bool value) {
    Set(m_outxXonXoffFlow, value, true);
}
void SerialPort::SetInx_XonXoffFlow(bool value) {
    Set(m_inxXonXoffFlow, value, true);
}
void SerialPort::SetReplaceWhenParityError(bool value) {
    Set(m_replaceWhenParityError, value, true);
}
void SerialPort::SetIgnoreNullChar(bool value) {
    Set(m_ignoreNullChar, value, true);
}
void SerialPort::SetRtsControl(RtsMode value) {
    Set(m_rtsControl, value, true);
}
void SerialPort::SetXonLimit(std::uint16_t value) {
    Set(m_xonLimit, value, true);
}
void SerialPort::SetXoffLimit(std::uint16_t value) {
    Set(m_xoffLimit, value, true);
}
void SerialPort::SetByteSize(DataBits value) {
    Set(m_byteSize, value, true);
}
void SerialPort::SetStopBits(StopBitsMode value) {
    Set(m_stopBits, value, true);
}
void SerialPort::SetXonChar(std::uint8_t value) {
    Set(m_xonChar, value, true);
}
void SerialPort::SetXoffChar(std::uint8_t value) {
    Set(m_xoffChar, value, true);
}
void SerialPort::SetReplacedChar(std::uint8_t value) {
    Set(m_replacedChar, value, true);
}

void SerialPort::SetReadIntervalTimeout(std::uint32_t value) {
    Set(m_readIntervalTimeout, value, false);
}
void SerialPort::SetReadTotalTimeoutMultiplier(std::uint32_t value) {
    Set(m_readTotalTimeoutMultiplier, value, false);
}
void SerialPort::SetReadTotalTimeoutConstant(std::uint32_t value) {
    Set(m_readTotalTimeoutConstant, value, false);
}
void SerialPort::SetWriteTotalTimeoutMultiplier(std::uint32_t value) {
    Set(m_writeTotalTimeoutMultiplier, value, false);
}
void SerialPort::SetWriteTotalTimeoutConstant(std::uint32_t value) {
    Set(m_writeTotalTimeoutConstant, value, false);
}

} // namespace korvane
