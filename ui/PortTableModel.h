#pragma once
// Shows the configuration's port table in the port list: one row per PortEntry,
// ten columns, rows with an edit mark painted red on white text.

#include "config/DeviceConfiguration.h"

#include <QAbstractTableModel>

namespace korvane {

class PortTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit PortTableModel(const PortTable& ports, QObject* parent = nullptr);

    static const QList<int>& columnWidths();

    // The table was changed in place: show the rows that changed. The rows stay
    // where they are, so the view keeps its selection and current row.
    void refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const PortTable& m_ports;
    PortTable m_shown; // what the view was last told about
};

} // namespace korvane
