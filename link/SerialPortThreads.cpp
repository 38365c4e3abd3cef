// The platform-neutral half of the worker threads: starting, joining, the write
// queue and posting notifications to the owner's thread.

#include "link/SerialPortPrivate.h"

#include <QCoreApplication>

namespace korvane {

void PostNotification(PortThreadState& port, int code, std::uint32_t value) {
    QCoreApplication::postEvent(port.target, new PortNotificationEvent(code, value, {}));
}

void PostData(PortThreadState& port, const std::uint8_t* bytes, std::size_t count) {
    std::vector<std::uint8_t> block(count + 1, 0);
    std::copy(bytes, bytes + count, block.begin());
    QCoreApplication::postEvent(port.target,
                                new PortNotificationEvent(NotifyData, 0, std::move(block)));
}

void PostHangup(PortThreadState& port) {
    if (!port.hangupPosted.exchange(true))
        PostNotification(port, NotifyHangup);
}

void ReceiveThread::Start() {
    m_thread = std::thread([this] { Execute(); });
}

void ReceiveThread::Join() {
    if (m_thread.joinable())
        m_thread.join();
}

void TransmitThread::Start() {
    m_running = true;
    try {
        m_thread = std::thread([this] {
            Execute();
            m_running = false;
        });
    } catch (...) {
        m_running = false;
        throw;
    }
}

void TransmitThread::Join() {
    if (m_thread.joinable())
        m_thread.join();
}

bool TransmitThread::Post(std::vector<std::uint8_t> block) {
    if (!m_running)
        return false;
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(block));
    }
    Wake();
    return true;
}

bool TransmitThread::Take(std::vector<std::uint8_t>& block) {
    std::lock_guard lock(m_mutex);
    if (m_queue.empty())
        return false;
    block = std::move(m_queue.front());
    m_queue.pop_front();
    return true;
}

} // namespace korvane
