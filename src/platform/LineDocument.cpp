// Own code where Qt differs: QTextStream and QStringDecoder turn a file into
// text, but keep neither its untouched lines' bytes nor their line ends.
#include "platform/LineDocument.h"

#include "platform/AnsiCodePage.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

namespace {

using Encoding = LineDocument::Encoding;

const QByteArray kUtf8Mark("\xEF\xBB\xBF");
const QByteArray kUtf16LeMark("\xFF\xFE");
const QByteArray kUtf16BeMark("\xFE\xFF");

#ifdef Q_OS_WIN
const QByteArray kDefaultNewline("\r\n");
#else
const QByteArray kDefaultNewline("\n");
#endif

// The bytes of one code unit.
qsizetype unitSize(Encoding encoding)
{
    return encoding == Encoding::Utf16Le || encoding == Encoding::Utf16Be ? 2 : 1;
}

bool isAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool isValidUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString ignored = decoder(bytes);
    return !decoder.hasError();
}

// A U+FEFF inside the text is a character like any other: the mark at the
// start of the file is taken off before the lines are decoded.
constexpr auto kConverterFlags = QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom;

QString decode(QByteArrayView bytes, Encoding encoding)
{
    switch (encoding) {
    case Encoding::Utf8:
        return QString::fromUtf8(bytes);
    case Encoding::Ansi:
        return fromAnsi(bytes.data(), bytes.size());
    case Encoding::Utf16Le:
        return QStringDecoder(QStringConverter::Utf16LE, kConverterFlags)(bytes);
    case Encoding::Utf16Be:
        return QStringDecoder(QStringConverter::Utf16BE, kConverterFlags)(bytes);
    }
    return QString();
}

// Windows-1252 as Windows writes it: "?" for what it lacks, and the five
// bytes it leaves undefined back to themselves, so that a line read from the
// file and written again keeps them.
QByteArray encodeAnsi(const QString &text)
{
    const bool hasControls = std::any_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() >= 0x80 && c.unicode() < 0xA0;
    });
    if (!hasControls)
        return toAnsi(text);
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const char byte = char(c.unicode());
        if (c.unicode() >= 0x80 && c.unicode() < 0xA0 && fromAnsi(&byte, 1).front() == c) {
            out.append(byte);
        } else if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out.append('?');
            ++i;
        } else {
            out.append(toAnsi(QString(c)));
        }
    }
    return out;
}

QByteArray encode(const QString &text, Encoding encoding)
{
    switch (encoding) {
    case Encoding::Utf8:
        return text.toUtf8();
    case Encoding::Ansi:
        return encodeAnsi(text);
    case Encoding::Utf16Le:
        return QStringEncoder(QStringConverter::Utf16LE, kConverterFlags)(text);
    case Encoding::Utf16Be:
        return QStringEncoder(QStringConverter::Utf16BE, kConverterFlags)(text);
    }
    return QByteArray();
}

// Index of the next line feed in bytes of the given encoding, or -1.
qsizetype findLineFeed(QByteArrayView bytes, Encoding encoding)
{
    switch (encoding) {
    case Encoding::Utf8:
    case Encoding::Ansi:
        return bytes.indexOf('\n');
    case Encoding::Utf16Le:
    case Encoding::Utf16Be: {
        const bool little = encoding == Encoding::Utf16Le;
        for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
            const char low = little ? bytes[i] : bytes[i + 1];
            const char high = little ? bytes[i + 1] : bytes[i];
            if (low == '\n' && high == '\0')
                return i;
        }
        return -1;
    }
    }
    return -1;
}

} // namespace

LineDocument::LineDocument(const QByteArray &bytes)
    : m_newline(kDefaultNewline)
{
    QByteArrayView rest(bytes);
    if (rest.startsWith(kUtf16LeMark)) {
        m_encoding = Encoding::Utf16Le;
        m_mark = kUtf16LeMark;
    } else if (rest.startsWith(kUtf16BeMark)) {
        m_encoding = Encoding::Utf16Be;
        m_mark = kUtf16BeMark;
    } else if (rest.startsWith(kUtf8Mark)) {
        m_mark = kUtf8Mark;
    }
    rest = rest.sliced(m_mark.size());
    // As Windows writes it: text that could be either (plain ASCII, or no
    // text at all) is the ANSI code page.
    if (unitSize(m_encoding) == 1)
        m_encoding = (!m_mark.isEmpty() || !isAscii(rest)) && isValidUtf8(rest) ? Encoding::Utf8 : Encoding::Ansi;

    const QByteArray carriageReturn = encode(QStringLiteral("\r"), m_encoding);
    const qsizetype unit = unitSize(m_encoding);
    bool styleFound = false;
    while (!rest.isEmpty()) {
        const qsizetype newline = findLineFeed(rest, m_encoding);
        QByteArrayView content = newline < 0 ? rest : rest.first(newline);
        Line line;
        if (newline >= 0) {
            const bool crlf = content.endsWith(carriageReturn);
            if (crlf)
                content.chop(unit);
            line.ending = crlf ? QByteArray("\r\n") : QByteArray("\n");
            if (!styleFound) {
                m_newline = line.ending;
                styleFound = true;
            }
        }
        line.original = content.toByteArray();
        line.text = decode(content, m_encoding);
        m_lines.append(line);
        rest = newline < 0 ? QByteArrayView() : rest.sliced(newline + unit);
    }
}

QByteArray LineDocument::toBytes() const
{
    const QByteArray crlf = encode(QStringLiteral("\r\n"), m_encoding);
    const QByteArray lf = encode(QStringLiteral("\n"), m_encoding);
    QByteArray out = m_mark;
    for (const Line &line : m_lines) {
        out += line.changed ? encode(line.text, m_encoding) : line.original;
        if (!line.ending.isEmpty())
            out += line.ending == "\r\n" ? crlf : lf;
    }
    return out;
}

void LineDocument::replaceLine(qsizetype index, const QString &text)
{
    m_lines[index].text = text;
    m_lines[index].changed = true;
}

void LineDocument::insertLine(qsizetype index, const QString &text)
{
    if (index > 0)
        terminateLine(index - 1);
    Line line;
    line.text = text;
    line.ending = m_newline;
    line.changed = true;
    m_lines.insert(index, line);
}

void LineDocument::removeLines(qsizetype index, qsizetype count)
{
    m_lines.remove(index, count);
}

void LineDocument::terminateLine(qsizetype index)
{
    Line &line = m_lines[index];
    if (!line.ending.isEmpty())
        return;
    line.ending = m_newline;
    // A UTF-16 file that ends in half a character: the line is written anew,
    // so that the lines after it stay aligned.
    if (line.original.size() % unitSize(m_encoding) != 0)
        line.changed = true;
}
