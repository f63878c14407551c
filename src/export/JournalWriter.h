#pragma once

// The lines added to the end of the export journal after an export, written
// fast enough to follow an export of a million invoices, and the repair of
// an end that an earlier append left torn.

#include "platform/SafeWriter.h"
#include "records/InvoiceRecord.h"

#include <QByteArray>
#include <QLocale>
#include <QString>

#include <optional>
#include <vector>

// Appends a line for each record to the journal at path and flushes it to
// disk. head holds the first fields that every line shares (heading and
// sezionale, each with its ";"), tail the last ones (";", the export file,
// ";", the moment and the line end). A journal that is missing, empty or
// holds nothing whole begins with the byte-order mark and the titles; the
// remains of a line that an earlier append left unfinished are cut away
// first, and a last line typed without its line end gets one. The fields
// stand where the journal's titles put them. All of it happens under the
// journal's lock (SafeWriter::append), so that another program appending at
// the same time neither writes over these lines nor has its own line, still
// being written, taken for remains and cut away. A failure midway leaves the
// journal ending with a whole line.
std::optional<SafeWriteFailure> appendJournalLines(const QString &path, const std::vector<InvoiceRecord> &records,
                                                   const QByteArray &head, const QByteArray &tail,
                                                   const QLocale &locale);
