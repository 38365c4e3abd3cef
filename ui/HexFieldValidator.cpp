// SPDX-License-Identifier: MIT
#include "ui/HexFieldValidator.h"

#include <QLineEdit>

#include <algorithm>

namespace korvane {

namespace {

bool isHexDigit(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

} // namespace

HexFieldValidator::HexFieldValidator(QLineEdit* field, int maxLength)
    : QValidator(field), m_maxLength(maxLength), m_lastText(field->text()) {
    // The field already holds the edited text while it is validated, so the text
    // before the edit is remembered here.
    connect(field, &QLineEdit::textChanged, this, [this](const QString& t) { m_lastText = t; });
}

void HexFieldValidator::setUnchecked(QLineEdit* field, const QString& text) {
    const QValidator* validator = field->validator();
    field->setValidator(nullptr);
    field->setText(text);
    field->setValidator(validator);
}

QValidator::State HexFieldValidator::validate(QString& input, int& /*pos*/) const {
    // Only what the edit puts in is checked: a text the program put there (a negative
    // number from a file, say) may always be shortened, and typed into within limits.
    qsizetype prefix = 0;
    const qsizetype shorter = std::min(input.size(), m_lastText.size());
    while (prefix < shorter && input[prefix] == m_lastText[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix &&
           input[input.size() - 1 - suffix] == m_lastText[m_lastText.size() - 1 - suffix])
        ++suffix;
    const qsizetype insertedLength = input.size() - prefix - suffix;
    for (qsizetype i = prefix; i < prefix + insertedLength; ++i)
        if (!isHexDigit(input[i]))
            return Invalid;
    if (input.size() > m_maxLength && input.size() > m_lastText.size())
        return Invalid;
    input.replace(prefix, insertedLength, input.mid(prefix, insertedLength).toUpper());
    return Acceptable;
}

} // namespace korvane
