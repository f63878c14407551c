// The export journal: its lines written fast enough to follow an export of a
// million invoices, and read back as a spreadsheet may have saved them.
#include "export/ExportJournal.h"

#include "export/ExportText.h"
#include "platform/AnsiCodePage.h"
#include "platform/ProgramFolder.h"
#include "platform/SafeWriter.h"
#include "platform/TolmError.h"
#include "records/DateText.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <limits>

namespace {

enum Column { ColHeading, ColSezionale, ColYear, ColNumero, ColApice, ColDate, ColTotal, ColFile, ColMoment, kColumns };

const std::array<const char *, kColumns> kTitles = {"Intestazione", "Sezionale", "Anno",  "Numero",      "Apice",
                                                    "Data",         "Totale",    "File", "Esportata il"};
// The columns a line must have to be read.
constexpr std::array<Column, 7> kNeeded = {ColSezionale, ColYear, ColNumero, ColApice, ColTotal, ColFile, ColMoment};

const QByteArray kBom = QByteArrayLiteral("\xEF\xBB\xBF");
const QByteArray kLineEnd = QByteArrayLiteral("\r\n");
// Records written, and lines read, between two pieces or progress calls.
constexpr size_t kRecordsPerPiece = 4096;
constexpr qint64 kLinesPerProgress = 65536;
// The most columns of a line that are looked at.
constexpr int kMaxColumns = 256;
// How much of the journal's end is looked at for an unfinished line.
constexpr qint64 kTailBytes = 65536;

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

bool isAscii(QByteArrayView text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// Text of a field: UTF-8 where it is valid UTF-8, else the ANSI code page
// (a journal saved by a spreadsheet as Windows text).
QString textOf(QByteArrayView bytes)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    return fromAnsi(bytes.data(), bytes.size());
}

// A field as the journal writes it: UTF-8; between double quotes, the
// quotes in it doubled, where it holds a separator or a quote; a line break
// becomes a blank.
QByteArray fieldOf(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    bytes.replace('\r', ' ').replace('\n', ' ');
    if (bytes.contains(';') || bytes.contains('"'))
        bytes = '"' + bytes.replace("\"", "\"\"") + '"';
    return bytes;
}

// ---- Reading ----------------------------------------------------------------

// Digits as a whole number, a sign allowed in front; blanks around it.
bool parseInteger(QByteArrayView text, qint64 min, qint64 max, qint64 &value)
{
    text = trimmed(text);
    bool negative = false;
    if (!text.isEmpty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text = text.sliced(1);
    }
    if (text.isEmpty() || text.size() > 18)
        return false;
    qint64 magnitude = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        magnitude = magnitude * 10 + (c - '0');
    }
    value = negative ? -magnitude : magnitude;
    return value >= min && value <= max;
}

