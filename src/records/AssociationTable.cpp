#include "records/AssociationTable.h"

#include "platform/AnsiCodePage.h"
#include "platform/TolmError.h"

#include <algorithm>

namespace {
QByteArray cut(const QString &text, int size)
{
    return toAnsi(text).left(size);
}
} // namespace

AssociationTable::AssociationTable(QObject *parent) : QObject(parent) {}

AssociationTable::~AssociationTable() = default;

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
    emit aboutToReset();
    m_rows.clear();
    emit reset();
    setCurrentRow(-1);
}

void AssociationTable::appendRow(qint32 index, const QString &sigla, const QString &descrizione, const QString &sezionale)
{
    const int at = size();
    emit rowsAboutToBeInserted(at, at);
    m_rows.push_back({index, cut(sigla, kSiglaSize), cut(descrizione, kDescrizioneSize), cut(sezionale, kSezionaleSize)});
    emit rowsInserted();
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

int AssociationTable::currentSezionaleNumber() const
{
    const QString text = currentSezionale();
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok)
        throw TolmError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

void AssociationTable::insertEmptyRow(int before)
{
    before = std::clamp(before, 0, size());
    emit rowsAboutToBeInserted(before, before);
    m_rows.insert(m_rows.begin() + before, Row{});
    emit rowsInserted();
    m_current = -1;
    setCurrentRow(before);
}

void AssociationTable::removeRow(int row)
{
    if (row < 0 || row >= size())
        return;
    emit rowsAboutToBeRemoved(row, row);
    m_rows.erase(m_rows.begin() + row);
    emit rowsRemoved();
    m_current = -1;
    setCurrentRow(std::min(row, size() - 1));
}

void AssociationTable::setField(int row, int column, const QString &value)
{
    if (row < 0 || row >= size())
        return;
    Row &r = m_rows[size_t(row)];
    switch (column) {
    case ColIndex: r.index = value.toInt(); break;
    case ColSigla: r.Sigla = cut(value, kSiglaSize); break;
    case ColDescrizione: r.Descrizione = cut(value, kDescrizioneSize); break;
    case ColSezionale: r.Sezionale = cut(value, kSezionaleSize); break;
    default: return;
    }
    emit fieldChanged(row, column);
}

void AssociationTable::restoreRow(int row, const Row &copy)
{
    if (row < 0 || row >= size())
        return;
    Row &r = m_rows[size_t(row)];
    const Row before = r;
    r = copy;
    if (before.index != copy.index)
        emit fieldChanged(row, ColIndex);
    if (before.Sigla != copy.Sigla)
        emit fieldChanged(row, ColSigla);
    if (before.Descrizione != copy.Descrizione)
        emit fieldChanged(row, ColDescrizione);
    if (before.Sezionale != copy.Sezionale)
        emit fieldChanged(row, ColSezionale);
}

QString AssociationTable::fieldText(int row, int column) const
{
    const Row &r = this->row(row);
    switch (column) {
    case ColIndex: return QString::number(r.index);
    case ColSigla: return fromAnsi(r.Sigla);
    case ColDescrizione: return fromAnsi(r.Descrizione);
    case ColSezionale: return fromAnsi(r.Sezionale);
    default: return {};
    }
}
