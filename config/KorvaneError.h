// SPDX-License-Identifier: MIT
#pragma once
// The one error of the system, raised by every layer to end a user action: a port
// that will not open, an unanswered identification probe, a model without a known
// layout, a file that cannot be read or written. It carries what failed, the message
// the operator sees and, where there is one, the operating system's error number with
// what it means here and what to try (a port that will not open or was lost). Each
// program turns it into a message in one place; what() is UTF-8.

#include <QString>

#include <stdexcept>
#include <utility>

namespace korvane {

class KorvaneError : public std::runtime_error {
public:
    enum class Kind {
        Port,   // the serial port cannot be opened or set up
        Device, // the device did not answer
        Model,  // the device model has no known layout
        File,   // a file cannot be read, written or used
    };

    explicit KorvaneError(const QString& message, Kind kind = Kind::File, int systemError = 0,
                          QString reason = {}, QString hint = {})
        : std::runtime_error(message.toStdString()), m_message(message), m_kind(kind),
          m_systemError(systemError), m_reason(std::move(reason)), m_hint(std::move(hint)) {}

    const QString& message() const noexcept { return m_message; }
    Kind kind() const noexcept { return m_kind; }
    // The operating system's error number (errno, or GetLastError on Windows); 0 for none.
    int systemError() const noexcept { return m_systemError; }
    // Why, in the operator's words ("找不到端口 COM3（…）"), and what to try; empty when
    // the message says it all.
    const QString& reason() const noexcept { return m_reason; }
    const QString& hint() const noexcept { return m_hint; }
    // The reason and the hint, one a line, for a message box's further text.
    QString detail() const {
        if (m_reason.isEmpty() || m_hint.isEmpty())
            return m_reason + m_hint;
        return m_reason + u'\n' + m_hint;
    }

private:
    QString m_message;
    Kind m_kind;
    int m_systemError;
    QString m_reason;
    QString m_hint;
};

} // namespace korvane