// An amount as the journal writes it (100, 12,5, -30,25) or as a spreadsheet
// may show it: a full stop or a comma as decimal separator, the other (or
// the same, repeated) grouping the thousands, a euro sign and blanks around.
// At most four decimals.
bool parseAmount(QByteArrayView text, qint64 &value)
{
    char kept[40];
    int count = 0;
    bool negative = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (isBlank(char(c)) || c == '+' || c == 0xA0 || c == 0x80) // blanks, 1252's no-break space and euro
            continue;
        if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xA0) {
            ++i; // UTF-8 no-break space
            continue;
        }
        if (c == 0xE2 && text.sliced(i).startsWith("\xE2\x82\xAC")) {
            i += 2; // UTF-8 euro
            continue;
        }
        if (c == '-') {
            if (negative)
                return false;
            negative = true;
            continue;
        }
        if ((c < '0' || c > '9') && c != '.' && c != ',')
            return false;
        if (count == int(sizeof kept))
            return false;
        kept[count++] = char(c);
    }
    const QByteArrayView digits(kept, count);
    const qsizetype lastDot = digits.lastIndexOf('.');
    const qsizetype lastComma = digits.lastIndexOf(',');
    // The decimal separator: the later of the two kinds, or the only one
    // where it stands once.
    qsizetype point = -1;
    if (lastDot >= 0 && lastComma >= 0)
        point = std::max(lastDot, lastComma);
    else if (lastDot >= 0 && digits.count('.') == 1)
        point = lastDot;
    else if (lastComma >= 0 && digits.count(',') == 1)
        point = lastComma;
    if (point >= 0 && digits.sliced(0, point).contains(digits[point]))
        return false; // the decimal separator again among the thousands
    quint64 units = 0;
    int wholeDigits = 0;
    for (qsizetype i = 0; i < (point >= 0 ? point : count); ++i) {
        if (digits[i] == '.' || digits[i] == ',')
            continue;
        if (++wholeDigits > 15)
            return false;
        units = units * 10 + quint64(digits[i] - '0');
    }
    quint64 fraction = 0;
    int places = 0;
    if (point >= 0) {
        for (qsizetype i = point + 1; i < count; ++i) {
            if (digits[i] < '0' || digits[i] > '9' || ++places > 4)
                return false;
            fraction = fraction * 10 + quint64(digits[i] - '0');
        }
    }
    if (wholeDigits + places == 0)
        return false;
    for (int i = places; i < 4; ++i)
        fraction *= 10;
    // Fifteen digits and four decimals stay below 2^64; the amounts the
    // table holds, within qint64.
    const quint64 magnitude = units * quint64(kMoneyScale) + fraction;
    if (magnitude > quint64(std::numeric_limits<qint64>::max()))
        return false;
    value = negative ? -qint64(magnitude) : qint64(magnitude);
    return true;
}

// Up to maxDigits digits (at least one) at p.
bool readNumber(const char *&p, const char *end, int maxDigits, int &value, int &digits)
{
    value = 0;
    digits = 0;
    while (p != end && *p >= '0' && *p <= '9' && digits < maxDigits) {
        value = value * 10 + (*p++ - '0');
        ++digits;
    }
    return digits > 0;
}

bool isDateSeparator(char c)
{
    return c == '/' || c == '-' || c == '.';
}

// The moment of an export: "dd/MM/yyyy hh:mm:ss" as written, or as a
// spreadsheet may save it: without seconds, digits without their leading
// zero, a two-digit year, or yyyy-MM-dd with a blank or a T before the time.
bool parseMoment(QByteArrayView text, qint64 &day, int &seconds)
{
    text = trimmed(text);
    const char *p = text.data();
    const char *const end = p + text.size();
    int first, second, third, firstDigits, thirdDigits, digits;
    if (!readNumber(p, end, 4, first, firstDigits) || p == end || !isDateSeparator(*p++)
        || !readNumber(p, end, 2, second, digits) || p == end || !isDateSeparator(*p++)
        || !readNumber(p, end, 4, third, thirdDigits))
        return false;
    int year, month, dayOfMonth;
    if (firstDigits == 4) {
        year = first;
        month = second;
        dayOfMonth = third;
        if (thirdDigits > 2)
            return false;
    } else {
        if (firstDigits > 2 || (thirdDigits != 2 && thirdDigits != 4))
            return false;
        dayOfMonth = first;
        month = second;
        year = thirdDigits == 2 ? 2000 + third : third;
    }
    if (p == end || (!isBlank(*p) && *p != 'T'))
        return false;
    while (p != end && (isBlank(*p) || *p == 'T'))
        ++p;
    int hours, minutes, secs = 0;
    if (!readNumber(p, end, 2, hours, digits) || p == end || *p++ != ':' || !readNumber(p, end, 2, minutes, digits)
        || digits != 2)
        return false;
    if (p != end && *p == ':') {
        ++p;
        if (!readNumber(p, end, 2, secs, digits) || digits != 2)
            return false;
        if (p != end && (*p == '.' || *p == ',')) { // a fraction of a second
            ++p;
            while (p != end && *p >= '0' && *p <= '9')
                ++p;
        }
    }
    if (p != end || !QDate::isValid(year, month, dayOfMonth) || hours > 23 || minutes > 59 || secs > 59)
        return false;
    day = QDate(year, month, dayOfMonth).toJulianDay();
    seconds = (hours * 60 + minutes) * 60 + secs;
    return true;
}

