// The rows of the export file, the whole content and the export itself.
#include "export/ExportFile.h"

#include "platform/AnsiCodePage.h"

namespace {
const QByteArray kHeader = QByteArrayLiteral(
    "ATT;REG;SEZ;DATA OPER;N.PROTO;PROG.P;RIGA;DATA DOC;N.DOC;CLIFOR;ALIQ;TIT.INAP;IMPONIB;IVA;SETT.;DARE;AVERE;"
    "VOCE IVA;FUNZ;DESCR CLIFOR;NOTE;CODFISCALE;PARTITAIVA;NOMINATIVO;INDIRIZZO;CAP;COMUNE;PROV;TIPO CLIFOR;"
    "SOGG 770;ESCLUDI DA SPESOMETRO;NUM STATO EST;COD STATO;TEL;FAX;EMAIL");
const QByteArray kLineEnd = QByteArrayLiteral("\r\n");

// The settings' codes and the sezionale as the file holds them, converted
// once per export.
struct AnsiCodes
{
    explicit AnsiCodes(const ExportSettings &s, const QByteArray &sez)
        : attivita(toAnsi(s.attivita)), registro(toAnsi(s.registro)), iva(toAnsi(s.iva)),
          inapplicabilita(toAnsi(s.inapplicabilita)), voceIva(toAnsi(s.voceIva)), settore(toAnsi(s.settore)),
          contoDare(toAnsi(s.contoDare)), contoAvere(toAnsi(s.contoAvere)),
          inapplicabilitaBollo(toAnsi(s.inapplicabilitaBollo)), voceIvaBollo(toAnsi(s.voceIvaBollo)),
          settoreBollo(toAnsi(s.settoreBollo)), contoDareBollo(toAnsi(s.contoDareBollo)),
          contoAvereBollo(toAnsi(s.contoAvereBollo)), sezionale(sez)
    {
    }

