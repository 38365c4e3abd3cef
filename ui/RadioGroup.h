// SPDX-License-Identifier: MIT
#pragma once
// A captioned group of radio buttons addressed by item index, as the dialogs use
// them: the group's value is the index of its checked item, -1 when none is checked.

#include <QButtonGroup>
#include <QGroupBox>
#include <QStringList>

namespace korvane {

class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    RadioGroup(const QString& objectName, const QString& caption, const QStringList& items,
               QWidget* parent = nullptr);

    int itemIndex() const;
    // An index outside the items leaves no item checked.
    void setItemIndex(int index);
    QString itemText() const; // empty when none is checked
    QAbstractButton* item(int index) const;

signals:
    // Only for the operator's clicks, not for setItemIndex.
    void itemClicked(int index);

private:
    QButtonGroup m_buttons;
};

} // namespace korvane