// The fields of one line: split at ";" outside double quotes; a quote
// inside quotes is doubled. Only the first few fields that are needed are
// kept.
class LineFields
{
public:
    // Returns how many fields were kept, at most wanted.
    int split(QByteArrayView line, int wanted)
    {
        const char *p = line.data();
        const char *const end = p + line.size();
        int count = 0;
        if (line.isEmpty() || !std::memchr(p, '"', size_t(line.size()))) {
            while (count < wanted) {
                const auto *separator =
                    p != end ? static_cast<const char *>(std::memchr(p, ';', size_t(end - p))) : nullptr;
                const char *fieldEnd = separator ? separator : end;
                m_fields[size_t(count++)] = QByteArrayView(p, fieldEnd - p);
                if (!separator)
                    break;
                p = separator + 1;
            }
            return count;
        }
        // Quoted fields are copied without their quotes; the copy is never
        // longer than the line, so it does not move while it is filled.
        if (m_unquoted.size() < line.size())
            m_unquoted.resize(line.size());
        char *out = m_unquoted.data();
        while (count < wanted) {
            char *const start = out;
            bool quoted = false;
            while (p != end && (quoted || *p != ';')) {
                if (*p != '"') {
                    *out++ = *p++;
                } else if (quoted && p + 1 != end && p[1] == '"') {
                    *out++ = '"';
                    p += 2;
                } else {
                    quoted = !quoted;
                    ++p;
                }
            }
            m_fields[size_t(count++)] = QByteArrayView(start, out - start);
            if (p == end)
                break;
            ++p;
        }
        return count;
    }

    QByteArrayView operator[](int index) const { return m_fields[size_t(index)]; }

private:
    std::array<QByteArrayView, kMaxColumns> m_fields;
    QByteArray m_unquoted;
};

// Where each column stands in the journal's lines: found by the titles of
// its first line where they name every column that is read, else where the
// program writes them.
struct ColumnPlaces
{
    std::array<int, kColumns> at;
    std::array<bool, kColumns> titled; // placed by its title
    int wanted = 0; // fields to split for the needed columns

    ColumnPlaces()
    {
        for (int c = 0; c < kColumns; ++c)
            at[size_t(c)] = c;
        titled.fill(false);
        setWanted();
    }
    // True when the line holds column titles: they then say the places.
    bool takeTitles(QByteArrayView line, LineFields &fields)
    {
        const int count = fields.split(line, kMaxColumns);
        std::array<int, kColumns> found;
        found.fill(-1);
        bool any = false;
        for (int i = 0; i < count; ++i) {
            const QByteArrayView title = trimmed(fields[i]);
            for (int c = 0; c < kColumns; ++c) {
                if (found[size_t(c)] < 0
                    && title.compare(QByteArrayView(kTitles[size_t(c)]), Qt::CaseInsensitive) == 0) {
                    found[size_t(c)] = i;
                    any = true;
                }
            }
        }
        if (!any)
            return false;
        // Titles that leave out a column that is read do not say where the
        // others stand either: the lines are read, and written, as the
        // program writes them.
        if (std::any_of(kNeeded.begin(), kNeeded.end(), [&](Column c) { return found[size_t(c)] < 0; }))
            return true;
        for (int c = 0; c < kColumns; ++c) {
            titled[size_t(c)] = found[size_t(c)] >= 0;
            if (titled[size_t(c)])
                at[size_t(c)] = found[size_t(c)];
        }
        setWanted();
        return true;
    }
    // True when the columns stand where the program writes them.
    bool isStandard() const
    {
        for (int c = 0; c < kColumns; ++c) {
            if (at[size_t(c)] != c)
                return false;
        }
        return true;
    }
    // Fields up to the last column's.
    int width() const { return *std::max_element(at.begin(), at.end()) + 1; }

private:
    void setWanted()
    {
        wanted = 0;
        for (const Column c : kNeeded)
            wanted = std::max(wanted, at[size_t(c)] + 1);
    }
};

