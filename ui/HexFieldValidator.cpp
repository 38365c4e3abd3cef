#include "ui/HexFieldValidator.h"

#include <QLineEdit>

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

void HexFieldValidator::SetUnchecked(QLineEdit* field, const QString& text) {
    const QValidator* validator = field->validator();
    field->setValidator(nullptr);
    field->setText(text);
    field->setValidator(validator);
}

QValidator::State HexFieldValidator::validate(QString& input, int& /*pos*/) const {
    for (QChar c : input)
        if (!isHexDigit(c))
            return Invalid;
    if (input.size() > m_maxLength && input.size() > m_lastText.size())
        return Invalid;
    input = input.toUpper();
    return Acceptable;
}

} // namespace korvane
