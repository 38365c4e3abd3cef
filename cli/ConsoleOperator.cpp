#include "cli/ConsoleOperator.h"

#include "cli/Console.h"

namespace korvane::cli {

ConsoleOperator::ConsoleOperator(Console& console, QString port, bool quiet)
    : m_console(console), m_port(std::move(port)), m_quiet(quiet) {}

void ConsoleOperator::ShowMessage(const QString& text, const QString&, MessageIcon icon) {
    if (icon == MessageIcon::Error)
        m_lastError = text;
    Say(text);
}

void ConsoleOperator::ShowError(QString message) {
    if (!message.endsWith(u'.') && !message.endsWith(u'。'))
        message += u'.';
    ShowMessage(message, QString(), MessageIcon::Error);
}

void ConsoleOperator::Say(const QString& text) {
    if (!m_quiet)
        m_console.Err(m_port + QStringLiteral(": ") + text);
}

void ConsoleOperator::ShowScheduleProgress(int block, int blocks) {
    if (blocks > 0 && m_console.ErrIsTerminal())
        Say(QStringLiteral("时序表 %1/%2").arg(block).arg(blocks));
}

void ConsoleOperator::Pause(int ms) {
    RunEventLoopFor(ms);
}

} // namespace korvane::cli