// One line of the journal, read.
struct JournalLine
{
    qint32 sezionale = 0;
    qint32 year = 0;
    qint32 numero = 0;
    QByteArrayView apice; // as the table holds it: Windows-1252, blanks after it dropped
    qint64 total = 0;
    QByteArrayView file;   // as it stands in the line
    QByteArrayView moment; // as it stands in the line
    qint64 day = 0;
    int seconds = 0;
};

// Reads lines by the places of their columns.
class LineReader
{
public:
    ColumnPlaces places;

    bool read(QByteArrayView line, JournalLine &out)
    {
        if (m_fields.split(line, places.wanted) < places.wanted)
            return false;
        qint64 sezionale, year, numero;
        if (!parseInteger(field(ColSezionale), INT_MIN, INT_MAX, sezionale)
            || !parseInteger(field(ColYear), 0, 9999, year)
            || !parseInteger(field(ColNumero), INT_MIN, INT_MAX, numero) || !parseAmount(field(ColTotal), out.total)
            || !readMoment(field(ColMoment), out))
            return false;
        out.sezionale = qint32(sezionale);
        out.year = qint32(year);
        out.numero = qint32(numero);
        QByteArrayView apice = field(ColApice);
        while (!apice.isEmpty() && apice.back() == ' ')
            apice.chop(1);
        if (!isAscii(apice)) {
            m_apice = toAnsi(textOf(apice));
            apice = m_apice;
        }
        out.apice = apice;
        out.file = field(ColFile);
        out.moment = field(ColMoment);
        return true;
    }

private:
    QByteArrayView field(Column column) const { return m_fields[places.at[size_t(column)]]; }

    // The lines of one export share their moment: read once.
    bool readMoment(QByteArrayView text, JournalLine &out)
    {
        if (text != QByteArrayView(m_momentText)) {
            m_momentText = text.toByteArray();
            m_momentRead = parseMoment(text, m_day, m_seconds);
        }
        out.day = m_day;
        out.seconds = m_seconds;
        return m_momentRead;
    }

    LineFields m_fields;
    QByteArray m_apice;
    QByteArray m_momentText;
    bool m_momentRead = false;
    qint64 m_day = 0;
    int m_seconds = 0;
};

// True when the line holds nothing but separators, quotes and blanks: an
// empty row that a spreadsheet may leave.
bool isEmptyRow(QByteArrayView line)
{
    return std::all_of(line.begin(), line.end(), [](char c) { return c == ';' || c == '"' || isBlank(c); });
}

QByteArrayView withoutLineEnd(QByteArrayView line)
{
    if (!line.isEmpty() && line.back() == '\r')
        line.chop(1);
    return line;
}

// The invoices of the table by year, number and Apice: open addressing over
// one and a half slots a record. A slot holds the year, the number and a
// trace of the Apice, so that only an invoice with an Apice reads its record.
// Looking up a million keys spread over the slots waits on memory most of the
// time: the slot of a key is fetched ahead (probe()) while earlier keys are
// placed or looked up (find()).
class TableKeys
{
public:
    // How many keys are fetched ahead.
    static constexpr size_t kAhead = 16;

    struct Probe
    {
        size_t slot;
        qint32 year;
        qint32 numero;
        quint16 apiceTrace;
    };

    explicit TableKeys(const std::vector<InvoiceRecord> &records)
        : m_records(records), m_slots(std::max<size_t>(16, records.size() + records.size() / 2), Slot{0, 0, 0, 0})
    {
        // The year is worked out once a day: the records stand in date order.
        QDate day;
        qint32 year = 0;
        const auto probeOfRow = [&](size_t row) {
            const InvoiceRecord &r = records[row];
            if (r.data != day) {
                day = r.data;
                year = day.isValid() ? day.year() : 0;
            }
            return probe(year, r.numero, r.comparedApice());
        };
        std::array<Probe, kAhead> ahead;
        for (size_t row = 0; row < std::min(kAhead, records.size()); ++row)
            ahead[row] = probeOfRow(row);
        for (size_t row = 0; row < records.size(); ++row) {
            const Probe p = ahead[row % kAhead];
            if (row + kAhead < records.size())
                ahead[row % kAhead] = probeOfRow(row + kAhead);
            size_t i = p.slot;
            while (m_slots[i].row)
                i = next(i);
            m_slots[i] = Slot{quint32(row + 1), p.numero, quint16(p.year), p.apiceTrace};
        }
    }

