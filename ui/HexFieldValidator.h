// SPDX-License-Identifier: MIT
#pragma once
// Keeps what the operator puts into the serial-number and address fields to
// hexadecimal digits in upper case, at most a given number of characters, whatever
// the route (keys, paste, middle-click, drag and drop). Text the program puts there
// with setUnchecked stays as it is, so a longer or odd number from a read or a file
// is shown whole; the operator may shorten such a text, type digits into it, but
// never make it longer.

#include <QValidator>

class QLineEdit;

namespace korvane {

class HexFieldValidator : public QValidator {
    Q_OBJECT
public:
    HexFieldValidator(QLineEdit* field, int maxLength);

    State validate(QString& input, int& pos) const override;

    // Sets the field's text past its validator (which would otherwise change case).
    static void setUnchecked(QLineEdit* field, const QString& text);

private:
    int m_maxLength;
    QString m_lastText; // the field's text before the edit being validated
};

} // namespace korvane
