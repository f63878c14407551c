#pragma once

#include "records/InvoiceRecord.h"

#include <QDate>
#include <QString>
#include <QStringList>
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
    // One export of an invoice; the moment on the local clock.
    struct Export
    {
        QDate day;
        QTime time;
        QString file;
        qint64 total = 0; // ten-thousandths, as it was exported
    };

    // A file named by exports; its number for addExport().
    int addFile(const QString &file);
    // The last export of a row, rows in ascending order. day is a Julian
    // day, seconds count from midnight.
    void addExport(qsizetype row, qint64 total, qint64 day, int seconds, int file);
    // Every record exported at that moment into file, with its own total,
    // in place of the exports held so far.
    void addEveryRow(const std::vector<InvoiceRecord> &records, const QDate &day, const QTime &time,
                     const QString &file);
    void clearExports();

    // Nothing when the row was never exported.
    std::optional<Export> exportOf(qsizetype row) const;
    qsizetype exportedCount() const { return qsizetype(m_exports.size()); }

    qsizetype unreadableLines() const { return m_unreadableLines; }
    void setUnreadableLines(qsizetype count) { m_unreadableLines = count; }

private:
    struct Entry
    {
        quint32 row;
        qint32 file;
        qint64 total;
        qint32 day;     // Julian day
        qint32 seconds; // from midnight
    };

    std::vector<Entry> m_exports; // ordered by row
    QStringList m_files;
    qsizetype m_unreadableLines = 0;
};
