// The rows of the export file, written into the content's room without a
// QByteArray per field.
#include "export/RowWriter.h"

#include "export/ExportText.h"
#include "platform/AnsiCodePage.h"
#include "records/DateText.h"
#include "settings/ExportSettings.h"

#include <algorithm>
#include <cstring>

namespace {
// CODFISCALE to PROV at their longest: seven fields, the "=" between last
// and first name, and a ";" after each.
constexpr qsizetype kCustomerBound =
    decltype(InvoiceRecord::cf)::capacity + decltype(InvoiceRecord::sogiva)::capacity
    + decltype(InvoiceRecord::Cognome)::capacity + 1 + decltype(InvoiceRecord::nome)::capacity
    + decltype(InvoiceRecord::indirizzo)::capacity + decltype(InvoiceRecord::cap)::capacity
    + decltype(InvoiceRecord::citta)::capacity + decltype(InvoiceRecord::provincia)::capacity + 7;

QByteArray field(const QByteArray &value)
{
    QByteArray out;
    aggiungicampo(out, value);
    return out;
}

QByteArray field(const QString &value)
{
    return field(toAnsi(value));
}

template <size_t N>
char *putLiteral(char *out, const char (&text)[N])
{
    std::memcpy(out, text, N - 1);
    return out + N - 1;
}

char *put(char *out, const char *text, qsizetype size)
{
    std::memcpy(out, text, size_t(size));
    return out + size;
}

char *put(char *out, const QByteArray &bytes)
{
    return put(out, bytes.constData(), bytes.size());
}

// A text field of the record, mended, followed by its separator.
template <int N>
char *putField(char *out, const FixedText<N> &text)
{
    char *const start = out;
    out = put(out, text.data(), text.size());
    mendField(start, text.size());
    *out++ = ';';
    return out;
}

// The fixed bytes of a row: the ";" after DATA OPER, PROG.P and RIGA, N.DOC
// and CLIFOR, the ";" after IMPONIB and after IVA, TIPO CLIFOR, and the
// columns that end the row.
constexpr qsizetype kRowLiterals = 1 + 4 + 8 + 1 + 1 + 2 + 7;
} // namespace

RowWriter::RowWriter(const ExportSettings &s, const QByteArray &sezionale, const QLocale &locale)
    : m_head(field(s.attivita) + field(s.registro) + field(sezionale)),
      m_feeVat(field(s.iva) + ';'),
      m_feeNoVat("0;" + field(s.inapplicabilita)),
      m_stampDuty("0;" + field(s.inapplicabilitaBollo)),
      m_decimalPoint(toAnsi(locale.decimalPoint()))
{
    const QByteArray tail = QByteArrayLiteral(";;;"); // FUNZ, DESCR CLIFOR, NOTE
    m_feeCodes = field(s.settore) + field(s.contoDare) + field(s.contoAvere) + field(s.voceIva) + tail;
    m_stampCodes = field(s.settoreBollo) + field(s.contoDareBollo) + field(s.contoAvereBollo)
                   + field(s.voceIvaBollo) + tail;
    mendField(m_decimalPoint.data(), m_decimalPoint.size());
    m_rowBound = m_head.size() + std::max({m_feeVat.size(), m_feeNoVat.size(), m_stampDuty.size()})
                 + std::max(m_feeCodes.size(), m_stampCodes.size()) + kIntegerBound
                 + 2 * (kAmountDigitsBound + m_decimalPoint.size()) + kRowLiterals;
}

void RowWriter::setDate(const QDate &date)
{
    // Invoices come in date order: the text of one day serves many rows.
    const qint64 day = date.toJulianDay();
    if (m_haveDay && day == m_day)
        return;
    int year = 0, month = 0, dayOfMonth = 0;
    date.getDate(&year, &month, &dayOfMonth);
    if (date.isValid() && year >= 1000 && year <= 9999) {
        const char text[6] = {char('0' + dayOfMonth / 10), char('0' + dayOfMonth % 10), char('0' + month / 10),
                              char('0' + month % 10),      char('0' + year / 10 % 10),  char('0' + year % 10)};
        m_date = QByteArray(text, 6);
    } else {
        m_date = toAnsi(datacorta(date));
    }
    m_day = day;
    m_haveDay = true;
}

char *RowWriter::writeAmount(char *out, qint64 amount) const
{
    return putAmount(out, amount, m_decimalPoint);
}

char *RowWriter::writeRow(char *out, const InvoiceRecord &record, bool stampDuty, const char *customer,
                          qsizetype customerSize) const
{
    const bool vat = !stampDuty && record.importoiva > 0;
    const QByteArray &accounting = stampDuty ? m_stampDuty : vat ? m_feeVat : m_feeNoVat;
    const QByteArray &codes = stampDuty ? m_stampCodes : m_feeCodes;
    out = put(out, m_head);                                      // 1-3
    out = put(out, m_date);                                      // 4 DATA OPER
    *out++ = ';';
    out = putInteger(out, record.numero);                        // 5 N.PROTO
    out = stampDuty ? putLiteral(out, ";;2;") : putLiteral(out, ";;1;"); // 6 PROG.P, 7 RIGA
    out = put(out, m_date);                                      // 8 DATA DOC
    out = putLiteral(out, ";00000;;");                           // 9 N.DOC, 10 CLIFOR
    out = put(out, accounting);                                  // 11 ALIQ, 12 TIT.INAP
    out = writeAmount(out, stampDuty ? record.bollo : record.importo); // 13 IMPONIB
    *out++ = ';';
    if (vat)
        out = writeAmount(out, record.importoiva);               // 14 IVA
    *out++ = ';';
    out = put(out, codes);                                       // 15-21
    out = put(out, customer, customerSize);                      // 22-28
    out = record.sogiva.isEmpty() ? putLiteral(out, "P;") : putLiteral(out, "N;"); // 29 TIPO CLIFOR
    return putLiteral(out, "N;;;;\r\n");                         // 30-33
}

qsizetype RowWriter::writeCustomer(char *customer, const InvoiceRecord &record)
{
    char *c = customer;
    c = putField(c, record.cf);
    c = putField(c, record.sogiva);
    char *const fullName = c;
    c = put(c, record.Cognome.data(), record.Cognome.size());
    *c++ = '=';
    c = put(c, record.nome.data(), record.nome.size());
    mendField(fullName, c - fullName);
    *c++ = ';';
    c = putField(c, record.indirizzo);
    c = putField(c, record.cap);
    c = putField(c, record.citta);
    c = putField(c, record.provincia);
    return c - customer;
}

void RowWriter::appendInvoices(QByteArray &content, const InvoiceRecord *records, size_t count)
{
    // The content's whole room is written into; what the rows do not take
    // is cut off at the end.
    qsizetype used = content.size();
    content.resize(content.capacity());
    char *start = content.data();
    char *end = start + content.size();
    char *out = start + used;
    for (size_t i = 0; i < count; ++i) {
        const InvoiceRecord &record = records[i];
        setDate(record.data);
        char customer[kCustomerBound];
        const qsizetype customerSize = writeCustomer(customer, record);

        const qsizetype bound = 2 * (m_rowBound + 2 * m_date.size() + customerSize);
        if (end - out < bound) {
            used = out - start;
            content.resize(used);
            content.reserve(std::max(used + bound, content.capacity() + content.capacity() / 2));
            content.resize(content.capacity());
            start = content.data();
            end = start + content.size();
            out = start + used;
        }
        out = writeRow(out, record, false, customer, customerSize);
        if (nearestWholeUnits(record.bollo) != 0)
            out = writeRow(out, record, true, customer, customerSize);
    }
    content.resize(out - start);
}
