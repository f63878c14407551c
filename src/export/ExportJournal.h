#pragma once

#include "records/ExportHistory.h"
#include "records/InvoiceRecord.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <functional>
#include <vector>

// The export journal: a line for every invoice exported, added after each
// export, so that the program knows what was exported before. Text that a
// spreadsheet opens: UTF-8 with its byte-order mark (written when the file is
// new), a line of column titles, ";" between the fields, CR LF after each
// line. The columns: heading code, sezionale, the invoice's year, number and
// Apice, its date, its total, the export file and the moment of the export.
//
// Read tolerantly, as a spreadsheet may save it: columns found by their
// titles (others added anywhere are passed over), fields in double quotes,
// CR LF or LF, UTF-8 or Windows-1252 text, dates and amounts as a
// spreadsheet writes them. A line that cannot be read is passed over and
// counted; a last line without its line end that cannot be read is the
// remains of an append that did not end, and is passed over uncounted.
class ExportJournal
{
public:
    explicit ExportJournal(const QString &path) : m_path(path) {}

    // The journal beside Tolm.ini.
    static QString defaultPath();
    static const char *fileName() { return "TolmRegistro.csv"; }

    const QString &path() const { return m_path; }

    // Finds the records, invoices of one sezionale, in the journal: the same
    // sezionale (as a number: 01 is 1), year, number and Apice (blanks after
    // it do not count); where an invoice stands more than once, its last
    // line. A journal that is missing or cannot be opened holds nothing.
    // progress is called now and then on a long journal. It takes no lock:
    // a last line that another program is still appending is passed over as
    // an unfinished one.
    ExportHistory lookUp(const std::vector<InvoiceRecord> &records, int sezionale,
                         const std::function<void()> &progress = {}) const;

    // Appends a line for each record, exported at moment into exportFile
    // under the heading and sezionale, and flushes it to disk. Nothing when
    // there are no records. The remains of a line that an earlier append
    // left unfinished are cut away first. Another program appending to the
    // same journal, on this computer or another that shares the folder, is
    // waited for, SafeWriter::kLockWaitSeconds at most. A journal that cannot
    // be written, or that another program holds for longer, raises an error
    // that names it and the export file, which stays; a failure midway leaves
    // the journal ending with a whole line.
    void append(const std::vector<InvoiceRecord> &records, const QString &heading, const QString &sezionale,
                const QString &exportFile, const QDateTime &moment, const QLocale &locale = QLocale()) const;

private:
    QString m_path;
};
