#include "export/RowWriter.h"

#include "export/ExportText.h"
#include "platform/AnsiCodePage.h"
#include "records/ShortDate.h"
#include "settings/ExportSettings.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
// Copies of up to this many bytes move a fixed block; source and target
// keep that much room.
constexpr qsizetype kBlock = 32;
// Room for one amount: its digits and the fixed-size move of its separator.
constexpr qsizetype kAmountBound = 64;
static_assert(kAmountBound >= kAmountDigitsBound + kBlock);
// CODFISCALE to PROV at their longest, separators included, and room for
// the fixed-size moves past the last of them.
constexpr qsizetype kCustomerBound = 16 + 16 + 30 + 1 + 30 + 35 + 5 + 25 + 2 + 7 + 64;

// True when one of the first size bytes at p is ";", CR or LF. Looks at 16
// bytes at a time, so up to 15 bytes past size must be readable; what
// they hold does not count.
bool needsMending(const char *p, qsizetype size)
{
#if defined(__SSE2__)
    const __m128i semicolon = _mm_set1_epi8(';');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    for (qsizetype i = 0; i < size; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
        const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, semicolon), _mm_cmpeq_epi8(bytes, cr)),
                                          _mm_cmpeq_epi8(bytes, lf));
        unsigned mask = unsigned(_mm_movemask_epi8(hits));
        if (size - i < 16)
            mask &= (1u << (size - i)) - 1;
        if (mask != 0)
            return true;
    }
    return false;
#else
    for (qsizetype i = 0; i < size; ++i)
        if (p[i] == ';' || p[i] == '\r' || p[i] == '\n')
            return true;
    return false;
#endif
}

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

// A text field of the record followed by its separator: the whole field's
// room is moved (a fixed size), only its length counts.
template <int N>
char *putField(char *out, const FixedText<N> &text)
{
    std::memcpy(out, text.data(), size_t(N));
    const int size = text.size();
    if (needsMending(out, size))
        mendField(out, size);
    out += size;
    *out++ = ';';
    return out;
}

char *putInteger(char *out, qint64 value)
{
    if (value < 0) {
        *out++ = '-';
        return putDigits(out, quint64(-(value + 1)) + 1);
    }
    return putDigits(out, quint64(value));
}
} // namespace

RowWriter::Piece::Piece(const QByteArray &text) : bytes(text), size(text.size())
{
    bytes.reserve(size + kBlock);
}

namespace {
char *put(char *out, const QByteArray &bytes, qsizetype size)
{
    if (size <= kBlock)
        std::memcpy(out, bytes.constData(), size_t(kBlock));
    else
        std::memcpy(out, bytes.constData(), size_t(size));
    return out + size;
}
} // namespace

RowWriter::RowWriter(const ExportSettings &s, const QByteArray &sezionale, const QLocale &locale)
{
    m_head = Piece(field(s.attivita) + field(s.registro) + field(sezionale));
    m_feeVat = Piece(field(s.iva) + ';');
    m_feeNoVat = Piece("0;" + field(s.inapplicabilita));
    m_stampDuty = Piece("0;" + field(s.inapplicabilitaBollo));
    const QByteArray tail = QByteArrayLiteral(";;;"); // FUNZ, DESCR CLIFOR, NOTE
    m_feeCodes = Piece(field(s.settore) + field(s.contoDare) + field(s.contoAvere) + field(s.voceIva) + tail);
    m_stampCodes = Piece(field(s.settoreBollo) + field(s.contoDareBollo) + field(s.contoAvereBollo)
                         + field(s.voceIvaBollo) + tail);
    QByteArray decimalPoint = toAnsi(locale.decimalPoint());
    mendField(decimalPoint.data(), decimalPoint.size());
    m_decimalPoint = Piece(decimalPoint);
    m_date = Piece(QByteArray());

    const qsizetype rowBound = m_head.size + std::max({m_feeVat.size, m_feeNoVat.size, m_stampDuty.size})
                               + std::max(m_feeCodes.size, m_stampCodes.size)
                               + 2 * (kAmountBound + m_decimalPoint.size) + kCustomerBound + 128 + 4 * kBlock;
    m_invoiceBound = 2 * rowBound;
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
        m_date = Piece(QByteArray(text, 6));
    } else {
        m_date = Piece(toAnsi(datacorta(date)));
    }
    m_day = day;
    m_haveDay = true;
}

