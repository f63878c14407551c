#pragma once

#include "records/InvoiceTable.h"
#include "settings/ExportSettings.h"

#include <QByteArray>
#include <QLocale>
#include <QString>

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

// The export: folder, content, file. Returns the path written.
QString esportafile(const InvoiceTable &table, const ExportSettings &settings, const QString &sezionale,
                    const QLocale &locale = QLocale());
