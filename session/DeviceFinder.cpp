// SPDX-License-Identifier: MIT
#include "session/DeviceFinder.h"

#include "config/DisplayTexts.h"
#include "config/KorvaneError.h"
#include "link/CommandTransport.h"
#include "protocol/DeviceOperator.h"
#include "protocol/DeviceProcedures.h"
#include "session/DeviceSession.h"

#include <QMetaObject>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>

#include <atomic>
#include <exception>

namespace korvane {

namespace {

// The probe asks nothing of an operator; a pause (none is made) just waits.
class SilentOperator : public DeviceOperator {
public:
    void showMessage(const QString&, const QString&, MessageIcon) override {}
    void showScheduleProgress(int, int) override {}
    void pause(int ms) override { runEventLoopFor(ms); }
};

} // namespace

struct DeviceFinder::Outcome {
    int search = 0;
    QString port;
    QString model;       // "0" when nothing acceptable answered
    QString unavailable; // why the port would not open
};

// One port's probe: its thread, and while the probe runs the session on that thread,
// which a cancel reaches through its event queue.
struct DeviceFinder::Probe {
    QString port;
    std::unique_ptr<QThread> thread;
    std::atomic<bool> cancelled{false};
    QMutex mutex;
    DeviceSession* session = nullptr; // under mutex
};

DeviceFinder::DeviceFinder(QObject* parent)
    : QObject(parent), m_timeLimitMs(CommandTransport::ResponseTimeLimitMs) {}

DeviceFinder::~DeviceFinder() {
    cancel();
}

void DeviceFinder::start(const QStringList& ports, const PortSettings& line) {
    cancel();
    const int timeLimitMs = m_timeLimitMs;
    const int search = ++m_search;
    for (const QString& port : ports) {
        auto probe = std::make_unique<Probe>();
        probe->port = port;
        Probe* p = probe.get();
        // The finder outlives every probe thread: cancel() joins them.
        probe->thread.reset(QThread::create([this, p, line, timeLimitMs, search] {
            Outcome outcome{search, p->port, text::ModelUnknown, {}};
            {
                SilentOperator ui;
                DeviceSession session(ui);
                session.transport().setTimeLimitMs(timeLimitMs);
                session.transport().setSendGate([p] { return !p->cancelled; });
                {
                    const QMutexLocker lock(&p->mutex);
                    p->session = &session;
                }
                try {
                    PortSettings settings = line;
                    settings.commName = p->port;
                    if (!p->cancelled) {
                        session.setPortSettings(settings);
                        outcome.model = session.procedures().identifyDevice();
                    }
                } catch (const KorvaneError& e) {
                    if (e.kind() == KorvaneError::Kind::Port)
                        outcome.unavailable = e.reason().isEmpty() ? e.message() : e.reason();
                } catch (const std::exception&) {
                    // Nothing else ends a thread: the port counts as silent.
                }
                const QMutexLocker lock(&p->mutex);
                p->session = nullptr;
            } // the port is closed here
            if (!p->cancelled)
                QMetaObject::invokeMethod(
                    this, [this, outcome] { take(outcome); }, Qt::QueuedConnection);
        }));
        m_probes.push_back(std::move(probe));
    }
    m_pending = static_cast<int>(m_probes.size());
    for (const auto& probe : m_probes)
        probe->thread->start();
    if (m_probes.empty())
        QMetaObject::invokeMethod(this, &DeviceFinder::finished, Qt::QueuedConnection);
}

void DeviceFinder::take(const Outcome& outcome) {
    // An outcome posted just before a cancel belongs to no search any more.
    if (outcome.search != m_search || m_pending == 0)
        return;
    if (!outcome.unavailable.isEmpty())
        emit portUnavailable(outcome.port, outcome.unavailable);
    else if (outcome.model != text::ModelUnknown)
        emit deviceFound(outcome.port, outcome.model);
    // A receiver may have cancelled the search or started another.
    if (outcome.search != m_search || m_pending == 0)
        return;
    if (--m_pending == 0) {
        joinAll();
        emit finished();
    }
}

void DeviceFinder::cancel() {
    for (const auto& probe : m_probes) {
        probe->cancelled = true;
        const QMutexLocker lock(&probe->mutex);
        if (DeviceSession* session = probe->session)
            QMetaObject::invokeMethod(
                session, [session] { session->transport().abandonWait(); }, Qt::QueuedConnection);
    }
    joinAll();
    m_pending = 0;
}

void DeviceFinder::joinAll() {
    for (const auto& probe : m_probes)
        probe->thread->wait();
    m_probes.clear();
}

} // namespace korvane
