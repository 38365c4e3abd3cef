#pragma once
// The error a user action raises to end itself: an unanswered identification probe,
// a summary without a known model, a file error, a failed number conversion.
// The top-level handler shows the message; what() is UTF-8.

#include <QString>

#include <stdexcept>

namespace korvane {

class KorvaneError : public std::runtime_error {
public:
    explicit KorvaneError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const noexcept { return m_message; }

private:
    QString m_message;
};

} // namespace korvane
