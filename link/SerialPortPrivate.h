// SPDX-License-Identifier: MIT
#pragma once
// Private to the serial port: the platform state an open port holds, the notification
// event the worker threads post, and the two worker threads. The platform files
// define the threads' Execute and the write thread's Wake.

#include "link/SerialPort.h"

#include <QEvent>

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#elif defined(__linux__)
#include <termios.h>
#else
#error "The serial port has no platform layer for this system yet."
#endif

class QObject;

namespace korvane {

// Shared by the owner and both worker threads of one open port. The owner creates it
// at open and frees it only after both threads have been joined.
struct PortThreadState {
#if defined(_WIN32)
    // The port, opened overlapped; the port is open exactly while this is held.
    HANDLE handle = INVALID_HANDLE_VALUE;
    HANDLE stopEvent = nullptr; // manual reset, set by closePort: both threads end
    HANDLE wakeEvent = nullptr; // automatic reset, set when a write request is queued
    bool dcbSaved = false;
    DCB savedDcb{}; // restored at close
    // The driver applies time-outs and the NUL rule itself (SetCommTimeouts, fNull).
#else
    int fd = -1;     // the port; the port is open exactly while this is held
    int stopFd = -1; // eventfd, signalled by closePort: both threads end
    int wakeFd = -1; // eventfd, signalled when a write request is queued
    bool termiosSaved = false;
    termios savedTermios{}; // restored at close

    // Read by the receive thread at every wait, so new values apply at once.
    std::atomic<std::uint32_t> readIntervalTimeout{0};
    std::atomic<std::uint32_t> readTotalTimeoutMultiplier{0};
    std::atomic<std::uint32_t> readTotalTimeoutConstant{0};
    std::atomic<bool> discardNul{false};
#endif

    QObject* target = nullptr; // notification target on the owner's thread
    std::atomic<bool> hangupPosted{false};
};

// One notification from a worker thread. NotifyData carries its own copy of the bytes
// followed by a NUL; the event, and with it the block, is freed after the handler.
class PortNotificationEvent : public QEvent {
public:
    PortNotificationEvent(int notificationCode, std::uint32_t notificationValue,
                          std::vector<std::uint8_t> bytes)
        : QEvent(typeFor(notificationCode)), code(notificationCode), value(notificationValue),
          block(std::move(bytes)) {}

    // Codes 1025..1029 travel as QEvent::User + 25..29.
    static QEvent::Type typeFor(int notificationCode) {
        return static_cast<QEvent::Type>(QEvent::User + (notificationCode - 1000));
    }

    int code;
    std::uint32_t value;
    std::vector<std::uint8_t> block;
};

void postNotification(PortThreadState& port, int code, std::uint32_t value = 0);
// Posts NotifyData with a copy of count bytes plus a trailing NUL.
void postData(PortThreadState& port, const std::uint8_t* bytes, std::size_t count);
// A port that has gone away is reported once, whichever thread notices it first, with
// the system's error number that told it (0 for none, e.g. an end of file).
void postHangup(PortThreadState& port, int systemError);

class ReceiveThread {
public:
    explicit ReceiveThread(PortThreadState& port) : m_port(port) {}
    ~ReceiveThread() { join(); }
    ReceiveThread(const ReceiveThread&) = delete;
    ReceiveThread& operator=(const ReceiveThread&) = delete;

    void start(); // throws std::system_error when no thread can be created
    void join();

private:
    void execute();

    PortThreadState& m_port;
    std::thread m_thread;
};

class TransmitThread {
public:
    explicit TransmitThread(PortThreadState& port) : m_port(port) {}
    ~TransmitThread() { join(); }
    TransmitThread(const TransmitThread&) = delete;
    TransmitThread& operator=(const TransmitThread&) = delete;

    void start(); // throws std::system_error when no thread can be created
    void join();
    // Queues one write request; false once the thread has ended.
    bool post(std::vector<std::uint8_t> block);

private:
    void execute();
    void wake();
    bool take(std::vector<std::uint8_t>& block);

    PortThreadState& m_port;
    std::thread m_thread;
    std::mutex m_mutex;
    std::deque<std::vector<std::uint8_t>> m_queue;
    std::atomic<bool> m_running{false};
};

} // namespace korvane
