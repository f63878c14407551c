#include "records/ExportHistory.h"

#include <algorithm>

int ExportHistory::addFile(const QString &file)
{
    m_files.append(file);
    return int(m_files.size() - 1);
}

void ExportHistory::addExport(qsizetype row, qint64 total, qint64 day, int seconds, int file)
{
    m_exports.push_back({quint32(row), qint32(file), total, qint32(day), qint32(seconds)});
}

void ExportHistory::addEveryRow(const std::vector<InvoiceRecord> &records, const QDate &day, const QTime &time,
                                const QString &file)
{
    clearExports();
    const int fileNumber = addFile(file);
    const qint64 julianDay = day.toJulianDay();
    const int seconds = time.msecsSinceStartOfDay() / 1000;
    m_exports.reserve(records.size());
    for (size_t row = 0; row < records.size(); ++row)
        addExport(qsizetype(row), records[row].totale(), julianDay, seconds, fileNumber);
}

void ExportHistory::clearExports()
{
    m_exports.clear();
    m_files.clear();
}

std::optional<ExportHistory::Export> ExportHistory::exportOf(qsizetype row) const
{
    const auto it = std::lower_bound(m_exports.begin(), m_exports.end(), row,
                                     [](const Entry &entry, qsizetype value) { return qsizetype(entry.row) < value; });
    if (it == m_exports.end() || qsizetype(it->row) != row)
        return std::nullopt;
    return Export{QDate::fromJulianDay(it->day), QTime::fromMSecsSinceStartOfDay(it->seconds * 1000),
                  m_files.value(it->file), it->total};
}
