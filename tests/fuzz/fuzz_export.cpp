// Fuzz target for the export file: invoices and settings made from the
// input are written under Italian and C number settings.
//
// Input, read in order (missing bytes count as zero, a text as empty):
//   14 texts: the thirteen accounting codes of ExportSettings in declaration
//             order, then the sezionale (UTF-8)
//   then up to 64 invoices, at least one: date (4 bytes, Julian day),
//             numero (4), importo, importoiva, bollo (8 each, any value),
//             then Cognome, nome, cf, P.Iva, indirizzo, cap, citta,
//             provincia (Windows-1252 texts, cut to their field sizes)
// A text is one length byte and that many bytes; numbers are little endian.
//
// Checked: the first line is the header; every line ends with CR LF and holds no
// other CR or LF; every data row holds 33 fields, each followed by ";"; each
// invoice gives its fee row and, exactly when the stamp duty rounded half to
// even is not zero (more than 0.50 either way), its stamp-duty row, with the
// columns in their places; rigafattura gives the same rows; every amount
// text is plain decimal (sign, digits, the locale's separator, at most four
// decimals without trailing zeros, never an exponent), has at most 15
// significant digits, gives the amount back exactly when the amount has no
// more than 15 significant digits and is otherwise within half a unit of
// its 15th digit; the grid's cell texts never crash.
#include "export/ExportFile.h"
#include "export/ExportText.h"
#include "models/InvoiceModel.h"
#include "platform/AnsiCodePage.h"
#include "records/InvoiceTable.h"
#include "records/DateText.h"

#include <QByteArrayView>
#include <QList>
#include <QLocale>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kMaxInvoices = 64;
constexpr int kMaxSignificantDigits = 15;
const QByteArray kLineEnd = QByteArrayLiteral("\r\n");
constexpr int kFields = 33;

[[noreturn]] void fail(const char *what, const QByteArray &detail)
{
    std::fprintf(stderr, "fuzz_export: %s\n%s\n", what, detail.constData());
    std::abort();
}

void check(bool ok, const char *what, const QByteArray &detail = QByteArray())
{
    if (!ok)
        fail(what, detail);
}

class Reader
{
public:
    explicit Reader(QByteArrayView bytes) : m_rest(bytes) {}

    bool atEnd() const { return m_rest.isEmpty(); }

    QByteArrayView bytes(qsizetype count)
    {
        const QByteArrayView taken = m_rest.first(std::min(count, m_rest.size()));
        m_rest = m_rest.sliced(taken.size());
        return taken;
    }
    QByteArray text()
    {
        const QByteArrayView length = bytes(1);
        return length.isEmpty() ? QByteArray() : bytes(static_cast<unsigned char>(length.front())).toByteArray();
    }
    template <typename T>
    T number()
    {
        T value = 0;
        const QByteArrayView raw = bytes(sizeof value);
        if (!raw.isEmpty())
            std::memcpy(&value, raw.data(), size_t(raw.size()));
        return value;
    }

private:
    QByteArrayView m_rest;
};

ExportSettings readSettings(Reader &in)
{
    ExportSettings s;
    for (QString *code : {&s.attivita, &s.registro, &s.iva, &s.inapplicabilita, &s.voceIva, &s.settore,
                          &s.contoDare, &s.contoAvere, &s.inapplicabilitaBollo, &s.voceIvaBollo, &s.settoreBollo,
                          &s.contoDareBollo, &s.contoAvereBollo})
        *code = QString::fromUtf8(in.text());
    return s;
}

InvoiceRecord readInvoice(Reader &in)
{
    InvoiceRecord r;
    r.data = QDate::fromJulianDay(in.number<qint32>());
    r.numero = in.number<qint32>();
    r.importo = in.number<qint64>();
    r.importoiva = in.number<qint64>();
    r.bollo = in.number<qint64>();
    r.Cognome.set(in.text());
    r.nome.set(in.text());
    r.cf.set(in.text());
    r.sogiva.set(in.text());
    r.indirizzo.set(in.text());
    r.cap.set(in.text());
    r.citta.set(in.text());
    r.provincia.set(in.text());
    return r;
}

int digitCount(unsigned __int128 value)
{
    int digits = 1;
    for (; value >= 10; value /= 10)
        ++digits;
    return digits;
}

