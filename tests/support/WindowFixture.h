#pragma once
// The main window started as the program starts it, in a temporary working
// directory with its own KORVANE.INI, beside a simulator on a pty. Message boxes are
// recorded instead of shown.

#include "config/Korvane.h"
#include "link/Comm32.h"
#include "link/SerialPort.h"
#include "sim/SimulatorHost.h"
#include "tests/support/RecordingOperator.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace korvane::test {

class WindowFixture {
public:
    // settings: the KORVANE.INI text (written in code page 936 compatible ASCII/UTF-8
    // subset); "{PTY}" stands for the simulator's port. Empty: no file at all.
    explicit WindowFixture(
        const QString& settings = QStringLiteral("[Setting]\r\nCommName={PTY}\r\n"),
        sim::SimulatorOptions options = {}) {
        Port = Sim.start(options);
        if (Port.isEmpty())
            qFatal("simulator did not start");
        m_oldDir = QDir::currentPath();
        QDir::setCurrent(Dir.path());
        if (!settings.isEmpty()) {
            QFile f(Dir.filePath(QStringLiteral("KORVANE.INI")));
            f.open(QIODevice::WriteOnly);
            f.write(QString(settings).replace(QStringLiteral("{PTY}"), Port).toUtf8());
        }
        Window = std::make_unique<TfrmKorvane>(
            [this](const QString& text, const QString& caption, MessageIcon icon) {
                Messages.append({text, caption, icon});
                if (OnMessage)
                    OnMessage(Messages.last());
            });
    }

    ~WindowFixture() {
        Window.reset();
        QDir::setCurrent(m_oldDir);
    }

    void Show() {
        Window->show();
        QVERIFY(QTest::qWaitForWindowExposed(Window.get()));
    }

    QStringList Texts() const {
        QStringList out;
        for (const ShownMessage& m : Messages)
            out.append(m.Text);
        return out;
    }

    QString Settings() const {
        QFile f(Dir.filePath(QStringLiteral("KORVANE.INI")));
        f.open(QIODevice::ReadOnly);
        return QString::fromUtf8(f.readAll());
    }

    QList<int> ReceivedCodes() const {
        QList<int> codes;
        for (const TDyCharArray& frame : Sim.framesReceived())
            codes.append(frame.size() > 1 ? frame[1] : -1);
        return codes;
    }

    sim::SimulatorHost Sim;
    QString Port;
    QTemporaryDir Dir;
    QList<ShownMessage> Messages;
    std::function<void(const ShownMessage&)> OnMessage;
    std::unique_ptr<TfrmKorvane> Window;

private:
    QString m_oldDir;
};

// Acts on the next modal dialog once it is up (exec() does not return until then).
inline void WhenModal(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(w);
        }
    });
    timer->start();
}

} // namespace korvane::test
