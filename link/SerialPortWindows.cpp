// SPDX-License-Identifier: MIT
// The Windows layer of the serial port: a COM device opened overlapped (which also
// makes it exclusive), its DCB and time-outs, and the two events.

#include "link/CommDevicePath.h"
#include "link/PortOpenFailure.h"
#include "link/SerialPort.h"
#include "link/SerialPortPrivate.h"

namespace korvane {

namespace {

// The driver's queue sizes; a read hands over at most 2048 bytes at a time.
constexpr DWORD InputQueueSize = 4096;
constexpr DWORD OutputQueueSize = 4096;

BYTE parityValue(ParityMode parity) {
    switch (parity) {
    case ParityMode::Odd:
        return ODDPARITY;
    case ParityMode::Even:
        return EVENPARITY;
    case ParityMode::Mark:
        return MARKPARITY;
    case ParityMode::Space:
        return SPACEPARITY;
    default:
        return NOPARITY;
    }
}

BYTE stopBitsValue(StopBitsMode stopBits) {
    switch (stopBits) {
    case StopBitsMode::_1_5:
        return ONE5STOPBITS;
    case StopBitsMode::_2:
        return TWOSTOPBITS;
    default:
        return ONESTOPBIT;
    }
}

DWORD dtrValue(DtrMode mode) {
    switch (mode) {
    case DtrMode::DtrDisable:
        return DTR_CONTROL_DISABLE;
    case DtrMode::DtrHandshake:
        return DTR_CONTROL_HANDSHAKE;
    default:
        return DTR_CONTROL_ENABLE;
    }
}

DWORD rtsValue(RtsMode mode) {
    switch (mode) {
    case RtsMode::RtsDisable:
        return RTS_CONTROL_DISABLE;
    case RtsMode::RtsHandshake:
        return RTS_CONTROL_HANDSHAKE;
    case RtsMode::RtsTransmissionAvailable:
        return RTS_CONTROL_TOGGLE;
    default:
        return RTS_CONTROL_ENABLE;
    }
}

void closeEvent(HANDLE& event) {
    if (event != nullptr)
        ::CloseHandle(event);
    event = nullptr;
}

} // namespace

PortProblem openProblemOf(int systemError) {
    switch (static_cast<DWORD>(systemError)) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
        return PortProblem::Missing;
    // A COM port opens for one program at a time; the next open is denied access.
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        return PortProblem::Busy;
    default:
        return PortProblem::Other;
    }
}

// Windows does not tell which program holds a port.
QString portHolders(const QString&) {
    return {};
}

int SerialPort::lastSystemError() {
    return static_cast<int>(::GetLastError());
}

bool SerialPort::isOpen() const noexcept {
    return m_state && m_state->handle != INVALID_HANDLE_VALUE;
}

bool SerialPort::openHandle(const QString& name) {
    const QString path = commDevicePath(name);
    if (path.isEmpty()) {
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    // No sharing: a COM port is exclusive, and a second open fails with access denied.
    const HANDLE handle =
        ::CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()), GENERIC_READ | GENERIC_WRITE,
                      0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    m_state->handle = handle;
    return true;
}

bool SerialPort::isCommHandle() {
    m_state->savedDcb.DCBlength = sizeof(DCB);
    m_state->dcbSaved = ::GetCommState(m_state->handle, &m_state->savedDcb) != 0;
    return m_state->dcbSaved;
}

bool SerialPort::setupQueues() {
    return ::SetupComm(m_state->handle, InputQueueSize, OutputQueueSize) != 0;
}

void SerialPort::purgeAll() {
    ::PurgeComm(m_state->handle, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
}

// Write limits are not used, as on Linux: the transmit thread writes every byte
// whatever the time.
void SerialPort::applyTimeouts() {
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = m_readIntervalTimeout;
    timeouts.ReadTotalTimeoutMultiplier = m_readTotalTimeoutMultiplier;
    timeouts.ReadTotalTimeoutConstant = m_readTotalTimeoutConstant;
    // "Return what has arrived at once" would make the always pending read return
    // empty at once, again and again. This form of it waits for the first byte.
    if (timeouts.ReadIntervalTimeout == MAXDWORD && timeouts.ReadTotalTimeoutMultiplier == 0 &&
        timeouts.ReadTotalTimeoutConstant == 0) {
        timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
        timeouts.ReadTotalTimeoutConstant = MAXDWORD - 1;
    }
    ::SetCommTimeouts(m_state->handle, &timeouts);
}

void SerialPort::applyLineSettings() {
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    if (!::GetCommState(m_state->handle, &dcb))
        return;
    dcb.BaudRate = m_baudRate;
    dcb.fBinary = TRUE;
    dcb.fParity = m_parityCheck;
    dcb.fOutxCtsFlow = m_outxCtsFlow;
    dcb.fOutxDsrFlow = m_outxDsrFlow;
    dcb.fDtrControl = dtrValue(m_dtrControl);
    dcb.fDsrSensitivity = m_dsrSensitivity;
    dcb.fTXContinueOnXoff = m_txContinueOnXoff;
    dcb.fOutX = m_outxXonXoffFlow;
    dcb.fInX = m_inxXonXoffFlow;
    dcb.fErrorChar = m_replaceWhenParityError;
    dcb.fNull = m_ignoreNullChar;
    dcb.fRtsControl = rtsValue(m_rtsControl);
    // Line errors are reported, never allowed to stop the reads and writes.
    dcb.fAbortOnError = FALSE;
    dcb.XonLim = m_xonLimit;
    dcb.XoffLim = m_xoffLimit;
    dcb.ByteSize = static_cast<BYTE>(static_cast<int>(m_byteSize) + 5);
    dcb.Parity = parityValue(m_parity);
    dcb.StopBits = stopBitsValue(m_stopBits);
    dcb.XonChar = static_cast<char>(m_xonChar);
    dcb.XoffChar = static_cast<char>(m_xoffChar);
    dcb.ErrorChar = static_cast<char>(m_replacedChar);
    // Settings the driver refuses are ignored, as on Linux.
    ::SetCommState(m_state->handle, &dcb);
}

bool SerialPort::createStopEvent() {
    m_state->stopEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_state->wakeEvent = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    return m_state->stopEvent != nullptr && m_state->wakeEvent != nullptr;
}

// Never reset: once set, every later wait of both threads ends at once.
void SerialPort::signalStop() {
    ::SetEvent(m_state->stopEvent);
}

void SerialPort::closeStopEvent() {
    closeEvent(m_state->stopEvent);
    closeEvent(m_state->wakeEvent);
}

void SerialPort::closeHandle() {
    HANDLE& handle = m_state->handle;
    if (handle == INVALID_HANDLE_VALUE)
        return;
    if (m_state->dcbSaved)
        ::SetCommState(handle, &m_state->savedDcb);
    ::CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
}

} // namespace korvane
