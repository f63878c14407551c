#pragma once

#include "records/InvoiceRecord.h"

#include <QByteArray>
#include <QLocale>

#include <vector>

struct ExportSettings;

// Writes the rows of the export file straight into the content's bytes.
// What is the same in every row (the settings' codes, the sezionale, the
// fixed fields) is turned into Windows-1252 text and mended once; per
// invoice only its own values are formatted, and its customer fields only
// once for both of its rows. The bytes are those that aggiungicampo gives
// field by field.
class RowWriter
{
public:
    RowWriter(const ExportSettings &settings, const QByteArray &sezionale, const QLocale &locale);

    // Appends, for each record, the fee row and, where there is stamp duty,
    // the stamp-duty row.
    void appendInvoices(QByteArray &content, const InvoiceRecord *records, size_t count);

private:
    // Text copied with a fixed-size move: the bytes, then room that may be
    // read past them.
    struct Piece
    {
        explicit Piece(const QByteArray &text = {});
        QByteArray bytes;
        qsizetype size = 0;
    };

    char *writeInvoice(char *out, const InvoiceRecord &record);
    char *writeRow(char *out, const InvoiceRecord &record, bool stampDuty, const char *customer,
                   qsizetype customerSize) const;
    char *writeAmount(char *out, qint64 amount) const;
    void setDate(const QDate &date);

    Piece m_head;        // ATT;REG;SEZ;
    Piece m_feeVat;      // ALIQ;TIT.INAP; of a fee row with VAT
    Piece m_feeNoVat;    // the same without VAT
    Piece m_stampDuty;   // the same of a stamp-duty row
    Piece m_feeCodes;    // SETT.;DARE;AVERE;VOCE IVA;FUNZ;DESCR CLIFOR;NOTE;
    Piece m_stampCodes;  // the same of a stamp-duty row
    Piece m_decimalPoint;
    qsizetype m_invoiceBound = 0; // bytes one invoice may take, slack included

    qint64 m_day = 0;
    bool m_haveDay = false;
    Piece m_date; // DATA OPER and DATA DOC of the current day
};
