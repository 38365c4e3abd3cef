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

    void ShowMessage(const QString& text, const QString& caption, MessageIcon icon) override;
    void SetBusy(bool) override {}
    void ShowPortLabel(const QString&) override {}
    void ShowModel(const QString&) override {}
    void ShowAddress(const QString&, const QString&) override {}
    void ShowSerialNumber(const QString&, const QString&) override {}
    void PortTableChanged() override {}
    void ShowTrunkSummary(const QString&) override {}
    void ShowScheduleProgress(int block, int blocks) override;
    void Pause(int ms) override;

    // An error that ended the action, as the window's top-level handler words it.
    void ShowError(QString message);
    // A line of this port's own, not a box of the procedures.
    void Say(const QString& text);

    // The text of the last error box, empty when none was shown.
    const QString& LastError() const { return m_lastError; }

private:
    Console& m_console;
    QString m_port;
    bool m_quiet;
    QString m_lastError;
};

} // namespace korvane::cli
