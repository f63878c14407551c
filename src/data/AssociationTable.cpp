#include "data/AssociationTable.h"

#include "platform/AnsiCodePage.h"

#include <algorithm>

namespace {
QByteArray cut(const QString &text, int size)
{
    return toAnsi(text).left(size);
}
} // namespace

AssociationTable::AssociationTable(QObject *parent) : QAbstractTableModel(parent) {}

int AssociationTable::fieldSize(int column)
{
    switch (column) {
    case ColSigla: return kSiglaSize;
    case ColDescrizione: return kDescrizioneSize;
    case ColSezionale: return kSezionaleSize;
    default: return 0;
    }
}

void AssociationTable::reopen()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
    setCurrentRow(-1);
}

void AssociationTable::appendRow(qint32 index, const QString &sigla, const QString &descrizione, const QString &sezionale)
{
    const int at = size();
    beginInsertRows({}, at, at);
    m_rows.push_back({index, cut(sigla, kSiglaSize), cut(descrizione, kDescrizioneSize), cut(sezionale, kSezionaleSize)});
    endInsertRows();
    setCurrentRow(at);
}

void AssociationTable::setCurrentRow(int row)
{
    if (row < -1 || row >= size())
        return;
    if (row == m_current)
        return;
    m_current = row;
    emit currentRowChanged(row);
}

bool AssociationTable::locateIndex(qint32 value)
{
    for (int i = 0; i < size(); ++i) {
        if (m_rows[size_t(i)].index == value) {
            setCurrentRow(i);
            return true;
        }
    }
    return false;
}

QString AssociationTable::currentSigla() const
{
    return hasCurrent() ? fromAnsi(row(m_current).Sigla) : QString();
}

QString AssociationTable::currentSezionale() const
{
    return hasCurrent() ? fromAnsi(row(m_current).Sezionale) : QString();
}

void AssociationTable::insertEmptyRow(int before)
{
    before = std::clamp(before, 0, size());
    beginInsertRows({}, before, before);
    m_rows.insert(m_rows.begin() + before, Row{});
    endInsertRows();
    m_current = -1;
    setCurrentRow(before);
}

void AssociationTable::deleteRow(int row)
{
    if (row < 0 || row >= size())
        return;
    beginRemoveRows({}, row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
    m_current = -1;
    setCurrentRow(std::min(row, size() - 1));
}

int AssociationTable::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : size();
}

int AssociationTable::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant AssociationTable::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= size() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const Row &r = row(index.row());
    switch (index.column()) {
    case ColIndex: return r.index;
    case ColSigla: return fromAnsi(r.Sigla);
    case ColDescrizione: return fromAnsi(r.Descrizione);
    case ColSezionale: return fromAnsi(r.Sezionale);
    default: return {};
    }
}

bool AssociationTable::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.row() >= size() || role != Qt::EditRole)
        return false;
    Row &r = m_rows[size_t(index.row())];
    switch (index.column()) {
    case ColIndex: r.index = value.toInt(); break;
    case ColSigla: r.Sigla = cut(value.toString(), kSiglaSize); break;
    case ColDescrizione: r.Descrizione = cut(value.toString(), kDescrizioneSize); break;
    case ColSezionale: r.Sezionale = cut(value.toString(), kSezionaleSize); break;
    default: return false;
    }
    emit dataChanged(index, index);
    return true;
}

Qt::ItemFlags AssociationTable::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

QVariant AssociationTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return {};
    switch (section) {
    case ColIndex: return QStringLiteral("index");
    case ColSigla: return QStringLiteral("Sigla");
    case ColDescrizione: return QStringLiteral("Descrizione");
    case ColSezionale: return QStringLiteral("Sezionale");
    default: return {};
    }
}
