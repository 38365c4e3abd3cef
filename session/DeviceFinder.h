// SPDX-License-Identifier: MIT
#pragma once
// Finds the ports where a Korvane answers. Every port is probed at once, each on a
// thread of its own with a session of its own, by the identification probe and
// nothing else, so a silent port costs one answer time limit whatever the number of
// ports. The finder lives on the thread that starts it (the window's) and tells what
// it finds there, by signals; the port settings dialog stays a view over it.

#include "session/PortSettings.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace korvane {

class DeviceFinder : public QObject {
    Q_OBJECT
public:
    explicit DeviceFinder(QObject* parent = nullptr);
    ~DeviceFinder() override; // cancels a search under way

    // How long each port waits for the probe's answer; the transport's time limit
    // unless changed.
    int timeLimitMs() const noexcept { return m_timeLimitMs; }
    void setTimeLimitMs(int ms) noexcept { m_timeLimitMs = ms; }

    // Probes each of ports (names as a serial port opens them) at the line settings
    // of line (its commName is not used). A search under way is cancelled first.
    void start(const QStringList& ports, const PortSettings& line);
    // Ends the search: nothing more is sent, a wait for an answer ends at once, and
    // every port of the search is closed when it returns. No finished() follows.
    void cancel();
    bool isRunning() const noexcept { return !m_probes.empty(); }

signals:
    // A device of model ("KORVANE" or "KORVANEA/B") answered on port.
    void deviceFound(const QString& port, const QString& model);
    // The port would not open; reason is the system's reason (else the port's message).
    void portUnavailable(const QString& port, const QString& reason);
    // Every port has answered, stayed silent or failed, and is closed again.
    void finished();

private:
    struct Probe;
    struct Outcome;

    void take(const Outcome& outcome);
    void joinAll();

    std::vector<std::unique_ptr<Probe>> m_probes;
    int m_pending = 0;
    int m_search = 0; // the number of the latest search
    int m_timeLimitMs;
};

} // namespace korvane
