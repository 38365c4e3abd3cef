// SPDX-License-Identifier: MIT
#pragma once
// Shows the configuration's port table in the port list: one row per PortEntry,
// ten columns, rows with an edit mark painted red on white text. Follows the rows the
// configuration says it changed.

#include "config/DeviceConfiguration.h"

#include <QAbstractTableModel>

namespace korvane {

class PortTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit PortTableModel(const DeviceConfiguration& config, QObject* parent = nullptr);

    static const QList<int>& columnWidths();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    // Rows that changed in place stay where they are, so the view keeps its selection
    // and current row; a table of another size is shown anew.
    void showRows(int firstRow, int lastRow);

    const PortTable& m_ports;
    int m_rowsShown; // the number of rows the view was last told about
};

} // namespace korvane
