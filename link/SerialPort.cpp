#include "link/SerialPort.h"

#include "link/SerialPortPrivate.h"

#include <QCoreApplication>
#include <QObject>

#include <cerrno>
#include <system_error>

namespace korvane {

// Hidden object on the owner's thread that turns posted notifications into handler
// calls. It may outlive its port by one dispatch when a handler destroys the port.
class TCommTarget : public QObject {
public:
    explicit TCommTarget(TComm* port) : m_port(port) {}
    void Detach() noexcept { m_port = nullptr; }
    bool IsDispatching() const noexcept { return m_depth > 0; }

protected:
    bool event(QEvent* e) override {
        const auto* notification = dynamic_cast<const TCommEvent*>(e);
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
    TComm* m_port;
    int m_depth = 0;
};

TComm::TComm() : m_target(new TCommTarget(this)) {}

TComm::~TComm() {
    ClosePort();
    QCoreApplication::removePostedEvents(m_target);
    m_target->Detach();
    if (m_target->IsDispatching())
        m_target->deleteLater();
    else
        delete m_target;
}

void TComm::Dispatch(int code, std::uint32_t value, const std::uint8_t* block, std::size_t count) {
    // Copies, so that a handler may replace itself or destroy the port.
    switch (code) {
    case NotifyData:
        if (TReceiveDataEvent handler = OnReceiveData)
            handler(this, block, static_cast<std::uint16_t>(count));
        break;
    case NotifyError:
        if (TReceiveErrorEvent handler = OnReceiveError)
            handler(this, value);
        break;
    case NotifyHangup:
        if (TNotifyEvent handler = OnRequestHangup)
            handler(this);
        break;
    case NotifyModem:
        if (TModemStateChangeEvent handler = OnModemStateChange)
            handler(this, value);
        break;
    case NotifySendEmpty:
        if (TSendDataEmptyEvent handler = OnSendDataEmpty)
            handler(this);
        break;
    default:
        break;
    }
}

void TComm::OpenPort() {
    if (IsOpen())
        throw ECommsError("This serial port already opened");

    m_state = std::make_unique<TPortState>();
    m_state->target = m_target;
    if (!OpenHandle(m_commName)) {
        const int error = errno;
        m_state.reset();
        throw ECommsError("Error opening serial port", error);
    }
    if (!IsCommHandle()) {
        CloseHandle();
        m_state.reset();
        throw ECommsError("File handle is not a comm handle ");
    }
    if (!SetupQueues()) {
        const int error = errno;
        CloseHandle();
        m_state.reset();
        throw ECommsError("Cannot setup comm buffer", error);
    }

    PurgeAll();
    ApplyTimeouts();
    ApplyLineSettings();

    if (!CreateStopEvent()) {
        const int error = errno;
        CloseStopEvent();
        CloseHandle();
        m_state.reset();
        throw ECommsError("Unable to create event", error);
    }

    m_readThread = std::make_unique<TReadThread>(*m_state);
    try {
        m_readThread->Start();
    } catch (const std::system_error& e) {
        m_readThread.reset();
        CloseStopEvent();
        CloseHandle();
        m_state.reset();
        throw ECommsError("Unable to create read thread", e.code().value());
    }

    m_writeThread = std::make_unique<TWriteThread>(*m_state);
    try {
        m_writeThread->Start();
    } catch (const std::system_error& e) {
        m_writeThread.reset();
        StopThreads();
        CloseStopEvent();
        CloseHandle();
        m_state.reset();
        throw ECommsError("Unable to create write thread", e.code().value());
    }
}

void TComm::StopThreads() {
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

void TComm::ClosePort() {
    if (!IsOpen())
        return;
    StopThreads();
    CloseStopEvent();
    CloseHandle();
    m_state.reset();
}

bool TComm::WriteData(const std::uint8_t* buffer, std::uint16_t count) {
    if (!IsOpen() || !m_writeThread || count == 0 || buffer == nullptr)
        return false;
    return m_writeThread->Post(std::vector<std::uint8_t>(buffer, buffer + count));
}

template <typename T> void TComm::Set(T& member, const T& value, bool lineSettings) {
    if (member == value)
        return;
    member = value;
    Reapply(lineSettings);
}

void TComm::Reapply(bool lineSettings) {
    if (!IsOpen())
        return;
    if (lineSettings)
        ApplyLineSettings();
    else
        ApplyTimeouts();
}

void TComm::SetCommName(const QString& value) {
    m_commName = value;
}
void TComm::SetParity(TParity value) {
    m_parity = value;
}

void TComm::SetBaudRate(std::uint32_t value) {
    Set(m_baudRate, value, true);
}
void TComm::SetParityCheck(bool value) {
    Set(m_parityCheck, value, true);
}
void TComm::SetOutx_CtsFlow(bool value) {
    Set(m_outxCtsFlow, value, true);
}
void TComm::SetOutx_DsrFlow(bool value) {
    Set(m_outxDsrFlow, value, true);
}
void TComm::SetDtrControl(TDtrControl value) {
    Set(m_dtrControl, value, true);
}
void TComm::SetDsrSensitivity(bool value) {
    Set(m_dsrSensitivity, value, true);
}
void TComm::SetTxContinueOnXoff(bool value) {
    Set(m_txContinueOnXoff, value, true);
}
void TComm::SetOutx_XonXoffFlow(bool value) {
    Set(m_outxXonXoffFlow, value, true);
}
void TComm::SetInx_XonXoffFlow(bool value) {
    Set(m_inxXonXoffFlow, value, true);
}
void TComm::SetReplaceWhenParityError(bool value) {
    Set(m_replaceWhenParityError, value, true);
}
void TComm::SetIgnoreNullChar(bool value) {
    Set(m_ignoreNullChar, value, true);
}
void TComm::SetRtsControl(TRtsControl value) {
    Set(m_rtsControl, value, true);
}
void TComm::SetXonLimit(std::uint16_t value) {
    Set(m_xonLimit, value, true);
}
void TComm::SetXoffLimit(std::uint16_t value) {
    Set(m_xoffLimit, value, true);
}
void TComm::SetByteSize(TByteSize value) {
    Set(m_byteSize, value, true);
}
void TComm::SetStopBits(TStopBits value) {
    Set(m_stopBits, value, true);
}
void TComm::SetXonChar(std::uint8_t value) {
    Set(m_xonChar, value, true);
}
void TComm::SetXoffChar(std::uint8_t value) {
    Set(m_xoffChar, value, true);
}
void TComm::SetReplacedChar(std::uint8_t value) {
    Set(m_replacedChar, value, true);
}

void TComm::SetReadIntervalTimeout(std::uint32_t value) {
    Set(m_readIntervalTimeout, value, false);
}
void TComm::SetReadTotalTimeoutMultiplier(std::uint32_t value) {
    Set(m_readTotalTimeoutMultiplier, value, false);
}
void TComm::SetReadTotalTimeoutConstant(std::uint32_t value) {
    Set(m_readTotalTimeoutConstant, value, false);
}
void TComm::SetWriteTotalTimeoutMultiplier(std::uint32_t value) {
    Set(m_writeTotalTimeoutMultiplier, value, false);
}
void TComm::SetWriteTotalTimeoutConstant(std::uint32_t value) {
    Set(m_writeTotalTimeoutConstant, value, false);
}

} // namespace korvane
