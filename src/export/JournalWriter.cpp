// The journal's lines written straight into the pieces handed to the file,
// without a QByteArray per field.
#include "export/JournalWriter.h"

#include "export/JournalFormat.h"
#include "platform/AnsiCodePage.h"
#include "records/AmountText.h"


#include <vector>

namespace {

// Records written between two pieces.
constexpr size_t kRecordsPerPiece = 4096;
// How much of the journal's end is looked at for an unfinished line.
constexpr qint64 kTailBytes = 65536;

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
            appendMoved(piece, QByteArrayView(line).chopped(kJournalLineEnd.size()));
        }
    }

private:
    void appendLine(QByteArray &piece, const InvoiceRecord &r) const;
    void appendMoved(QByteArray &piece, QByteArrayView line) const;

    QByteArray m_head;
    QByteArray m_tail;
    QByteArray m_point;
    ColumnPlaces m_places;
};

void LineWriter::appendLine(QByteArray &piece, const InvoiceRecord &r) const
{
    // Year, number, date, total and five separators; the Apice apart.
    const qsizetype bound = m_head.size() + m_tail.size() + 4 + 11 + 10 + kAmountDigitsBound + m_point.size() + 5;
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
    if (r.data.isValid()) { // the day as dayText() writes it
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

// A line of the program's order, its fields (quotes and all) moved to their
// places; the columns the program does not write stay empty.
void LineWriter::appendMoved(QByteArray &piece, QByteArrayView line) const
{
    std::array<QByteArrayView, kJournalColumns> fields;
    const char *start = line.data();
    bool quoted = false;
    int column = 0;
    for (const char *p = start; column < kJournalColumns; ++p) {
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
    for (int c = 0; c < kJournalColumns; ++c) {
        if (m_places.titled[size_t(c)])
            taken[size_t(m_places.at[size_t(c)])] = true;
    }
    for (int c = 0; c < kJournalColumns; ++c) {
        const auto place = size_t(m_places.at[size_t(c)]);
        if (m_places.titled[size_t(c)] || !taken[place])
            moved[place] = fields[size_t(c)];
    }
    for (size_t i = 0; i < moved.size(); ++i) {
        if (i > 0)
            piece += ';';
        piece += moved[i];
    }
    piece += kJournalLineEnd;
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

// A last line without its line end, in the journal's last kTailBytes: kept
// with a line end added when it reads whole (typed by hand), else the remains
// of an append that did not end, cut away. The append looks under its lock:
// no other program is writing that line.
void checkLastLine(const SafeWriter::Reader &read, qint64 size, JournalEnd &end)
{
    const qint64 from = std::max<qint64>(0, size - kTailBytes);
    const QByteArray tail = read(from, size - from);
    if (tail.endsWith('\n') || tail.size() != size - from)
        return;
    const qsizetype lineStart = tail.lastIndexOf('\n') + 1;
    if (lineStart == 0 && from > 0) {
        end.lineEnd = true; // a line longer than what is looked at: kept
        return;
    }
    QByteArrayView last = withoutLineEnd(QByteArrayView(tail).sliced(lineStart));
    if (from + lineStart == 0)
        last = withoutMark(last);
    LineReader reader;
    reader.places = end.places;
    JournalLine line;
    if (reader.read(last, line)) {
        end.lineEnd = true;
        return;
    }
    end.keep = from + lineStart;
    if (end.keep == 0) {
        // Not even the titles were whole: the journal begins anew.
        end.fresh = true;
        end.places = ColumnPlaces();
    }
}

JournalEnd journalEnd(qint64 size, const SafeWriter::Reader &read)
{
    JournalEnd end;
    if (size == 0) {
        end.fresh = true;
        return end;
    }
    // The titles of the first line say where the columns stand.
    const QByteArray head = read(0, std::min(size, kTailBytes));
    const qsizetype firstEnd = head.indexOf('\n');
    const QByteArrayView firstLine = QByteArrayView(head).first(firstEnd >= 0 ? firstEnd : head.size());
    end.places.takeTitles(withoutMark(withoutLineEnd(firstLine)));
    checkLastLine(read, size, end);
    return end;
}

} // namespace

std::optional<SafeWriteFailure> appendJournalLines(const QString &path, const std::vector<InvoiceRecord> &records,
                                                   const QByteArray &head, const QByteArray &tail,
                                                   const QLocale &locale)
{
    JournalEnd end;
    return SafeWriter(path).append(
        [&](const SafeWriter::Sink &sink) {
            const LineWriter writer(head, tail, locale, end.places);
            QByteArray piece;
            if (end.fresh)
                piece = kJournalMark + titleLine();
            else if (end.lineEnd)
                piece = kJournalLineEnd;
            for (size_t first = 0; first < records.size(); first += kRecordsPerPiece) {
                writer.appendLines(piece, records.data() + first, std::min(kRecordsPerPiece, records.size() - first));
                sink(piece.constData(), piece.size());
                piece.resize(0); // keeps the room for the next piece
            }
        },
        [&](qint64 size, const SafeWriter::Reader &read) {
            end = journalEnd(size, read);
            return end.keep;
        });
}