    // The key's slot, fetched ahead.
    Probe probe(qint32 year, qint32 numero, QByteArrayView apice) const
    {
        quint64 text = 0;
        if (!apice.isEmpty())
            std::memcpy(&text, apice.data(), size_t(std::min<qsizetype>(apice.size(), 8)));
        quint64 h = (quint64(quint32(year)) << 32 | quint32(numero)) * 0x9E3779B97F4A7C15ULL;
        h ^= (text + quint64(apice.size())) * 0xC2B2AE3D27D4EB4FULL;
        h ^= h >> 33;
        h *= 0xFF51AFD7ED558CCDULL;
        h ^= h >> 33;
        // The upper half of the hash scaled to the slots.
        const auto slot = size_t((h >> 32) * quint64(m_slots.size()) >> 32);
        __builtin_prefetch(&m_slots[slot]);
        const auto trace = apice.isEmpty() ? quint16(0) : quint16(1 + (text * 0x9E3779B97F4A7C15ULL >> 48) % 65535);
        return Probe{slot, year, numero, trace};
    }

    // Calls found(row) for every record with the key; apice is the one
    // the probe was made of.
    template <typename Found>
    void find(const Probe &p, QByteArrayView apice, Found found) const
    {
        for (size_t i = p.slot; m_slots[i].row; i = next(i)) {
            const Slot &slot = m_slots[i];
            if (slot.numero != p.numero || slot.year != p.year || slot.apiceTrace != p.apiceTrace)
                continue;
            const size_t row = slot.row - 1;
            if (slot.apiceTrace == 0 || m_records[row].comparedApice() == apice)
                found(row);
        }
    }

private:
    struct Slot
    {
        quint32 row; // from 1; 0: empty
        qint32 numero;
        quint16 year;       // 0 to 9999
        quint16 apiceTrace; // 0: no Apice
    };

    size_t next(size_t slot) const { return slot + 1 == m_slots.size() ? 0 : slot + 1; }

    const std::vector<InvoiceRecord> &m_records;
    std::vector<Slot> m_slots;
};

// ---- Writing ----------------------------------------------------------------

char *putTwoDigits(char *out, int value)
{
    out[0] = char('0' + value / 10);
    out[1] = char('0' + value % 10);
    return out + 2;
}

// The Apice as the journal writes it: blanks after it dropped, UTF-8.
QByteArray apiceField(const InvoiceRecord &r)
{
    const QByteArrayView apice = r.comparedApice();
    for (const char c : apice) {
        if (static_cast<unsigned char>(c) >= 0x80 || c == ';' || c == '"' || c == '\r' || c == '\n')
            return fieldOf(fromAnsi(apice.data(), apice.size()));
    }
    return apice.toByteArray();
}

// The lines of records: head (heading and sezionale) and tail (export file,
// moment and line end) are the same in every line. Written in the program's
// order of the columns, or moved to where the titles of a journal that a
// spreadsheet rearranged put them.
class LineWriter
{
public:
    LineWriter(const QByteArray &head, const QByteArray &tail, const QLocale &locale, const ColumnPlaces &places)
        : m_head(head), m_tail(tail), m_point(locale.decimalPoint().toUtf8()), m_places(places)
    {
    }

