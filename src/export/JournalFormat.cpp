// Own code where Qt has none: QtCore reads no CSV, and the journal's lines
// are split without a QByteArray per field.
#include "export/JournalFormat.h"

#include "platform/AnsiCodePage.h"

#include <QStringDecoder>

#include <climits>

namespace {

const std::array<const char *, kJournalColumns> kTitles = {"Intestazione", "Sezionale", "Anno",  "Numero",
                                                           "Apice",        "Data",      "Totale", "File",
                                                           "Esportata il"};
// The columns a line must have to be read.
constexpr std::array<JournalColumn, 7> kNeeded = {ColSezionale, ColYear, ColNumero, ColApice,
                                                  ColTotal,     ColFile, ColMoment};

} // namespace

bool isAscii(QByteArrayView text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

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

QByteArray fieldOf(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    bytes.replace('\r', ' ').replace('\n', ' ');
    if (bytes.contains(';') || bytes.contains('"'))
        bytes = '"' + bytes.replace("\"", "\"\"") + '"';
    return bytes;
}

QByteArray titleLine()
{
    QByteArray line;
    for (int c = 0; c < kJournalColumns; ++c) {
        if (c > 0)
            line += ';';
        line += kTitles[size_t(c)];
    }
    return line + kJournalLineEnd;
}

bool isEmptyRow(QByteArrayView line)
{
    return std::all_of(line.begin(), line.end(), [](char c) { return c == ';' || c == '"' || isBlank(c); });
}

// ---- LineFields -------------------------------------------------------------

int LineFields::split(QByteArrayView line, int wanted)
{
    if (!line.isEmpty() && std::memchr(line.data(), '"', size_t(line.size())))
        return splitQuoted(line, wanted);
    const char *p = line.data();
    const char *const end = p + line.size();
    int count = 0;
    while (count < wanted) {
        const auto *separator = p != end ? static_cast<const char *>(std::memchr(p, ';', size_t(end - p))) : nullptr;
        const char *fieldEnd = separator ? separator : end;
        m_fields[size_t(count++)] = QByteArrayView(p, fieldEnd - p);
        if (!separator)
            break;
        p = separator + 1;
    }
    return count;
}

int LineFields::splitQuoted(QByteArrayView line, int wanted)
{
    // Quoted fields are copied without their quotes; the copy is never
    // longer than the line, so it does not move while it is filled.
    if (m_unquoted.size() < line.size())
        m_unquoted.resize(line.size());
    const char *p = line.data();
    const char *const end = p + line.size();
    char *out = m_unquoted.data();
    int count = 0;
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

// ---- ColumnPlaces -----------------------------------------------------------

ColumnPlaces::ColumnPlaces()
{
    for (int c = 0; c < kJournalColumns; ++c)
        at[size_t(c)] = c;
    titled.fill(false);
    setWanted();
}

bool ColumnPlaces::takeTitles(QByteArrayView line)
{
    LineFields fields;
    const int count = fields.split(line, LineFields::kMaxColumns);
    std::array<int, kJournalColumns> found;
    found.fill(-1);
    bool any = false;
    for (int i = 0; i < count; ++i) {
        const QByteArrayView title = withoutBlanks(fields[i]);
        for (int c = 0; c < kJournalColumns; ++c) {
            if (found[size_t(c)] < 0 && title.compare(QByteArrayView(kTitles[size_t(c)]), Qt::CaseInsensitive) == 0) {
                found[size_t(c)] = i;
                any = true;
            }
        }
    }
    if (!any)
        return false;
    // Titles that leave out a column that is read do not say where the
    // others stand either: the lines are read, and written, as the program
    // writes them.
    if (std::any_of(kNeeded.begin(), kNeeded.end(), [&](JournalColumn c) { return found[size_t(c)] < 0; }))
        return true;
    for (int c = 0; c < kJournalColumns; ++c) {
        titled[size_t(c)] = found[size_t(c)] >= 0;
        if (titled[size_t(c)])
            at[size_t(c)] = found[size_t(c)];
    }
    setWanted();
    return true;
}

bool ColumnPlaces::isStandard() const
{
    for (int c = 0; c < kJournalColumns; ++c) {
        if (at[size_t(c)] != c)
            return false;
    }
    return true;
}

void ColumnPlaces::setWanted()
{
    wanted = 0;
    for (const JournalColumn c : kNeeded)
        wanted = std::max(wanted, at[size_t(c)] + 1);
}

// ---- LineReader -------------------------------------------------------------

bool LineReader::read(QByteArrayView line, JournalLine &out)
{
    if (m_fields.split(line, places.wanted) < places.wanted)
        return false;
    qint64 sezionale, year, numero;
    if (!parseInteger(field(ColSezionale), INT_MIN, INT_MAX, sezionale) || !parseInteger(field(ColYear), 0, 9999, year)
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

bool LineReader::readMoment(QByteArrayView text, JournalLine &out)
{
    if (text != QByteArrayView(m_momentText)) {
        m_momentText = text.toByteArray();
        m_momentRead = parseMoment(text, m_day, m_seconds);
    }
    out.day = m_day;
    out.seconds = m_seconds;
    return m_momentRead;
}
