// SPDX-License-Identifier: MIT
#pragma once
// The simulated Korvane on a pseudo-terminal, for tests that run in-process beside a
// Qt event loop (and for the korvane-sim program). start() opens a pty pair and runs
// the device on its own I/O thread; the code under test opens the returned slave
// path as if it were the serial port, and may close and reopen it at will.
//
//     SimulatorHost sim;
//     SimulatorOptions options;
//     options.state = DeviceState::initial(Model::KorvaneAB);
//     const QString port = sim.start(options);   // "/dev/pts/N", empty on failure
//     ... drive the code under test on `port` ...
//     QCOMPARE(sim.state().gps, (ByteBuffer{0x55, 0xAA})); // stored before answering
//     QTRY_COMPARE(sim.framesSent().size(), 6);
//
// Thread rules: start(), stop() and the destructor belong to the thread that owns
// the host and must not run concurrently with one another. Every other member may
// be called from any thread at any time; the getters return copies taken under the
// host's lock, and setters take effect from the next frame the device reads.
// The device handles one frame at a time: it answers a frame (after the reply delay,
// paced to the baud rate) before it reads the next one.

#include "sim/DeviceEngine.h"
#include "sim/DeviceState.h"
#include "sim/SimulatorOptions.h"

#include <QList>
#include <QString>

#include <memory>

namespace korvane::sim {

struct LoggedFrame {
    enum class Direction { Received, Sent };
    Direction direction = Direction::Received;
    ByteBuffer bytes; // as on the line: escaped, and with any faults applied
    qint64 msecs = 0; // since start()
    // A received frame is logged before it is answered; a sent frame once fully
    // written, so it may show up a moment after the reader has it (wait with QTRY).
};

class SimulatorHost {
public:
    // The in-memory frame log keeps this many frames, dropping the oldest.
    static constexpr qsizetype MaxLoggedFrames = 10000;

    SimulatorHost();
    ~SimulatorHost(); // stops
    SimulatorHost(const SimulatorHost&) = delete;
    SimulatorHost& operator=(const SimulatorHost&) = delete;

    // Opens the pty pair, the log file and the link, and starts the I/O thread.
    // Returns the slave path, or an empty string with errorString() telling why.
    QString start(const SimulatorOptions& options = {});
    // Stops the thread, closes the pair (the slave side then sees a hang-up) and
    // removes the link. Harmless when not running.
    void stop();

    bool isRunning() const;
    QString slavePath() const; // empty when not running
    QString errorString() const;

    DeviceState state() const;
    void setState(DeviceState state); // lengths fitted to the model

    SimulatorFaults faults() const;
    void setFaults(SimulatorFaults faults);

    QList<LoggedFrame> frameLog() const;
    QList<ByteBuffer> framesReceived() const; // the received frames of the log
    QList<ByteBuffer> framesSent() const;     // the sent frames of the log
    void clearFrameLog();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace korvane::sim