    void appendLines(QByteArray &piece, const InvoiceRecord *records, size_t count) const
    {
        if (m_places.isStandard()) {
            for (const InvoiceRecord *r = records; r != records + count; ++r)
                appendLine(piece, *r);
            return;
        }
        QByteArray line;
        for (const InvoiceRecord *r = records; r != records + count; ++r) {
            line.resize(0);
            appendLine(line, *r);
            appendMoved(piece, QByteArrayView(line).chopped(kLineEnd.size()));
        }
    }

private:
    void appendLine(QByteArray &piece, const InvoiceRecord &r) const
    {
        // Year, number, date, total and five separators; the Apice apart.
        const qsizetype bound =
            m_head.size() + m_tail.size() + 4 + 11 + 10 + kAmountDigitsBound + m_point.size() + 5;
        const QByteArray apice = apiceField(r);
        const qsizetype start = piece.size();
        piece.resize(start + bound + apice.size());
        char *out = piece.data() + start;
        std::memcpy(out, m_head.constData(), size_t(m_head.size()));
        out += m_head.size();
        int year = 0, month = 0, day = 0;
        if (r.data.isValid())
            r.data.getDate(&year, &month, &day);
        out = putInteger(out, year);
        *out++ = ';';
        out = putInteger(out, r.numero);
        *out++ = ';';
        std::memcpy(out, apice.constData(), size_t(apice.size()));
        out += apice.size();
        *out++ = ';';
        if (r.data.isValid()) {
            out = putTwoDigits(out, day);
            *out++ = '/';
            out = putTwoDigits(out, month);
            *out++ = '/';
            out = putTwoDigits(out, year / 100);
            out = putTwoDigits(out, year % 100);
        }
        *out++ = ';';
        out = putAmount(out, r.totale(), m_point);
        std::memcpy(out, m_tail.constData(), size_t(m_tail.size()));
        out += m_tail.size();
        piece.resize(out - piece.constData());
    }

    // A line of the program's order, its fields (quotes and all) moved to
    // their places; the columns the program does not write stay empty.
    void appendMoved(QByteArray &piece, QByteArrayView line) const
    {
        std::array<QByteArrayView, kColumns> fields;
        const char *start = line.data();
        bool quoted = false;
        int column = 0;
        for (const char *p = start; column < kColumns; ++p) {
            if (p == line.end() || (*p == ';' && !quoted)) {
                fields[size_t(column++)] = QByteArrayView(start, p);
                if (p == line.end())
                    break;
                start = p + 1;
            } else if (*p == '"') {
                quoted = !quoted;
            }
        }
        // A column without a title where no titled one stands.
        std::vector<QByteArrayView> moved(size_t(m_places.width()));
        std::vector<bool> taken(moved.size());
        for (int c = 0; c < kColumns; ++c) {
            if (m_places.titled[size_t(c)])
                taken[size_t(m_places.at[size_t(c)])] = true;
        }
        for (int c = 0; c < kColumns; ++c) {
            const auto place = size_t(m_places.at[size_t(c)]);
            if (m_places.titled[size_t(c)] || !taken[place])
                moved[place] = fields[size_t(c)];
        }
        for (size_t i = 0; i < moved.size(); ++i) {
            if (i > 0)
                piece += ';';
            piece += moved[i];
        }
        piece += kLineEnd;
    }

    QByteArray m_head;
    QByteArray m_tail;
    QByteArray m_point;
    ColumnPlaces m_places;
};

QByteArray titleLine()
{
    QByteArray line;
    for (int c = 0; c < kColumns; ++c) {
        if (c > 0)
            line += ';';
        line += kTitles[size_t(c)];
    }
    return line + kLineEnd;
}

// How the journal ends before an append: where what follows goes, and
// whether the file starts anew.
struct JournalEnd
{
    qint64 keep = -1;     // bytes kept; all when negative
    bool fresh = false;   // no lines yet: the mark and the titles first
    bool lineEnd = false; // a last line without its line end, kept
    ColumnPlaces places;  // where the titles put the columns
};

