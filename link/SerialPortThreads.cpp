// SPDX-License-Identifier: MIT
// The platform-neutral half of the worker threads: starting, joining, the write
// queue and posting notifications to the owner's thread.

#include "link/SerialPortPrivate.h"

#include <QCoreApplication>

namespace korvane {

void postNotification(PortThreadState& port, int code, std::uint32_t value) {
    QCoreApplication::postEvent(port.target, new PortNotificationEvent(code, value, {}));
}

void postData(PortThreadState& port, const std::uint8_t* bytes, std::size_t count) {
    std::vector<std::uint8_t> block(count + 1, 0);
    std::copy(bytes, bytes + count, block.begin());
    QCoreApplication::postEvent(port.target,
                                new PortNotificationEvent(NotifyData, 0, std::move(block)));
}

void postHangup(PortThreadState& port, int systemError) {
    if (!port.hangupPosted.exchange(true))
        postNotification(port, NotifyHangup, static_cast<std::uint32_t>(systemError));
}

void ReceiveThread::start() {
    m_thread = std::thread([this] { execute(); });
}

void ReceiveThread::join() {
    if (m_thread.joinable())
        m_thread.join();
}

void TransmitThread::start() {
    m_running = true;
    try {
        m_thread = std::thread([this] {
            execute();
            m_running = false;
        });
    } catch (...) {
        m_running = false;
        throw;
    }
}

void TransmitThread::join() {
    if (m_thread.joinable())
        m_thread.join();
}

bool TransmitThread::post(std::vector<std::uint8_t> block) {
    if (!m_running)
        return false;
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(block));
    }
    wake();
    return true;
}

bool TransmitThread::take(std::vector<std::uint8_t>& block) {
    std::lock_guard lock(m_mutex);
    if (m_queue.empty())
        return false;
    block = std::move(m_queue.front());
    m_queue.pop_front();
    return true;
}

} // namespace korvane
