// SPDX-License-Identifier: MIT
#include "sim/SimulatorHost.h"

#include "sim/PtyPair.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTime>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace korvane::sim {
namespace {

using Clock = std::chrono::steady_clock;

// A reader that stops reading must not wedge the device: after this long without
// room in the pty, the rest of an answer is lost, as on a line nobody listens to.
constexpr auto WriteStallLimit = std::chrono::milliseconds(2000);

QByteArray hexLine(const ByteBuffer& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()))
        .toHex(' ')
        .toUpper();
}

} // namespace

struct SimulatorHost::Private {
    // Owned by the controlling thread; read-only for the I/O thread while it runs.
    PtyPair pty;
    int wakeRead = -1;
    int wakeWrite = -1;
    std::thread thread;
    std::FILE* logFile = nullptr;
    QString linkPath;
    int replyDelayMs = 0;
    int baud = 0;
    QElapsedTimer clock;
    QString error;
    bool running = false;

    std::atomic<bool> stopping{false};

    // Guarded by mutex.
    mutable std::mutex mutex;
    DeviceEngine engine;
    QList<LoggedFrame> log;
    QString runningSlavePath;

    void run();
    void handle(const Exchange& exchange, int splitMs);
    void record(LoggedFrame::Direction direction, const ByteBuffer& bytes);
    bool waitUntil(Clock::time_point deadline);
    bool writeAll(const std::uint8_t* data, std::size_t size);
    bool writePaced(const std::uint8_t* data, std::size_t size);
    void closeWakePipe();
};

void SimulatorHost::Private::record(LoggedFrame::Direction direction, const ByteBuffer& bytes) {
    {
        std::lock_guard lock(mutex);
        if (log.size() >= MaxLoggedFrames)
            log.removeFirst();
        log.append({direction, bytes, clock.elapsed()});
    }
    if (logFile) {
        const QByteArray line =
            QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")).toLatin1() +
            (direction == LoggedFrame::Direction::Received ? " RX " : " TX ") + hexLine(bytes) +
            '\n';
        std::fwrite(line.constData(), 1, std::size_t(line.size()), logFile);
        std::fflush(logFile);
    }
}

bool SimulatorHost::Private::waitUntil(Clock::time_point deadline) {
    for (;;) {
        if (stopping)
            return false;
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero())
            return true;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec timeout{time_t(ns / 1000000000), long(ns % 1000000000)};
        pollfd wake{wakeRead, POLLIN, 0};
        if (ppoll(&wake, 1, &timeout, nullptr) > 0)
            return false;
    }
}

bool SimulatorHost::Private::writeAll(const std::uint8_t* data, std::size_t size) {
    const int fd = pty.masterFd();
    auto stallDeadline = Clock::now() + WriteStallLimit;
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n > 0) {
            data += n;
            size -= std::size_t(n);
            stallDeadline = Clock::now() + WriteStallLimit;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return true; // the line is gone; the answer is lost
        if (Clock::now() >= stallDeadline)
            return true;
        pollfd fds[2] = {{fd, POLLOUT, 0}, {wakeRead, POLLIN, 0}};
        if (::poll(fds, 2, 10) > 0 && fds[1].revents)
            return false;
    }
    return true;
}

bool SimulatorHost::Private::writePaced(const std::uint8_t* data, std::size_t size) {
    if (baud <= 0)
        return writeAll(data, size);
    // Byte i leaves at start + i byte times; writes catch up in chunks when the
    // scheduler wakes late, so the total time stays that of the wire.
    const auto byteTime = std::chrono::nanoseconds(10'000'000'000LL / baud);
    const auto start = Clock::now();
    std::size_t sent = 0;
    while (sent < size) {
        const auto elapsed = Clock::now() - start;
        const std::size_t due = std::min<std::size_t>(size, std::size_t(elapsed / byteTime) + 1);
        if (due > sent) {
            if (!writeAll(data + sent, due - sent))
                return false;
            sent = due;
        } else if (!waitUntil(start + byteTime * std::int64_t(sent))) {
            return false;
        }
    }
    return waitUntil(start + byteTime * std::int64_t(size));
}

void SimulatorHost::Private::handle(const Exchange& exchange, int splitMs) {
    record(LoggedFrame::Direction::Received, exchange.request.raw);
    const ByteBuffer& answer = exchange.answer;
    if (answer.empty())
        return;
    if (replyDelayMs > 0 && !waitUntil(Clock::now() + std::chrono::milliseconds(replyDelayMs)))
        return;
    if (exchange.isReadAnswer && splitMs > 0 && answer.size() >= 2) {
        const std::size_t first = answer.size() > 10 ? 10 : answer.size() / 2;
        if (!writePaced(answer.data(), first) ||
            !waitUntil(Clock::now() + std::chrono::milliseconds(splitMs)) ||
            !writePaced(answer.data() + first, answer.size() - first))
            return;
    } else if (!writePaced(answer.data(), answer.size())) {
        return;
    }
    record(LoggedFrame::Direction::Sent, answer);
}

void SimulatorHost::Private::run() {
    std::uint8_t buffer[512];
    while (!stopping) {
        pollfd fds[2] = {{pty.masterFd(), POLLIN, 0}, {wakeRead, POLLIN, 0}};
        const int ready = ::poll(fds, 2, -1);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents)
            return;
        if (!(fds[0].revents & POLLIN)) {
            // Hang-up without data cannot last while our own slave is open; do not spin.
            if (!waitUntil(Clock::now() + std::chrono::milliseconds(10)))
                return;
            continue;
        }
        const ssize_t n = ::read(pty.masterFd(), buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            if (!waitUntil(Clock::now() + std::chrono::milliseconds(10)))
                return;
            continue;
        }
        for (ssize_t i = 0; i < n && !stopping; ++i) {
            std::optional<Exchange> exchange;
            int splitMs = 0;
            {
                std::lock_guard lock(mutex);
                exchange = engine.push(buffer[i]);
                splitMs = engine.faults().splitMs;
            }
            if (exchange)
                handle(*exchange, splitMs);
        }
    }
}

