#include "models/AssociationModel.h"

AssociationModel::AssociationModel(AssociationTable &table, QObject *parent)
    : QAbstractTableModel(parent), m_table(table)
{
    connect(&table, &AssociationTable::aboutToReset, this, &AssociationModel::beginResetModel);
    connect(&table, &AssociationTable::reset, this, &AssociationModel::endResetModel);
    connect(&table, &AssociationTable::rowsAboutToBeInserted, this,
            [this](int first, int last) { beginInsertRows({}, first, last); });
    connect(&table, &AssociationTable::rowsInserted, this, &AssociationModel::endInsertRows);
    connect(&table, &AssociationTable::rowsAboutToBeRemoved, this,
            [this](int first, int last) { beginRemoveRows({}, first, last); });
    connect(&table, &AssociationTable::rowsRemoved, this, &AssociationModel::endRemoveRows);
    connect(&table, &AssociationTable::fieldChanged, this, [this](int row, int column) {
        const QModelIndex cell = index(row, column);
        emit dataChanged(cell, cell);
    });
}

int AssociationModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_table.size();
}

int AssociationModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : AssociationTable::ColumnCount;
}

QVariant AssociationModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)
        || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    if (index.column() == AssociationTable::ColIndex)
        return m_table.row(index.row()).index;
    return m_table.fieldText(index.row(), index.column());
}

bool AssociationModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)
        || role != Qt::EditRole)
        return false;
    m_table.setField(index.row(), index.column(), value.toString());
    return true;
}

Qt::ItemFlags AssociationModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

QVariant AssociationModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return {};
    switch (section) {
    case AssociationTable::ColIndex: return QStringLiteral("index");
    case AssociationTable::ColSigla: return QStringLiteral("Sigla");
    case AssociationTable::ColDescrizione: return QStringLiteral("Descrizione");
    case AssociationTable::ColSezionale: return QStringLiteral("Sezionale");
    default: return {};
    }
}
