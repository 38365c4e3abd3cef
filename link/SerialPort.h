// SPDX-License-Identifier: MIT
#pragma once
// The serial port: one named RS-232 port held for exclusive use, with a receive
// thread and a transmit thread.
//
// Threading contract: create the port, call every member and receive every handler
// on one thread, the owner's (the user-interface thread). The two worker threads
// never call back directly: they post notifications to a hidden object living on the
// owner's thread, and the handlers run when that thread processes its posted events,
// in the order posted. A caller that waits for received data must keep the owner's
// event loop running.
//
// Handlers are plain std::function members, assigned and called on the owner's
// thread. A handler may close, reopen or destroy the port.

#include "config/KorvaneError.h"
#include "link/PortLink.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>

class QObject;

namespace korvane {

enum class DtrMode { DtrEnable, DtrDisable, DtrHandshake };
enum class RtsMode { RtsEnable, RtsDisable, RtsHandshake, RtsTransmissionAvailable };
// Data bits: the value plus 5.
enum class DataBits { _5, _6, _7, _8 };
enum class ParityMode { None, Odd, Even, Mark, Space };
enum class StopBitsMode { _1, _1_5, _2 };

// Notification codes the worker threads post to the owner's thread.
enum PortNotification : int {
    NotifyData = 1025,
    NotifyError = 1026,
    NotifyHangup = 1027, // the value is the system's error number, 0 for none
    NotifyModem = 1028,
    NotifySendEmpty = 1029,
};

// Line-error flags passed to lineErrorReceived (the values the Win32 driver uses).
inline constexpr std::uint32_t CommErrorQueueOverrun = 0x01;
inline constexpr std::uint32_t CommErrorOverrun = 0x02;
inline constexpr std::uint32_t CommErrorParity = 0x04;
inline constexpr std::uint32_t CommErrorFrame = 0x08;
inline constexpr std::uint32_t CommErrorBreak = 0x10;

// Modem values passed to modemStateChanged.
inline constexpr std::uint32_t ModemRing = 4;
inline constexpr std::uint32_t ModemCarrierDetect = 8;

class SerialPort;
class ReceiveThread;
class TransmitThread;
struct PortThreadState;
class NotificationTarget;

// The handlers a port calls on its owner's thread. The data is valid only during the
// call.
using ReceiveErrorHandler = std::function<void(std::uint32_t lineErrors)>;
using ModemStateHandler = std::function<void(std::uint32_t modemEvent)>;
using SendDataEmptyHandler = std::function<void()>;

class SerialPort : public PortLink {
public:
    SerialPort();
    ~SerialPort() override; // closes the port first
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Raises KorvaneError (Port) with one of the fixed messages and the operating
    // system's error number behind it, with the reason and what to try
    // (PortOpenFailure.h); a failed open leaves the port closed with nothing held.
    void openPort() override;
    // Stops both threads and closes the port; nothing when closed. Never fails.
    void closePort() override;
    // Queues a copy of count bytes for the transmit thread and returns at once.
    // False when the port is closed, its transmit thread has ended, or count is 0.
    bool writeData(const std::uint8_t* buffer, std::uint16_t count) override;
    bool isOpen() const noexcept override;
    // Whether the port went away while open (told by hangupRequested, which runs after
    // this is set), and the system's error number of that, 0 when there was none. Kept
    // through closePort, cleared by the next openPort.
    bool isLost() const noexcept override { return m_lost; }
    int lostSystemError() const noexcept override { return m_lostError; }