// A journal whose last line has no line end: kept with a line end added
// when it reads whole (typed by hand), else the remains of an append that
// did not end, cut away.
JournalEnd endOf(const QString &path)
{
    QFile file(path);
    JournalEnd end;
    if (!file.open(QIODevice::ReadOnly)) {
        end.fresh = !file.exists();
        return end;
    }
    const qint64 size = file.size();
    if (size == 0) {
        end.fresh = true;
        return end;
    }
    // The titles of the first line say where the columns stand.
    QByteArray first = file.readLine(kTailBytes);
    if (first.startsWith(kBom))
        first.remove(0, kBom.size());
    LineFields fields;
    end.places.takeTitles(withoutLineEnd(QByteArrayView(first).chopped(first.endsWith('\n') ? 1 : 0)), fields);

    const qint64 from = std::max<qint64>(0, size - kTailBytes);
    if (!file.seek(from))
        return end;
    const QByteArray tail = file.read(size - from);
    if (tail.endsWith('\n') || tail.size() != size - from)
        return end;
    const qsizetype lineStart = tail.lastIndexOf('\n') + 1;
    if (lineStart == 0 && from > 0) {
        end.lineEnd = true; // a line longer than what is looked at: kept
        return end;
    }
    QByteArrayView last = withoutLineEnd(QByteArrayView(tail).sliced(lineStart));
    if (from + lineStart == 0 && last.startsWith(kBom))
        last = last.sliced(kBom.size());
    LineReader reader;
    reader.places = end.places;
    JournalLine line;
    if (reader.read(last, line)) {
        end.lineEnd = true;
        return end;
    }
    end.keep = from + lineStart;
    if (end.keep == 0) {
        // Not even the titles were whole: the journal begins anew.
        end.fresh = true;
        end.places = ColumnPlaces();
    }
    return end;
}

} // namespace

QString ExportJournal::defaultPath()
{
    return programFolder() + QLatin1String(fileName());
}

