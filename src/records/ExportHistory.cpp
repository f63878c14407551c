#include "records/ExportHistory.h"

#include <algorithm>

quint32 ExportHistory::addExport(qint64 day, int seconds, const QString &file)
{
    m_exports.push_back({qint32(day), qint32(seconds), file});
    return quint32(m_exports.size() - 1);
}

void ExportHistory::setEntries(std::vector<Entry> entries)
{
    const auto byRow = [](const Entry &a, const Entry &b) { return a.row < b.row; };
    if (!std::is_sorted(entries.begin(), entries.end(), byRow))
        std::sort(entries.begin(), entries.end(), byRow);
    m_entries = std::move(entries);
}

void ExportHistory::setEveryRow(const std::vector<InvoiceRecord> &records, const QDate &day, const QTime &time,
                                const QString &file)
{
    m_exports.clear();
    const quint32 number = addExport(day.toJulianDay(), time.msecsSinceStartOfDay() / 1000, file);
    std::vector<Entry> entries;
    entries.reserve(records.size());
    for (size_t row = 0; row < records.size(); ++row)
        entries.push_back({quint32(row), number, records[row].totale()});
    m_entries = std::move(entries);
}

std::optional<ExportHistory::Export> ExportHistory::exportOf(qsizetype row) const
{
    const auto it = std::lower_bound(m_entries.begin(), m_entries.end(), row,
                                     [](const Entry &entry, qsizetype value) { return qsizetype(entry.row) < value; });
    if (it == m_entries.end() || qsizetype(it->row) != row)
        return std::nullopt;
    const Moment &moment = m_exports[it->exportNumber];
    return Export{QDate::fromJulianDay(moment.day), QTime::fromMSecsSinceStartOfDay(moment.seconds * 1000),
                  moment.file, it->total};
}
