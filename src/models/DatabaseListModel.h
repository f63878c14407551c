#pragma once

#include "settings/ConnectionString.h"

#include <QAbstractTableModel>
#include <QList>

// The rows of the database list dialog: columns "Host" and "File", in the
// order they were appended, read-only in the grid.
class DatabaseListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    enum Column { ColHost, ColFile, ColumnCount };

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    const QList<ConnectionParts> &rows() const { return m_rows; }
    void appendRow(const ConnectionParts &row);
    // Raises "Cannot perform this operation on an empty dataset" when empty.
    void removeRow(int row);

private:
    QList<ConnectionParts> m_rows;
};
