// SPDX-License-Identifier: MIT
// The Windows worker threads: each waits on its overlapped operations and the stop
// event. The driver ends a read by the time-outs set with SetCommTimeouts.

#include "link/SerialPort.h"
#include "link/SerialPortPrivate.h"

namespace korvane {

namespace {

// One read never hands over more than this.
constexpr DWORD ReadBlockSize = 2048;
constexpr DWORD LineErrorMask = CE_RXOVER | CE_OVERRUN | CE_RXPARITY | CE_FRAME | CE_BREAK;

// An OVERLAPPED with its own manual-reset event, freed with it.
class Overlapped {
public:
    Overlapped() { m_overlapped.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    ~Overlapped() {
        if (m_overlapped.hEvent != nullptr)
            ::CloseHandle(m_overlapped.hEvent);
    }
    Overlapped(const Overlapped&) = delete;
    Overlapped& operator=(const Overlapped&) = delete;

    bool isValid() const { return m_overlapped.hEvent != nullptr; }
    OVERLAPPED* get() { return &m_overlapped; }

private:
    OVERLAPPED m_overlapped{};
};

enum class IoResult { Done, Stopped, Failed };

// Completes an operation started on the port: waits for it or the stop event; a stop
// cancels the operation and waits until the driver lets go of the buffer.
IoResult complete(PortThreadState& port, BOOL started, Overlapped& io, DWORD& transferred) {
    transferred = 0;
    if (!started) {
        if (::GetLastError() != ERROR_IO_PENDING)
            return IoResult::Failed;
        const HANDLE events[2] = {port.stopEvent, io.get()->hEvent};
        const DWORD woken = ::WaitForMultipleObjects(2, events, FALSE, INFINITE);
        if (woken != WAIT_OBJECT_0 + 1) {
            ::CancelIo(port.handle);
            ::GetOverlappedResult(port.handle, io.get(), &transferred, TRUE);
            return woken == WAIT_OBJECT_0 ? IoResult::Stopped : IoResult::Failed;
        }
    }
    if (!::GetOverlappedResult(port.handle, io.get(), &transferred, FALSE))
        return IoResult::Failed;
    return IoResult::Done;
}

int lastError() {
    return static_cast<int>(::GetLastError());
}

bool isStopped(const PortThreadState& port) {
    return ::WaitForSingleObject(port.stopEvent, 0) == WAIT_OBJECT_0;
}

// Line errors the driver has counted since the last call.
void reportLineErrors(PortThreadState& port) {
    DWORD errors = 0;
    COMSTAT status{};
    if (::ClearCommError(port.handle, &errors, &status) && (errors & LineErrorMask) != 0)
        postNotification(port, NotifyError, errors & LineErrorMask);
}

void reportEvents(PortThreadState& port, DWORD events) {
    if ((events & (EV_ERR | EV_BREAK)) != 0)
        reportLineErrors(port);
    std::uint32_t modem = 0;
    if ((events & EV_RLSD) != 0)
        modem |= ModemCarrierDetect;
    if ((events & EV_RING) != 0)
        modem |= ModemRing;
    if (modem != 0)
        postNotification(port, NotifyModem, modem);
}

// Writes the whole block. False when the port has gone or stopped.
bool writeAll(PortThreadState& port, Overlapped& io, const std::vector<std::uint8_t>& block) {
    std::size_t offset = 0;
    while (offset < block.size()) {
        DWORD written = 0;
        const BOOL started =
            ::WriteFile(port.handle, block.data() + offset,
                        static_cast<DWORD>(block.size() - offset), nullptr, io.get());
        const IoResult result = complete(port, started, io, written);
        if (result == IoResult::Stopped)
            return false;
        // An error, or a driver that takes nothing: the port has gone.
        if (result == IoResult::Failed || written == 0) {
            postHangup(port, result == IoResult::Failed ? lastError() : 0);
            return false;
        }
        offset += written;
    }
    return true;
}

} // namespace

// A read is always pending, and beside it a wait for line and modem events. The
// driver ends each read by the interval time-out after its last byte or when the block
// is full. A driver that cannot wait for events (Wine's on a pseudo-terminal) leaves
// the reads working alone, as a Linux pseudo-terminal has no line counters either.
void ReceiveThread::execute() {
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    PortThreadState& port = m_port;
    Overlapped readIo;
    Overlapped eventIo;
    if (!readIo.isValid() || !eventIo.isValid()) {
        postHangup(port, lastError());
        return;
    }
    bool watchEvents = ::SetCommMask(port.handle, EV_ERR | EV_BREAK | EV_RING | EV_RLSD) != 0;
    bool eventPending = false;
    bool readPending = false;
    DWORD events = 0;
    std::uint8_t buffer[ReadBlockSize];
    DWORD count = 0;

    for (;;) {
        if (watchEvents && !eventPending) {
            events = 0;
            if (::WaitCommEvent(port.handle, &events, eventIo.get())) {
                reportEvents(port, events);
                continue;
            }
            eventPending = ::GetLastError() == ERROR_IO_PENDING;
            watchEvents = eventPending;
        }
        if (!readPending) {
            if (::ReadFile(port.handle, buffer, ReadBlockSize, nullptr, readIo.get())) {
                if (!::GetOverlappedResult(port.handle, readIo.get(), &count, FALSE)) {
                    postHangup(port, lastError());
                    break;
                }
                if (count > 0)
                    postData(port, buffer, count);
                continue;
            }
            if (::GetLastError() != ERROR_IO_PENDING) {
                postHangup(port, lastError());
                break;
            }
            readPending = true;
        }
        const HANDLE waits[3] = {port.stopEvent, readIo.get()->hEvent, eventIo.get()->hEvent};
        const DWORD woken = ::WaitForMultipleObjects(eventPending ? 3 : 2, waits, FALSE, INFINITE);
        if (woken == WAIT_OBJECT_0)
            break;
        if (woken == WAIT_OBJECT_0 + 1) {
            readPending = false;
            // An error, or the device behind the port has gone.
            if (!::GetOverlappedResult(port.handle, readIo.get(), &count, FALSE)) {
                postHangup(port, lastError());
                break;
            }
            if (count > 0)
                postData(port, buffer, count);
        } else if (woken == WAIT_OBJECT_0 + 2) {
            eventPending = false;
            DWORD unused = 0;
            if (::GetOverlappedResult(port.handle, eventIo.get(), &unused, FALSE))
                reportEvents(port, events);
            else
                watchEvents = false;
        } else {
            postHangup(port, lastError());
            break;
        }
    }
    // The driver must let go of both buffers before they go out of scope.
    ::CancelIo(port.handle);
    if (readPending)
        ::GetOverlappedResult(port.handle, readIo.get(), &count, TRUE);
    if (eventPending) {
        DWORD unused = 0;
        ::GetOverlappedResult(port.handle, eventIo.get(), &unused, TRUE);
    }
    ::PurgeComm(port.handle, PURGE_RXCLEAR);
}

void TransmitThread::wake() {
    ::SetEvent(m_port.wakeEvent);
}

void TransmitThread::execute() {
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
    Overlapped io;
    if (!io.isValid()) {
        postHangup(m_port, lastError());
        return;
    }
    bool announce = true;
    std::vector<std::uint8_t> block;
    for (;;) {
        if (!take(block)) {
            if (announce)
                postNotification(m_port, NotifySendEmpty);
            announce = false;
            const HANDLE events[2] = {m_port.stopEvent, m_port.wakeEvent};
            const DWORD woken = ::WaitForMultipleObjects(2, events, FALSE, INFINITE);
            if (woken == WAIT_OBJECT_0)
                break;
            if (woken != WAIT_OBJECT_0 + 1) {
                postHangup(m_port, lastError());
                break;
            }
            continue;
        }
        if (isStopped(m_port) || !writeAll(m_port, io, block))
            break;
        announce = true;
    }
    ::PurgeComm(m_port.handle, PURGE_TXCLEAR);
}

} // namespace korvane
