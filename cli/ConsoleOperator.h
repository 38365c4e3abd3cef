// SPDX-License-Identifier: MIT
#pragma once
// The operator of one port's procedures on the command line: every message box becomes
// one line on standard error, prefixed by the port; pauses are waited out in the
// port's own event loop.

#include "cli/ConfigurationReport.h"
#include "protocol/DeviceOperator.h"

#include <QString>
#include <QStringList>

namespace korvane {
class DeviceSession;
}

namespace korvane::cli {

class Console;

class ConsoleOperator : public DeviceOperator {
public:
    // quiet: nothing is shown (scan skips silent and foreign ports without a word).
    ConsoleOperator(Console& console, QString port, bool quiet);

    void showMessage(const QString& text, const QString& caption, MessageIcon icon) override;
    // An error's further text (the system's reason) follows it on its line.
    void showDetailedMessage(const QString& text, const QString& caption, MessageIcon icon,
                             const QString& detail) override;
    // Follows how far the session's reads get (for readPart); the session must not
    // outlive this operator.
    void observe(DeviceSession& session);
    void showScheduleProgress(int block, int blocks) override;
    void pause(int ms) override;

    // An error that ended the action, its message unchanged, on one line with the
    // reason and what to try where there are any; the last error is the message alone.
    void showError(const QString& message, const QString& reason = {}, const QString& hint = {});
    // Whether success lines are shown (not under --quiet, nor to a pipe).
    void showSuccessLines(bool show) { m_successLines = show; }
    // A line of this port's own, not a box of the procedures.
    void say(const QString& text);
    // The port's own error: shown, and kept as the last error.
    void fail(const QString& text);
    // The port's own success line.
    void succeed(const QString& text);
    // While held, the procedures' information boxes are kept back instead of shown:
    // their success is not yet the device's. releaseHeld shows them; holding again
    // drops them.
    void holdSuccess(bool hold);
    void releaseHeld();

    // The text of the last error box, empty when none was shown.
    const QString& lastError() const { return m_lastError; }
    // How far the last device read came, told by the fields it filled.
    ReadPart readPart() const { return m_read; }

private:
    void addressRead();
    void serialNumberRead();
    void portRowsChanged();
    void trunkSummaryChanged();
    Console& m_console;
    QString m_port;
    bool m_quiet;
    QString m_lastError;
    bool m_holding = false;
    bool m_successLines = true;
    ReadPart m_read = ReadPart::Nothing;
    QStringList m_held;
};

} // namespace korvane::cli