    // Properties. Setting a value the property already holds does nothing; otherwise
    // an open port gets its line settings (or, for the five time-outs, its time-outs)
    // applied again at once. commName and Parity take effect at the next openPort.
    const QString& commName() const noexcept { return m_commName; }
    void setCommName(const QString& value);
    std::uint32_t baudRate() const noexcept { return m_baudRate; }
    void setBaudRate(std::uint32_t value);
    bool parityCheck() const noexcept { return m_parityCheck; }
    void setParityCheck(bool value);
    bool outputCtsFlow() const noexcept { return m_outxCtsFlow; }
    void setOutputCtsFlow(bool value);
    bool outputDsrFlow() const noexcept { return m_outxDsrFlow; }
    void setOutputDsrFlow(bool value);
    DtrMode dtrControl() const noexcept { return m_dtrControl; }
    void setDtrControl(DtrMode value);
    bool dsrSensitivity() const noexcept { return m_dsrSensitivity; }
    void setDsrSensitivity(bool value);
    bool txContinueOnXoff() const noexcept { return m_txContinueOnXoff; }
    void setTxContinueOnXoff(bool value);
    bool outputXonXoff() const noexcept { return m_outxXonXoffFlow; }
    void setOutputXonXoff(bool value);
    bool inputXonXoff() const noexcept { return m_inxXonXoffFlow; }
    void setInputXonXoff(bool value);
    bool replaceWhenParityError() const noexcept { return m_replaceWhenParityError; }
    void setReplaceWhenParityError(bool value);
    bool ignoreNullChar() const noexcept { return m_ignoreNullChar; }
    void setIgnoreNullChar(bool value);
    RtsMode rtsControl() const noexcept { return m_rtsControl; }
    void setRtsControl(RtsMode value);
    std::uint16_t xonLimit() const noexcept { return m_xonLimit; }
    void setXonLimit(std::uint16_t value);
    std::uint16_t xoffLimit() const noexcept { return m_xoffLimit; }
    void setXoffLimit(std::uint16_t value);
    DataBits byteSize() const noexcept { return m_byteSize; }
    void setByteSize(DataBits value);
    ParityMode parity() const noexcept { return m_parity; }
    void setParity(ParityMode value);
    StopBitsMode stopBits() const noexcept { return m_stopBits; }
    void setStopBits(StopBitsMode value);
    std::uint8_t xonChar() const noexcept { return m_xonChar; }
    void setXonChar(std::uint8_t value);
    std::uint8_t xoffChar() const noexcept { return m_xoffChar; }
    void setXoffChar(std::uint8_t value);
    std::uint8_t replacedChar() const noexcept { return m_replacedChar; }
    void setReplacedChar(std::uint8_t value);
    std::uint32_t readIntervalTimeout() const noexcept { return m_readIntervalTimeout; }
    void setReadIntervalTimeout(std::uint32_t value);
    std::uint32_t readTotalTimeoutMultiplier() const noexcept {
        return m_readTotalTimeoutMultiplier;
    }
    void setReadTotalTimeoutMultiplier(std::uint32_t value);
    std::uint32_t readTotalTimeoutConstant() const noexcept { return m_readTotalTimeoutConstant; }
    void setReadTotalTimeoutConstant(std::uint32_t value);
    std::uint32_t writeTotalTimeoutMultiplier() const noexcept {
        return m_writeTotalTimeoutMultiplier;
    }
    void setWriteTotalTimeoutMultiplier(std::uint32_t value);
    std::uint32_t writeTotalTimeoutConstant() const noexcept { return m_writeTotalTimeoutConstant; }
    void setWriteTotalTimeoutConstant(std::uint32_t value);

    // dataReceived and hangupRequested are PortLink's.
    ReceiveErrorHandler lineErrorReceived;
    ModemStateHandler modemStateChanged;
    SendDataEmptyHandler sendBufferEmptied;

private:
    friend class NotificationTarget;
    void dispatch(int code, std::uint32_t value, const std::uint8_t* block, std::size_t count);
    void reapply(bool lineSettings);
    void stopThreads();
    template <typename T> void set(T& member, const T& value, bool lineSettings);

    // Platform layer, defined in SerialPortLinux.cpp and SerialPortWindows.cpp, each
    // over its own PortThreadState.
    static int lastSystemError();         // errno, or GetLastError() on Windows
    bool openHandle(const QString& name); // opens for exclusive use
    bool isCommHandle();
    bool setupQueues();
    void purgeAll();
    void applyTimeouts();
    void applyLineSettings();
    bool createStopEvent();
    void signalStop();
    void closeStopEvent();
    void closeHandle();

    QString m_commName = QStringLiteral("COM2");
    std::uint32_t m_baudRate = 9600;
    bool m_parityCheck = false;
    bool m_outxCtsFlow = false;
    bool m_outxDsrFlow = false;
    DtrMode m_dtrControl = DtrMode::DtrEnable;
    bool m_dsrSensitivity = false;
    bool m_txContinueOnXoff = true;
    bool m_outxXonXoffFlow = true;
    bool m_inxXonXoffFlow = true;
    bool m_replaceWhenParityError = false;
    bool m_ignoreNullChar = false;
    RtsMode m_rtsControl = RtsMode::RtsEnable;
    std::uint16_t m_xonLimit = 500;
    std::uint16_t m_xoffLimit = 500;
    DataBits m_byteSize = DataBits::_8;
    ParityMode m_parity = ParityMode::None;
    StopBitsMode m_stopBits = StopBitsMode::_1;
    std::uint8_t m_xonChar = 17;
    std::uint8_t m_xoffChar = 19;
    std::uint8_t m_replacedChar = 0;
    std::uint32_t m_readIntervalTimeout = 100;
    std::uint32_t m_readTotalTimeoutMultiplier = 0;
    std::uint32_t m_readTotalTimeoutConstant = 0;
    std::uint32_t m_writeTotalTimeoutMultiplier = 0;
    std::uint32_t m_writeTotalTimeoutConstant = 0;

    bool m_lost = false;
    int m_lostError = 0;

    std::unique_ptr<PortThreadState> m_state;
    std::unique_ptr<ReceiveThread> m_readThread;
    std::unique_ptr<TransmitThread> m_writeThread;
    NotificationTarget* m_target = nullptr;
};

} // namespace korvane
