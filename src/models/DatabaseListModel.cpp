#include "models/DatabaseListModel.h"

#include "platform/TolmError.h"

int DatabaseListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_righe.size());
}

int DatabaseListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : NumeroColonne;
}

QVariant DatabaseListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const Connessione &riga = m_righe.at(index.row());
    return index.column() == ColonnaHost ? riga.host : riga.file;
}

QVariant DatabaseListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section == ColonnaHost)
        return QStringLiteral("Host");
    if (section == ColonnaFile)
        return QStringLiteral("File");
    return {};
}

Qt::ItemFlags DatabaseListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void DatabaseListModel::aggiungi(const Connessione &riga)
{
    const int posizione = static_cast<int>(m_righe.size());
    beginInsertRows(QModelIndex(), posizione, posizione);
    m_righe.append(riga);
    endInsertRows();
}

void DatabaseListModel::elimina(int riga)
{
    if (m_righe.isEmpty())
        throw TolmError(QStringLiteral("Cannot perform this operation on an empty dataset"));
    if (riga < 0 || riga >= m_righe.size())
        return;
    beginRemoveRows(QModelIndex(), riga, riga);
    m_righe.removeAt(riga);
    endRemoveRows();
}
