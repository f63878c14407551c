#include "models/DatabaseListModel.h"

#include "platform/TolmError.h"

int DatabaseListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int DatabaseListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DatabaseListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const ConnectionParts &row = m_rows.at(index.row());
    return index.column() == ColHost ? row.host : row.file;
}

QVariant DatabaseListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section == ColHost)
        return QStringLiteral("Host");
    if (section == ColFile)
        return QStringLiteral("File");
    return {};
}

Qt::ItemFlags DatabaseListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void DatabaseListModel::appendRow(const ConnectionParts &row)
{
    const int position = static_cast<int>(m_rows.size());
    beginInsertRows(QModelIndex(), position, position);
    m_rows.append(row);
    endInsertRows();
}

void DatabaseListModel::removeRow(int row)
{
    if (m_rows.isEmpty())
        throw TolmError(QStringLiteral("Cannot perform this operation on an empty dataset"));
    if (row < 0 || row >= m_rows.size())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_rows.removeAt(row);
    endRemoveRows();
}
