// The rows of the export file, the whole content and the export itself.
#include "export/ExportFile.h"

#include "export/ExportFolder.h"
#include "export/ExportWriter.h"
#include "export/RowWriter.h"
#include "platform/AnsiCodePage.h"

#include <algorithm>

const QByteArray &exportHeader()
{
    static const QByteArray header = QByteArrayLiteral(
        "ATT;REG;SEZ;DATA OPER;N.PROTO;PROG.P;RIGA;DATA DOC;N.DOC;CLIFOR;ALIQ;TIT.INAP;IMPONIB;IVA;SETT.;DARE;AVERE;"
        "VOCE IVA;FUNZ;DESCR CLIFOR;NOTE;CODFISCALE;PARTITAIVA;NOMINATIVO;INDIRIZZO;CAP;COMUNE;PROV;TIPO CLIFOR;"
        "SOGG 770;ESCLUDI DA SPESOMETRO;NUM STATO EST;COD STATO;TEL;FAX;EMAIL");
    return header;
}

namespace {
const QByteArray kLineEnd = QByteArrayLiteral("\r\n");
// Invoices written at a time: about a megabyte of text.
constexpr size_t kInvoicesPerPiece = 4096;

// The whole content, header first, in pieces of about a megabyte: the
// export writes them to the file as they come, so the file's text is never
// held whole in memory.
void produceContent(const InvoiceTable &table, const ExportSettings &settings, const QString &sezionale,
                    const QLocale &locale, const ExportSink &sink)
{
    RowWriter writer(settings, toAnsi(sezionale), locale);
    QByteArray piece;
    piece.append(exportHeader()).append(kLineEnd);
    const std::vector<InvoiceRecord> &records = table.records();
    for (size_t first = 0; first < records.size(); first += kInvoicesPerPiece) {
        const size_t count = std::min(kInvoicesPerPiece, records.size() - first);
        writer.appendInvoices(piece, records.data() + first, count);
        sink(piece.constData(), piece.size());
        piece.resize(0); // keeps the room for the next piece
    }
    if (records.empty())
        sink(piece.constData(), piece.size());
}
} // namespace

void rigafattura(QByteArray &content, const InvoiceRecord &record, const ExportSettings &settings,
                 const QByteArray &sezionale, const QLocale &locale)
{
    RowWriter(settings, sezionale, locale).appendInvoices(content, &record, 1);
}

QByteArray exportContent(const InvoiceTable &table, const ExportSettings &settings, const QString &sezionale,
                         const QLocale &locale)
{
    QByteArray content;
    produceContent(table, settings, sezionale, locale,
                     [&](const char *data, qsizetype size) { content.append(data, size); });
    return content;
}

QString exportFilePath(const ExportSettings &settings, const QString &sezionale)
{
    return settings.cartellaEsportazione + QStringLiteral("EsportazioneVelmora - Sezionale") + sezionale
           + (settings.estensioneTXT ? QStringLiteral(".txt") : QStringLiteral(".csv"));
}

QString esportafile(const InvoiceTable &table, const ExportSettings &settings, const QString &sezionale,
                    const QLocale &locale)
{
    createFolder(settings.cartellaEsportazione);
    const QString path = exportFilePath(settings, sezionale);
    saveFile(path, [&](const ExportSink &sink) { produceContent(table, settings, sezionale, locale, sink); });
    return path;
}