    QByteArray attivita, registro, iva, inapplicabilita, voceIva, settore, contoDare, contoAvere;
    QByteArray inapplicabilitaBollo, voceIvaBollo, settoreBollo, contoDareBollo, contoAvereBollo;
    QByteArray sezionale;
};

// Columns 11 to 18: the only ones in which the two rows of an invoice differ.
struct AccountingColumns
{
    QByteArray riga, aliquota, titoloInapplicabilita, imponibile, iva, settore, dare, avere, voceIva;
};

QByteArray amountText(qint64 amount, const QLocale &locale)
{
    return toAnsi(testoImporto(amount, locale));
}

void appendRow(QByteArray &content, const InvoiceRecord &record, const AnsiCodes &codes,
               const AccountingColumns &row, const QByteArray &date)
{
    const QByteArray empty;
    aggiungicampo(content, codes.attivita);        // 1 ATT
    aggiungicampo(content, codes.registro);        // 2 REG
    aggiungicampo(content, codes.sezionale);       // 3 SEZ
    aggiungicampo(content, date);                  // 4 DATA OPER
    aggiungicampo(content, QByteArray::number(record.numero)); // 5 N.PROTO
    aggiungicampo(content, empty);                 // 6 PROG.P
    aggiungicampo(content, row.riga);              // 7 RIGA
    aggiungicampo(content, date);                  // 8 DATA DOC
    aggiungicampo(content, QByteArrayLiteral("00000")); // 9 N.DOC
    aggiungicampo(content, empty);                 // 10 CLIFOR
    aggiungicampo(content, row.aliquota);          // 11 ALIQ
    aggiungicampo(content, row.titoloInapplicabilita); // 12 TIT.INAP
    aggiungicampo(content, row.imponibile);        // 13 IMPONIB
    aggiungicampo(content, row.iva);               // 14 IVA
    aggiungicampo(content, row.settore);           // 15 SETT.
    aggiungicampo(content, row.dare);              // 16 DARE
    aggiungicampo(content, row.avere);             // 17 AVERE
    aggiungicampo(content, row.voceIva);           // 18 VOCE IVA
    aggiungicampo(content, empty);                 // 19 FUNZ
    aggiungicampo(content, empty);                 // 20 DESCR CLIFOR
    aggiungicampo(content, empty);                 // 21 NOTE
    aggiungicampo(content, record.cf.bytes());     // 22 CODFISCALE
    aggiungicampo(content, record.sogiva.bytes()); // 23 PARTITAIVA
    aggiungicampo(content, record.Cognome.bytes() + '=' + record.nome.bytes()); // 24 NOMINATIVO
    aggiungicampo(content, record.indirizzo.bytes()); // 25 INDIRIZZO
    aggiungicampo(content, record.cap.bytes());    // 26 CAP
    aggiungicampo(content, record.citta.bytes());  // 27 COMUNE
    aggiungicampo(content, record.provincia.bytes()); // 28 PROV
    aggiungicampo(content, record.sogiva.isEmpty() ? QByteArrayLiteral("P") : QByteArrayLiteral("N")); // 29
    aggiungicampo(content, QByteArrayLiteral("N")); // 30 SOGG 770
    aggiungicampo(content, empty);                 // 31 ESCLUDI DA SPESOMETRO
    aggiungicampo(content, empty);                 // 32 NUM STATO EST
    aggiungicampo(content, empty);                 // 33 COD STATO
    content.append(kLineEnd);
}

void appendInvoice(QByteArray &content, const InvoiceRecord &record, const AnsiCodes &codes, const QLocale &locale)
{
    const QByteArray date = toAnsi(datacorta(record.data));

    AccountingColumns fee;
    fee.riga = QByteArrayLiteral("1");
    if (record.importoiva > 0) {
        fee.aliquota = codes.iva;
        fee.iva = amountText(record.importoiva, locale);
    } else {
        fee.aliquota = QByteArrayLiteral("0");
        fee.titoloInapplicabilita = codes.inapplicabilita;
    }
    fee.imponibile = amountText(record.importo, locale);
    fee.settore = codes.settore;
    fee.dare = codes.contoDare;
    fee.avere = codes.contoAvere;
    fee.voceIva = codes.voceIva;
    appendRow(content, record, codes, fee, date);

    if (interoPiuVicino(record.bollo) == 0)
        return;
    AccountingColumns stampDuty;
    stampDuty.riga = QByteArrayLiteral("2");
    stampDuty.aliquota = QByteArrayLiteral("0");
    stampDuty.titoloInapplicabilita = codes.inapplicabilitaBollo;
    stampDuty.imponibile = amountText(record.bollo, locale);
    stampDuty.settore = codes.settoreBollo;
    stampDuty.dare = codes.contoDareBollo;
    stampDuty.avere = codes.contoAvereBollo;
    stampDuty.voceIva = codes.voceIvaBollo;
    appendRow(content, record, codes, stampDuty, date);
}
} // namespace

void rigafattura(QByteArray &content, const InvoiceRecord &record, const ExportSettings &settings,
                 const QByteArray &sezionale, const QLocale &locale)
{
    appendInvoice(content, record, AnsiCodes(settings, sezionale), locale);
}

QByteArray contenutoEsportazione(const InvoiceTable &table, const ExportSettings &settings,
                                 const QString &sezionale, const QLocale &locale)
{
    const AnsiCodes codes(settings, toAnsi(sezionale));
    QByteArray content;
    // About 150 bytes a row; the stamp-duty rows are the exception.
    content.reserve(kHeader.size() + 2 + table.size() * 160);
    content.append(kHeader).append(kLineEnd);
    for (const InvoiceRecord &record : table.records())
        appendInvoice(content, record, codes, locale);
    return content;
}

QString nomeFileEsportazione(const ExportSettings &settings, const QString &sezionale)
{
    return settings.cartellaEsportazione + QStringLiteral("EsportazioneVelmora - Sezionale") + sezionale
           + (settings.estensioneTXT ? QStringLiteral(".txt") : QStringLiteral(".csv"));
}

QString esportafile(const InvoiceTable &table, const ExportSettings &settings, const QString &sezionale,
                    const QLocale &locale)
{
    creaCartella(settings.cartellaEsportazione);
    const QByteArray content = contenutoEsportazione(table, settings, sezionale, locale);
    const QString path = nomeFileEsportazione(settings, sezionale);
    scriviFile(path, content);
    return path;
}
