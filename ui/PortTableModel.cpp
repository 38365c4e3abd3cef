// SPDX-License-Identifier: MIT
#include "ui/PortTableModel.h"

#include "config/DisplayTexts.h"

#include <QColor>

namespace korvane {

PortTableModel::PortTableModel(const DeviceConfiguration& config, QObject* parent)
    : QAbstractTableModel(parent), m_ports(config.ports), m_rowsShown(int(config.ports.size())) {
    connect(&config, &DeviceConfiguration::portRowsChanged, this, &PortTableModel::showRows);
}

const QList<int>& PortTableModel::columnWidths() {
    static const QList<int> widths{50, 50, 70, 80, 60, 80, 60, 60, 60, 50};
    return widths;
}

void PortTableModel::showRows(int firstRow, int lastRow) {
    if (m_rowsShown != m_ports.size()) {
        beginResetModel();
        m_rowsShown = int(m_ports.size());
        endResetModel();
        return;
    }
    if (firstRow <= lastRow)
        emit dataChanged(index(firstRow, 0), index(lastRow, PortEntry::FieldCount - 1));
}

int PortTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rowsShown;
}

int PortTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : PortEntry::FieldCount;
}

QVariant PortTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rowsShown || index.row() >= m_ports.size())
        return {};
    const PortEntry& e = m_ports[index.row()];
    // A remark other than empty or "-" is an edit mark carried by a loaded file.
    const bool marked = !e.remark.isEmpty() && e.remark != text::None;
    switch (role) {
    case Qt::DisplayRole:
        return e.field(index.column());
    case Qt::BackgroundRole:
        return marked ? QColor(255, 0, 0) : QColor(Qt::white);
    case Qt::ForegroundRole:
        return marked ? QColor(Qt::white) : QColor(Qt::black);
    default:
        return {};
    }
}

QVariant PortTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < int(PortColumnCaptions.size()))
        return PortColumnCaptions[std::size_t(section)];
    return {};
}

} // namespace korvane
