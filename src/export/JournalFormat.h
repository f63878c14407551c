#pragma once

// The export journal's dialect: text that a spreadsheet opens, UTF-8 with
// its byte-order mark, a line of column titles, ";" between the fields, CR
// LF after each line. Read tolerantly, as a spreadsheet may save it: columns
// found by their titles (others added anywhere passed over), fields in
// double quotes, CR LF or LF, UTF-8 or Windows-1252 text.

#include "export/JournalParsers.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>

#include <algorithm>
#include <array>
#include <cstring>

// The columns in the order the program writes them.
enum JournalColumn { ColHeading, ColSezionale, ColYear, ColNumero, ColApice, ColDate, ColTotal, ColFile, ColMoment,
                     kJournalColumns };

inline const QByteArray kJournalMark = QByteArrayLiteral("\xEF\xBB\xBF");
inline const QByteArray kJournalLineEnd = QByteArrayLiteral("\r\n");

bool isAscii(QByteArrayView text);

// Text of a field: UTF-8 where it is valid UTF-8, else the ANSI code page
// (a journal saved by a spreadsheet as Windows text).
QString textOf(QByteArrayView bytes);

// A field as the journal writes it: UTF-8; between double quotes, the
// quotes in it doubled, where it holds a separator or a quote; a line break
// becomes a blank.
QByteArray fieldOf(const QString &text);

// The line of column titles, with its line end.
QByteArray titleLine();

// True when the line holds nothing but separators, quotes and blanks: an
// empty row that a spreadsheet may leave.
bool isEmptyRow(QByteArrayView line);

inline QByteArrayView withoutLineEnd(QByteArrayView line)
{
    if (!line.isEmpty() && line.back() == '\r')
        line.chop(1);
    return line;
}

// The journal's first line without the byte-order mark before it.
inline QByteArrayView withoutMark(QByteArrayView firstLine)
{
    return firstLine.startsWith(kJournalMark) ? firstLine.sliced(kJournalMark.size()) : firstLine;
}

// The fields of one line: split at ";" outside double quotes; a quote
// inside quotes is doubled. Only the first few fields that are needed are
// kept.
class LineFields
{
public:
    // The most columns of a line that are looked at.
    static constexpr int kMaxColumns = 256;

    // Returns how many fields were kept, at most wanted.
    int split(QByteArrayView line, int wanted);

    QByteArrayView operator[](int index) const { return m_fields[size_t(index)]; }

private:
    int splitQuoted(QByteArrayView line, int wanted);

    std::array<QByteArrayView, kMaxColumns> m_fields;
    QByteArray m_unquoted;
};

// Where each column stands in the journal's lines: found by the titles of
// its first line where they name every column that is read, else where the
// program writes them.
struct ColumnPlaces
{
    std::array<int, kJournalColumns> at;
    std::array<bool, kJournalColumns> titled; // placed by its title
    int wanted = 0;                           // fields to split for the needed columns

    ColumnPlaces();
    // Takes the journal's first line, without its mark and its line end.
    // True when it holds column titles: they then say the places.
    bool takeTitles(QByteArrayView line);
    // True when the columns stand where the program writes them.
    bool isStandard() const;
    // Fields up to the last column's.
    int width() const { return *std::max_element(at.begin(), at.end()) + 1; }

private:
    void setWanted();
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

// Reads lines by the places of their columns. What a read gives stands in
// the line and in the reader until the next read.
class LineReader
{
public:
    ColumnPlaces places;

    // False when the line misses a needed column or a value cannot be read.
    bool read(QByteArrayView line, JournalLine &out);

private:
    QByteArrayView field(JournalColumn column) const { return m_fields[places.at[size_t(column)]]; }
    bool readMoment(QByteArrayView text, JournalLine &out);

    LineFields m_fields;
    QByteArray m_apice;
    // The lines of one export share their moment: read once.
    QByteArray m_momentText;
    bool m_momentRead = false;
    qint64 m_day = 0;
    int m_seconds = 0;
};

// Hands each line of the file to take(line, ended), without its LF; ended
// is false for a last line that has none. Read in large pieces; a line that
// runs past a piece waits for the next.
template <typename Take>
void forEachLine(QFile &file, Take take)
{
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
}
