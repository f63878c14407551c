#pragma once

#include "platform/SafeWriter.h"
#include "records/InvoiceTable.h"
#include "records/ShortDate.h"
#include "settings/ExportSettings.h"

#include <QByteArray>
#include <QDate>
#include <QLocale>
#include <QString>

#include <functional>

// An amount in ten-thousandths in its shortest decimal form with the
// locale's decimal separator: 100, 12,5, -30,25, 0,0001.
QString formatAmount(qint64 amount, const QLocale &locale);

// An amount in ten-thousandths rounded to whole units, a half going to the
// even neighbour: 0,5 gives 0, 1,5 and 2,5 give 2. A stamp-duty row is
// written when this is not zero.
qint64 nearestWholeUnits(qint64 amount);

// Appends one value and its ";" to a line being built. A ";" in the value is
// written as "," and a CR or LF as a blank, so no value can shift the
// columns or break the line.
void aggiungicampo(QByteArray &line, const QByteArray &value);

// Appends the fee row and, where there is stamp duty, the stamp-duty row of
// one invoice to content, each line ending with CR LF.
void rigafattura(QByteArray &content, const InvoiceRecord &record, const ExportSettings &settings,
                 const QByteArray &sezionale, const QLocale &locale);

// The first line of the file, the column titles, without its CR LF.
const QByteArray &exportHeader();

// The whole file: header and rows, Windows-1252 bytes.
QByteArray exportContent(const InvoiceTable &table, const ExportSettings &settings, const QString &sezionale,
                         const QLocale &locale);

// Full path of the export file for a sezionale.
QString exportFilePath(const ExportSettings &settings, const QString &sezionale);

// Makes the folder exist, creating every missing level. Raises
// "Unable to create directory" (followed by a blank and the path when there
// is one) when it cannot.
void createFolder(const QString &folder);

// Writes content to path through a temporary file in the same folder,
// renamed over an existing file. Raises "Cannot create file "path". reason"
// or "Stream write error: reason"; a failure leaves an earlier file whole.
void saveFile(const QString &path, const QByteArray &content);

// Takes the content of a file piece after piece.
using ExportSink = SafeWriter::Sink;
// The same, with the content handed piece by piece to the sink that
// produce receives: a large content need not be held whole in memory. The
// file appears only once produce has returned and everything is on disk.
void saveFile(const QString &path, const std::function<void(const ExportSink &)> &produce);

// The export: folder, content, file. Returns the path written.
QString esportafile(const InvoiceTable &table, const ExportSettings &settings, const QString &sezionale,
                    const QLocale &locale = QLocale());
