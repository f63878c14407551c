#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A text file as lines that goes back to bytes in the file's own encoding,
// told as the Windows profile calls tell it: one that begins with the
// byte-order mark FF FE or FE FF is UTF-16 (little or big endian); one that
// is valid UTF-8 and has its mark EF BB BF or text beyond ASCII is UTF-8;
// any other (plain ASCII, no bytes at all as a new file, or bytes that are
// not UTF-8) is the ANSI code page, where characters it lacks are written
// as "?".
//
// Lines left untouched go back byte for byte as they were read; changed and
// new lines are encoded anew. Each line keeps its own end (CR LF, LF or none
// for the last); new lines take the end of the file's first line, or the
// platform's own in a file without one.
class LineDocument
{
public:
    enum class Encoding { Utf8, Ansi, Utf16Le, Utf16Be };

    explicit LineDocument(const QByteArray &bytes = QByteArray());

    QByteArray toBytes() const;

    qsizetype lineCount() const { return m_lines.size(); }
    // The line's text, without its end.
    const QString &line(qsizetype index) const { return m_lines.at(index).text; }
    void replaceLine(qsizetype index, const QString &text);
    // A new line before index. The line before it, when it is the file's last
    // and has no end, gets one.
    void insertLine(qsizetype index, const QString &text);
    void appendLine(const QString &text) { insertLine(lineCount(), text); }
    void removeLines(qsizetype index, qsizetype count);

private:
    struct Line
    {
        QString text;
        QByteArray ending;   // "\r\n", "\n" or none, whatever the encoding
        QByteArray original; // the bytes as read, without the end
        bool changed = false;
    };

    void terminateLine(qsizetype index);

    Encoding m_encoding = Encoding::Utf8;
    QByteArray m_mark; // the byte-order mark as found, or none
    QByteArray m_newline;
    QList<Line> m_lines;
};
