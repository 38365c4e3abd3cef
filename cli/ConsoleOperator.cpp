// SPDX-License-Identifier: MIT
#include "cli/ConsoleOperator.h"

#include "cli/Console.h"
#include "cli/Interrupt.h"
#include "protocol/Commands.h"
#include "session/DeviceSession.h"

#include <utility>

namespace korvane::cli {

ConsoleOperator::ConsoleOperator(Console& console, QString port, bool quiet)
    : m_console(console), m_port(std::move(port)), m_quiet(quiet) {}

void ConsoleOperator::showMessage(const QString& text, const QString&, MessageIcon icon) {
    // After an interrupt the frames held back go unanswered: no news of the device.
    if (interruptRequested() && icon == MessageIcon::Error && text == NoAnswerText)
        return;
    if (icon == MessageIcon::Error) {
        m_lastError = text;
    } else {
        // The procedures' information boxes tell a success.
        if (m_holding)
            m_held.append(text);
        else
            succeed(text);
        return;
    }
    say(text);
}

void ConsoleOperator::showDetailedMessage(const QString& text, const QString& caption,
                                          MessageIcon icon, const QString& detail) {
    if (icon == MessageIcon::Error && !detail.isEmpty())
        showError(text, detail);
    else
        showMessage(text, caption, icon);
}

void ConsoleOperator::observe(DeviceSession& session) {
    QObject::connect(&session, &DeviceSession::addressRead, &session, [this] { addressRead(); });
    QObject::connect(&session, &DeviceSession::serialNumberRead, &session,
                     [this] { serialNumberRead(); });
    QObject::connect(&session.configuration(), &DeviceConfiguration::portRowsChanged, &session,
                     [this] { portRowsChanged(); });
    QObject::connect(&session, &DeviceSession::trunkSummaryChanged, &session,
                     [this] { trunkSummaryChanged(); });
}

void ConsoleOperator::addressRead() {
    m_read = ReadPart::Address; // the first step of a read
}

void ConsoleOperator::serialNumberRead() {
    m_read = ReadPart::SerialNumber;
}

void ConsoleOperator::portRowsChanged() {
    // Also told when a read empties the table, before the table is read.
    if (m_read == ReadPart::SerialNumber)
        m_read = ReadPart::Ports;
}

void ConsoleOperator::trunkSummaryChanged() {
    if (m_read >= ReadPart::Ports && m_read < ReadPart::Delay)
        m_read = ReadPart(int(m_read) + 1);
}

void ConsoleOperator::fail(const QString& text) {
    m_lastError = text;
    say(text);
}

void ConsoleOperator::succeed(const QString& text) {
    if (m_successLines)
        say(text);
}

void ConsoleOperator::holdSuccess(bool hold) {
    if (hold)
        m_held.clear();
    m_holding = hold;
}

void ConsoleOperator::releaseHeld() {
    const QStringList held = std::exchange(m_held, {});
    for (const QString& text : held)
        succeed(text);
}

void ConsoleOperator::showError(const QString& message, const QString& reason,
                                const QString& hint) {
    // The message as it is: scripts compare it with the device procedures' texts.
    if (reason.isEmpty() && hint.isEmpty()) {
        showMessage(message, QString(), MessageIcon::Error);
        return;
    }
    m_lastError = message;
    QStringList detail;
    for (const QString& part : {reason, hint})
        if (!part.isEmpty())
            detail.append(part);
    const bool endsInLetter = !message.isEmpty() && message.back().isLetterOrNumber();
    say(message + (endsInLetter ? QStringLiteral(": ") : QStringLiteral(" ")) +
        detail.join(QStringLiteral("；")));
}

void ConsoleOperator::say(const QString& text) {
    if (!m_quiet)
        m_console.err(portShown(m_port) + QStringLiteral(": ") + text);
}

void ConsoleOperator::showScheduleProgress(int block, int blocks) {
    if (blocks > 0 && m_console.errIsTerminal())
        say(QStringLiteral("时序表 %1/%2").arg(block).arg(blocks));
}

void ConsoleOperator::pause(int ms) {
    runEventLoopFor(ms);
}

} // namespace korvane::cli
