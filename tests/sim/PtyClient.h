// SPDX-License-Identifier: MIT
#pragma once
// The program-under-test side of the simulator's pty, in plain POSIX: what a serial
// port class would do, without one.

#include "link/FrameCodec.h"

#include <QElapsedTimer>
#include <QString>

#include <algorithm>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace simtest {

class PtyClient {
public:
    explicit PtyClient(const QString& path) {
        m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0)
            return;
        termios tio{};
        if (tcgetattr(m_fd, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(m_fd, TCSANOW, &tio);
        }
    }
    ~PtyClient() { close(); }
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    void close() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    bool send(const korvane::ByteBuffer& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
            if (n < 0)
                return false;
            done += std::size_t(n);
        }
        return true;
    }

    // Reads until count bytes have come or timeoutMs has passed; returns what came.
    korvane::ByteBuffer receive(std::size_t count, int timeoutMs = 10000) {
        return receiveWhile(timeoutMs,
                            [count](const korvane::ByteBuffer& got) { return got.size() < count; });
    }

    // Reads up to and including the end byte 0x7F (a payload never holds it raw).
    korvane::ByteBuffer receiveFrame(int timeoutMs = 10000) {
        return receiveWhile(timeoutMs, [](const korvane::ByteBuffer& got) {
            return got.empty() || got.back() != korvane::FrameEnd;
        });
    }

private:
    template <typename More> korvane::ByteBuffer receiveWhile(int timeoutMs, More more) {
        korvane::ByteBuffer out;
        QElapsedTimer timer;
        timer.start();
        while (more(out) && timer.elapsed() < timeoutMs) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, std::max(0, int(timeoutMs - timer.elapsed()))) <= 0 ||
                !(p.revents & POLLIN)) {
                if (p.revents & (POLLHUP | POLLERR))
                    break;
                continue;
            }
            // One byte at a time, so nothing past the frame or count is taken.
            std::uint8_t b = 0;
            if (::read(m_fd, &b, 1) == 1)
                out.push_back(b);
        }
        return out;
    }

    int m_fd = -1;
};

} // namespace simtest