char *RowWriter::writeAmount(char *out, qint64 amount) const
{
    return putAmount(out, amount, [this](char *at) { return put(at, m_decimalPoint.bytes, m_decimalPoint.size); });
}

char *RowWriter::writeRow(char *out, const InvoiceRecord &record, bool stampDuty, const char *customer,
                          qsizetype customerSize) const
{
    const bool vat = !stampDuty && record.importoiva > 0;
    const Piece &accounting = stampDuty ? m_stampDuty : vat ? m_feeVat : m_feeNoVat;
    const Piece &codes = stampDuty ? m_stampCodes : m_feeCodes;
    out = put(out, m_head.bytes, m_head.size);                   // 1-3
    out = put(out, m_date.bytes, m_date.size);                   // 4 DATA OPER
    *out++ = ';';
    out = putInteger(out, record.numero);                        // 5 N.PROTO
    out = stampDuty ? putLiteral(out, ";;2;") : putLiteral(out, ";;1;"); // 6 PROG.P, 7 RIGA
    out = put(out, m_date.bytes, m_date.size);                   // 8 DATA DOC
    out = putLiteral(out, ";00000;;");                           // 9 N.DOC, 10 CLIFOR
    out = put(out, accounting.bytes, accounting.size);           // 11 ALIQ, 12 TIT.INAP
    out = writeAmount(out, stampDuty ? record.bollo : record.importo); // 13 IMPONIB
    *out++ = ';';
    if (vat)
        out = writeAmount(out, record.importoiva);               // 14 IVA
    *out++ = ';';
    out = put(out, codes.bytes, codes.size);                     // 15-21
    std::memcpy(out, customer, size_t(customerSize));            // 22-28
    out += customerSize;
    out = record.sogiva.isEmpty() ? putLiteral(out, "P;") : putLiteral(out, "N;"); // 29 TIPO CLIFOR
    return putLiteral(out, "N;;;;\r\n");                         // 30-33
}

char *RowWriter::writeInvoice(char *out, const InvoiceRecord &record)
{
    setDate(record.data);

    // CODFISCALE to PROV, the same in both rows.
    char customer[kCustomerBound];
    char *c = customer;
    c = putField(c, record.cf);
    c = putField(c, record.sogiva);
    char *const fullName = c;
    std::memcpy(c, record.Cognome.data(), 30);
    c += record.Cognome.size();
    *c++ = '=';
    std::memcpy(c, record.nome.data(), 30);
    c += record.nome.size();
    if (needsMending(fullName, c - fullName))
        mendField(fullName, c - fullName);
    *c++ = ';';
    c = putField(c, record.indirizzo);
    c = putField(c, record.cap);
    c = putField(c, record.citta);
    c = putField(c, record.provincia);
    const qsizetype customerSize = c - customer;

    out = writeRow(out, record, false, customer, customerSize);
    if (nearestWholeUnits(record.bollo) != 0)
        out = writeRow(out, record, true, customer, customerSize);
    return out;
}

void RowWriter::appendInvoices(QByteArray &content, const InvoiceRecord *records, size_t count)
{
    qsizetype used = content.size();
    for (size_t i = 0; i < count;) {
        // Room for a run of invoices at their longest, then the run.
        if (content.capacity() - used < m_invoiceBound) {
            const qsizetype run = qsizetype(std::min<size_t>(count - i, 64));
            content.reserve(std::max(content.capacity() + content.capacity() / 2, used + run * m_invoiceBound));
        }
        content.resize(content.capacity());
        char *const start = content.data();
        char *out = start + used;
        const char *const limit = start + content.size() - m_invoiceBound;
        for (; i < count && out <= limit; ++i)
            out = writeInvoice(out, records[i]);
        used = out - start;
        content.resize(used);
    }
}
