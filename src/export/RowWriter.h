#pragma once

#include "records/InvoiceRecord.h"

#include <QByteArray>
#include <QLocale>

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
    // CODFISCALE to PROV, the same in both rows of an invoice; returns its size.
    static qsizetype writeCustomer(char *customer, const InvoiceRecord &record);
    char *writeRow(char *out, const InvoiceRecord &record, bool stampDuty, const char *customer,
                   qsizetype customerSize) const;
    char *writeAmount(char *out, qint64 amount) const;
    void setDate(const QDate &date);

    QByteArray m_head;       // ATT;REG;SEZ;
    QByteArray m_feeVat;     // ALIQ;TIT.INAP; of a fee row with VAT
    QByteArray m_feeNoVat;   // the same without VAT
    QByteArray m_stampDuty;  // the same of a stamp-duty row
    QByteArray m_feeCodes;   // SETT.;DARE;AVERE;VOCE IVA;FUNZ;DESCR CLIFOR;NOTE;
    QByteArray m_stampCodes; // the same of a stamp-duty row
    QByteArray m_decimalPoint;
    // The most bytes of a row but for its two dates and its customer fields.
    qsizetype m_rowBound = 0;

    qint64 m_day = 0;
    bool m_haveDay = false;
    QByteArray m_date; // DATA OPER and DATA DOC of the current day
};