void SimulatorHost::Private::closeWakePipe() {
    if (wakeRead >= 0)
        ::close(wakeRead);
    if (wakeWrite >= 0)
        ::close(wakeWrite);
    wakeRead = wakeWrite = -1;
}

SimulatorHost::SimulatorHost() : d(std::make_unique<Private>()) {}

SimulatorHost::~SimulatorHost() {
    stop();
}

QString SimulatorHost::start(const SimulatorOptions& options) {
    if (d->running) {
        d->error = QStringLiteral("simulator already running");
        return {};
    }
    d->error.clear();
    auto fail = [this](const QString& message) {
        d->error = message;
        if (d->logFile)
            std::fclose(d->logFile);
        d->logFile = nullptr;
        d->closeWakePipe();
        d->pty.close();
        return QString();
    };

    QString message;
    if (!d->pty.open(&message))
        return fail(message);
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        return fail(QStringLiteral("pipe: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    d->wakeRead = pipeFds[0];
    d->wakeWrite = pipeFds[1];
    if (!options.logFile.isEmpty()) {
        d->logFile = std::fopen(QFile::encodeName(options.logFile).constData(), "we");
        if (!d->logFile)
            return fail(QStringLiteral("%1: %2").arg(options.logFile,
                                                     QString::fromLocal8Bit(std::strerror(errno))));
    }
    if (!options.linkPath.isEmpty() && !createLink(options.linkPath, d->pty.slavePath(), &message))
        return fail(message);

    d->linkPath = options.linkPath;
    d->replyDelayMs = options.replyDelayMs;
    d->baud = options.baud;
    d->stopping = false;
    {
        std::lock_guard lock(d->mutex);
        d->engine = DeviceEngine(options.state);
        d->engine.setFaults(options.faults);
        d->log.clear();
        d->runningSlavePath = d->pty.slavePath();
    }
    d->clock.start();
    d->thread = std::thread([this] { d->run(); });
    d->running = true;
    return d->pty.slavePath();
}

void SimulatorHost::stop() {
    if (!d->running)
        return;
    d->stopping = true;
    const char wake = 1;
    [[maybe_unused]] const ssize_t n = ::write(d->wakeWrite, &wake, 1);
    d->thread.join();
    if (!d->linkPath.isEmpty())
        removeLink(d->linkPath, d->pty.slavePath());
    d->linkPath.clear();
    if (d->logFile)
        std::fclose(d->logFile);
    d->logFile = nullptr;
    d->closeWakePipe();
    d->pty.close();
    {
        std::lock_guard lock(d->mutex);
        d->runningSlavePath.clear();
    }
    d->running = false;
}

bool SimulatorHost::isRunning() const {
    std::lock_guard lock(d->mutex);
    return !d->runningSlavePath.isEmpty();
}

QString SimulatorHost::slavePath() const {
    std::lock_guard lock(d->mutex);
    return d->runningSlavePath;
}

QString SimulatorHost::errorString() const {
    return d->error;
}

DeviceState SimulatorHost::state() const {
    std::lock_guard lock(d->mutex);
    return d->engine.state();
}

void SimulatorHost::setState(DeviceState state) {
    std::lock_guard lock(d->mutex);
    d->engine.setState(std::move(state));
}

SimulatorFaults SimulatorHost::faults() const {
    std::lock_guard lock(d->mutex);
    return d->engine.faults();
}

void SimulatorHost::setFaults(SimulatorFaults faults) {
    std::lock_guard lock(d->mutex);
    d->engine.setFaults(std::move(faults));
}

QList<LoggedFrame> SimulatorHost::frameLog() const {
    std::lock_guard lock(d->mutex);
    return d->log;
}

QList<ByteBuffer> SimulatorHost::framesReceived() const {
    std::lock_guard lock(d->mutex);
    QList<ByteBuffer> frames;
    for (const LoggedFrame& f : d->log) {
        if (f.direction == LoggedFrame::Direction::Received)
            frames.append(f.bytes);
    }
    return frames;
}

QList<ByteBuffer> SimulatorHost::framesSent() const {
    std::lock_guard lock(d->mutex);
    QList<ByteBuffer> frames;
    for (const LoggedFrame& f : d->log) {
        if (f.direction == LoggedFrame::Direction::Sent)
            frames.append(f.bytes);
    }
    return frames;
}

void SimulatorHost::clearFrameLog() {
    std::lock_guard lock(d->mutex);
    d->log.clear();
}

} // namespace korvane::sim