ExportHistory ExportJournal::lookUp(const std::vector<InvoiceRecord> &records, int sezionale,
                                    const std::function<void()> &progress) const
{
    ExportHistory history;
    QFile file(m_path);
    if (records.empty() || !file.open(QIODevice::ReadOnly))
        return history;

    if (progress)
        progress();
    const TableKeys keys(records);
    if (progress)
        progress();
    // The last line found for each row: its place in found, from 1.
    std::vector<quint32> foundOfRow(records.size(), 0);
    std::vector<ExportHistory::Entry> found;
    found.reserve(records.size()); // the memory is taken only as it is used
    // The exports (moment and file) by their text; the lines of one export
    // stand together.
    QHash<QByteArray, quint32> exportNumbers;
    QByteArray lastExport;
    quint32 lastExportNumber = 0;

    // Lines of the sezionale wait here while their slots are fetched, and
    // are looked up in the order of the journal: the last line counts.
    struct Waiting
    {
        TableKeys::Probe probe;
        std::array<char, 8> apice;
        qsizetype apiceSize;
        qint64 total;
        quint32 exportNumber;
    };
    std::array<Waiting, TableKeys::kAhead> waiting;
    size_t waitingFirst = 0;
    size_t waitingCount = 0;
    const auto lookUpFirst = [&] {
        const Waiting &w = waiting[waitingFirst];
        keys.find(w.probe, QByteArrayView(w.apice.data(), w.apiceSize), [&](size_t row) {
            const ExportHistory::Entry entry{quint32(row), w.exportNumber, w.total};
            if (foundOfRow[row] == 0) {
                found.push_back(entry);
                foundOfRow[row] = quint32(found.size());
            } else {
                found[foundOfRow[row] - 1] = entry;
            }
        });
        waitingFirst = (waitingFirst + 1) % waiting.size();
        --waitingCount;
    };
    // The number of the line's export.
    const auto exportOf = [&](const JournalLine &line) {
        const qsizetype momentSize = line.moment.size();
        if (lastExport.size() != momentSize + 1 + line.file.size() || !lastExport.startsWith(line.moment)
            || QByteArrayView(lastExport).sliced(momentSize + 1) != line.file) {
            lastExport = line.moment.toByteArray() + '\n' + line.file.toByteArray();
            const auto known = exportNumbers.constFind(lastExport);
            lastExportNumber = known != exportNumbers.cend()
                                   ? *known
                                   : history.addExport(line.day, line.seconds, textOf(line.file));
            exportNumbers.insert(lastExport, lastExportNumber);
        }
        return lastExportNumber;
    };

    LineReader reader;
    JournalLine line;
    qsizetype unreadable = 0;
    qint64 lines = 0;
    bool first = true;
    const auto take = [&](QByteArrayView text, bool ended) {
        text = withoutLineEnd(text);
        if (first) {
            first = false;
            if (text.startsWith(kBom))
                text = text.sliced(kBom.size());
            LineFields titles;
            if (reader.places.takeTitles(text, titles))
                return;
        }
        if (progress && ++lines % kLinesPerProgress == 0)
            progress();
        if (!reader.read(text, line)) {
            // An unfinished last line is the remains of an append that did
            // not end.
            if (ended && !isEmptyRow(text))
                ++unreadable;
            return;
        }
        // No invoice of the table has an Apice longer than its field.
        if (line.sezionale != sezionale || line.apice.size() > qsizetype(sizeof(Waiting::apice)))
            return;
        if (waitingCount == waiting.size())
            lookUpFirst();
        Waiting &w = waiting[(waitingFirst + waitingCount++) % waiting.size()];
        w.probe = keys.probe(line.year, line.numero, line.apice);
        std::copy(line.apice.begin(), line.apice.end(), w.apice.begin());
        w.apiceSize = line.apice.size();
        w.total = line.total;
        w.exportNumber = exportOf(line);
    };

    // Read in large pieces; a line that runs past a piece waits for the next.
    QByteArray buffer(qsizetype(std::clamp<qint64>(file.size() + 1, 4096, 4 << 20)), Qt::Uninitialized);
    qsizetype filled = 0;
    for (bool atEnd = false; !atEnd;) {
        if (filled == buffer.size())
            buffer.resize(buffer.size() * 2);
        const qint64 got = file.read(buffer.data() + filled, buffer.size() - filled);
        if (got <= 0)
            atEnd = true;
        else
            filled += qsizetype(got);
        const char *p = buffer.constData();
        const char *const end = p + filled;
        while (const auto *lf = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)))) {
            take(QByteArrayView(p, lf), true);
            p = lf + 1;
        }
        const qsizetype rest = end - p;
        if (atEnd && rest > 0)
            take(QByteArrayView(p, rest), false);
        std::memmove(buffer.data(), p, size_t(rest));
        filled = rest;
    }

    while (waitingCount > 0)
        lookUpFirst();
    history.setEntries(std::move(found));
    history.setUnreadableLines(unreadable);
    return history;
}

void ExportJournal::append(const std::vector<InvoiceRecord> &records, const QString &heading,
                           const QString &sezionale, const QString &exportFile, const QDateTime &moment,
                           const QLocale &locale) const
{
    if (records.empty())
        return;
    const QString file = QDir::toNativeSeparators(exportFile);
    const JournalEnd end = endOf(m_path);
    const LineWriter writer(fieldOf(heading) + ';' + fieldOf(sezionale) + ';',
                            ';' + fieldOf(file) + ';'
                                + momentText(moment).toLatin1() + kLineEnd,
                            locale, end.places);
    const auto failure = SafeWriter(m_path).append(
        [&](const SafeWriter::Sink &sink) {
            QByteArray piece;
            if (end.fresh)
                piece = kBom + titleLine();
            else if (end.lineEnd)
                piece = kLineEnd;
            for (size_t first = 0; first < records.size(); first += kRecordsPerPiece) {
                writer.appendLines(piece, records.data() + first, std::min(kRecordsPerPiece, records.size() - first));
                sink(piece.constData(), piece.size());
                piece.resize(0); // keeps the room for the next piece
            }
        },
        end.keep);
    if (!failure)
        return;
    QString text = QStringLiteral("Esportazione scritta in \"%1\", "
                                  "ma non annotata nel registro delle esportazioni \"%2\"")
                       .arg(file, QDir::toNativeSeparators(m_path));
    if (!failure->reason.isEmpty())
        text += QStringLiteral(": ") + failure->reason;
    throw TolmError(text);
}
