// SPDX-License-Identifier: MIT
#pragma once
// The message the command transport posts to the communication monitor, once as a
// text line (Count 0) and once as the exact bytes (Count n > 0) for every frame sent
// and every block received. The event owns its block; Qt frees it after delivery.

#include <QByteArray>
#include <QEvent>

#include <utility>

namespace korvane {

class MonitorMessage : public QEvent {
public:
    static constexpr QEvent::Type EventType = static_cast<QEvent::Type>(QEvent::User + 102);

    MonitorMessage(int count, QByteArray block)
        : QEvent(EventType), m_count(count), m_block(std::move(block)) {}

    // 0 for a text line, else the number of bytes in block().
    int count() const noexcept { return m_count; }
    // The text line in UTF-8, or the bytes; QByteArray keeps a NUL after them.
    const QByteArray& block() const noexcept { return m_block; }

private:
    int m_count;
    QByteArray m_block;
};

} // namespace korvane
