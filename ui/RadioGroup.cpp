// SPDX-License-Identifier: MIT
#include "ui/RadioGroup.h"

#include <QRadioButton>
#include <QVBoxLayout>

namespace korvane {

RadioGroup::RadioGroup(const QString& objectName, const QString& caption, const QStringList& items,
                       QWidget* parent)
    : QGroupBox(caption, parent) {
    setObjectName(objectName);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 4, 4);
    layout->setSpacing(2);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        m_buttons.addButton(button, i);
        layout->addWidget(button);
    }
    layout->addStretch();
    connect(&m_buttons, &QButtonGroup::idClicked, this, &RadioGroup::itemClicked);
}

int RadioGroup::itemIndex() const {
    return m_buttons.checkedId();
}

void RadioGroup::setItemIndex(int index) {
    if (QAbstractButton* button = m_buttons.button(index)) {
        button->setChecked(true);
        return;
    }
    // Unchecking one button of an exclusive group needs the group to let go first.
    m_buttons.setExclusive(false);
    for (QAbstractButton* b : m_buttons.buttons())
        b->setChecked(false);
    m_buttons.setExclusive(true);
}

QString RadioGroup::itemText() const {
    const QAbstractButton* b = m_buttons.checkedButton();
    return b ? b->text() : QString();
}

QAbstractButton* RadioGroup::item(int index) const {
    return m_buttons.button(index);
}

} // namespace korvane