int trailingZeros(unsigned __int128 value)
{
    int zeros = 0;
    for (; value != 0 && value % 10 == 0; value /= 10)
        ++zeros;
    return zeros;
}

unsigned __int128 powerOfTen(int exponent)
{
    unsigned __int128 result = 1;
    while (exponent-- > 0)
        result *= 10;
    return result;
}

bool allDigits(QStringView text)
{
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return !text.isEmpty();
}

QByteArray describe(const QString &text, qint64 amount)
{
    return '"' + text.toUtf8() + "\" for " + QByteArray::number(amount);
}

// An amount text in ten-thousandths, checked for its form.
__int128 parseAmount(const QString &text, qint64 amount, const QLocale &locale)
{
    const QByteArray what = describe(text, amount);
    check(!text.contains(u'e', Qt::CaseInsensitive), "amount with an exponent", what);
    const QString separator = locale.decimalPoint();
    const bool negative = text.startsWith(u'-');
    const QStringView body = QStringView(text).mid(negative ? 1 : 0);
    const qsizetype point = body.indexOf(separator);
    const QStringView whole = point < 0 ? body : body.first(point);
    const QStringView fraction = point < 0 ? QStringView() : body.mid(point + separator.size());

    check(allDigits(whole), "amount's whole part is not digits", what);
    check(whole.size() == 1 || whole.front() != u'0', "amount with a leading zero", what);
    if (point >= 0) {
        check(allDigits(fraction) && fraction.size() <= 4, "amount's decimals are not up to four digits", what);
        check(fraction.back() != u'0', "amount with a trailing zero after the separator", what);
    }

    unsigned __int128 magnitude = 0;
    for (QChar c : whole)
        magnitude = magnitude * 10 + (c.unicode() - u'0');
    unsigned __int128 decimals = 0;
    for (QChar c : fraction)
        decimals = decimals * 10 + (c.unicode() - u'0');
    magnitude = magnitude * 10000 + decimals * powerOfTen(4 - int(fraction.size()));
    check(!negative || magnitude != 0, "minus zero", what);
    check(digitCount(magnitude) - trailingZeros(magnitude) <= kMaxSignificantDigits || magnitude == 0,
          "amount with more than 15 significant digits", what);
    return negative ? -__int128(magnitude) : __int128(magnitude);
}

void checkAmount(qint64 amount)
{
    const QLocale italian(QLocale::Italian, QLocale::Italy);
    const QString text = formatAmount(amount, italian);
    const __int128 value = parseAmount(text, amount, italian);
    const QByteArray what = describe(text, amount);

    const unsigned __int128 magnitude = amount < 0 ? -__int128(amount) : __int128(amount);
    const int digits = digitCount(magnitude);
    if (digits - trailingZeros(magnitude) <= kMaxSignificantDigits || magnitude == 0) {
        check(value == amount, "amount does not read back", what);
    } else {
        const __int128 error = value > amount ? value - amount : amount - value;
        check(error * 2 <= __int128(powerOfTen(digits - kMaxSignificantDigits)), "amount rounded too far", what);
    }

    QString plain = formatAmount(amount, QLocale::c());
    parseAmount(plain, amount, QLocale::c());
    check(plain.replace(u'.', u',') == text, "the locales give other digits", what);
}

QByteArray field(const QByteArray &value)
{
    QByteArray result = value;
    result.replace(';', ',').replace('\r', ' ').replace('\n', ' ');
    return result;
}

// The fields of a row as the column table lays them out.
QList<QByteArray> expectedRow(const InvoiceRecord &r, const ExportSettings &s, const QString &sezionale,
                              const QLocale &locale, bool stampDuty)
{
    const QByteArray date = toAnsi(datacorta(r.data));
    const bool vat = r.importoiva > 0;
    const auto amount = [&](qint64 value) { return toAnsi(formatAmount(value, locale)); };
    QList<QByteArray> row{
        toAnsi(s.attivita), toAnsi(s.registro), toAnsi(sezionale), date, QByteArray::number(r.numero), {},
        stampDuty ? "2" : "1", date, "00000", {},
        stampDuty ? "0" : vat ? toAnsi(s.iva) : "0",
        stampDuty ? toAnsi(s.inapplicabilitaBollo) : vat ? QByteArray() : toAnsi(s.inapplicabilita),
        stampDuty ? amount(r.bollo) : amount(r.importo),
        !stampDuty && vat ? amount(r.importoiva) : QByteArray(),
        toAnsi(stampDuty ? s.settoreBollo : s.settore),
        toAnsi(stampDuty ? s.contoDareBollo : s.contoDare),
        toAnsi(stampDuty ? s.contoAvereBollo : s.contoAvere),
        toAnsi(stampDuty ? s.voceIvaBollo : s.voceIva),
        {}, {}, {},
        r.cf.bytes(), r.sogiva.bytes(), r.Cognome.bytes() + '=' + r.nome.bytes(), r.indirizzo.bytes(),
        r.cap.bytes(), r.citta.bytes(), r.provincia.bytes(),
        r.sogiva.isEmpty() ? "P" : "N", "N", {}, {}, {}};
    for (QByteArray &value : row)
        value = field(value);
    return row;
}

