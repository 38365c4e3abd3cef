#pragma once
// The operator of one port's procedures on the command line: every message box becomes
// one line on standard error, prefixed by the port; pauses are waited out in the
// port's own event loop.

#include "protocol/DeviceOperator.h"

#include <QString>

namespace korvane::cli {

class Console;

class ConsoleOperator : public DeviceOperator {
public:
    // quiet: nothing is shown (scan skips silent and foreign ports without a word).
    ConsoleOperator(Console& console, QString port, bool quiet);

    void showMessage(const QString& text, const QString& caption, MessageIcon icon) override;
    void showScheduleProgress(int block, int blocks) override;
    void pause(int ms) override;

    // An error that ended the action, as the window's top-level handler words it.
    void showError(QString message);
    // A line of this port's own, not a box of the procedures.
    void say(const QString& text);

    // The text of the last error box, empty when none was shown.
    const QString& lastError() const { return m_lastError; }

private:
    Console& m_console;
    QString m_port;
    bool m_quiet;
    QString m_lastError;
};

} // namespace korvane::cli
