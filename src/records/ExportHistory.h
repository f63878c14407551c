#pragma once

#include "records/InvoiceRecord.h"

#include <QDate>
#include <QString>
#include <QTime>

#include <optional>
#include <vector>

// What the export journal says of the rows of an invoice table: for each row
// exported before, its last export (when, into which file, with what total),
// and how many lines of the journal could not be read. Only the rows
// concerned are kept.
class ExportHistory
{
public:
    // The last export of an invoice; the moment on the local clock.
    struct Export
    {
        QDate day;
        QTime time;
        QString file;
        qint64 total = 0; // ten-thousandths, as it was exported
    };

    // A row's last export as it is kept: the export (moment and file) that
    // many rows share, by its number, and the row's total then.
    struct Entry
    {
        quint32 row;
        quint32 exportNumber;
        qint64 total;
    };

    // An export: day as a Julian day, seconds from midnight. Returns its
    // number for the entries.
    quint32 addExport(qint64 day, int seconds, const QString &file);
    // The last exports of rows, one entry a row, in any order.
    void setEntries(std::vector<Entry> entries);
    // Every record exported at that moment into file, with its own total,
    // in place of what was held so far.
    void setEveryRow(const std::vector<InvoiceRecord> &records, const QDate &day, const QTime &time,
                     const QString &file);

    // Nothing when the row was never exported.
    std::optional<Export> exportOf(qsizetype row) const;
    qsizetype exportedCount() const { return qsizetype(m_entries.size()); }

    qsizetype unreadableLines() const { return m_unreadableLines; }
    void setUnreadableLines(qsizetype count) { m_unreadableLines = count; }

private:
    struct Moment
    {
        qint32 day;
        qint32 seconds;
        QString file;
    };

    std::vector<Entry> m_entries; // ordered by row
    std::vector<Moment> m_exports;
    qsizetype m_unreadableLines = 0;
};