void checkRow(const QByteArray &line, const QList<QByteArray> &expected)
{
    check(line.count(';') == kFields && line.endsWith(';'), "row without 33 fields", line);
    QList<QByteArray> fields = line.split(';');
    fields.removeLast();
    check(fields == expected, "row differs from the column table", line);
    check(fields[3].size() == 6 && allDigits(QString::fromLatin1(fields[3])), "date is not six digits", line);
}

void checkContent(const InvoiceTable &table, const ExportSettings &settings, const QString &sezionale,
                  const QLocale &locale)
{
    const QByteArray content = exportContent(table, settings, sezionale, locale);
    check(content.endsWith(kLineEnd), "content does not end with CR LF", content.right(80));
    QList<QByteArray> lines = content.split('\n');
    lines.removeLast();
    for (QByteArray &line : lines) {
        check(line.endsWith('\r'), "line feed without carriage return", line);
        line.chop(1);
        check(!line.contains('\r'), "carriage return inside a line", line);
    }
    check(!lines.isEmpty() && lines.front() == exportHeader(), "header differs", lines.value(0));

    qsizetype next = 1;
    const QByteArray sez = toAnsi(sezionale);
    for (const InvoiceRecord &record : table.records()) {
        const bool stampDuty = record.bollo > 5000 || record.bollo < -5000;
        check(stampDuty == (nearestWholeUnits(record.bollo) != 0), "stamp-duty rounding", QByteArray::number(record.bollo));
        const qsizetype rows = stampDuty ? 2 : 1;
        check(next + rows <= lines.size(), "rows missing", QByteArray::number(lines.size()));

        QByteArray own;
        rigafattura(own, record, settings, sez, locale);
        QByteArray slice;
        for (qsizetype i = 0; i < rows; ++i) {
            checkRow(lines[next + i], expectedRow(record, settings, sezionale, locale, i == 1));
            slice += lines[next + i] + kLineEnd;
        }
        check(own == slice, "rigafattura differs from the content", own);
        next += rows;
    }
    check(next == lines.size(), "rows left over", QByteArray::number(lines.size() - next));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, size_t size)
{
    Reader in(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    const ExportSettings settings = readSettings(in);
    const QString sezionale = QString::fromUtf8(in.text());

    InvoiceTable table;
    table.beginFill();
    do {
        const InvoiceRecord record = readInvoice(in);
        for (qint64 amount : {record.importo, record.importoiva, record.bollo})
            checkAmount(amount);
        table.append(record);
    } while (!in.atEnd() && table.size() < kMaxInvoices);
    table.endFill();

    InvoiceModel model(table);
    for (const QLocale &locale : {QLocale(QLocale::Italian, QLocale::Italy), QLocale::c()}) {
        checkContent(table, settings, sezionale, locale);
        model.setDisplayLocale(locale);
        for (qsizetype row = 0; row < table.size(); ++row) {
            const InvoiceRecord &r = table.at(row);
            // The total of amounts near the ends of the range overflows:
            // not a case the grid meets, and not the export's affair.
            qint64 sum = 0;
            const bool totalFits = !__builtin_add_overflow(r.importo, r.bollo, &sum)
                                   && !__builtin_add_overflow(sum, r.importoiva, &sum)
                                   && !__builtin_add_overflow(sum, r.importora, &sum);
            for (int column = 0; column < InvoiceTable::ColumnCount; ++column)
                if (column != InvoiceTable::ColTotale || totalFits)
                    model.displayText(row, column);
        }
    }
    return 0;
}
