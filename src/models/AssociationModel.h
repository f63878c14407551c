#pragma once

#include "records/AssociationTable.h"

#include <QAbstractTableModel>

// The heading association table as the association dialog edits it in
// place: every field editable, texts cut to the field sizes. Follows the
// table's signals, whoever changes it.
class AssociationModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit AssociationModel(AssociationTable &table, QObject *parent = nullptr);

    AssociationTable &table() const { return m_table; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    AssociationTable &m_table;
};
