// Own code where Qt differs: QSettings keeps neither the private-profile rules nor a file's lines and
// encoding, and QSaveFile's in-place fallback takes only EACCES and truncates the file first.
#include "platform/ProfileFile.h"

#include "platform/AnsiCodePage.h"
#include "platform/TolmError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <cerrno>
#include <optional>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kUtf8Mark("\xEF\xBB\xBF");
const QByteArray kUtf16LeMark("\xFF\xFE");
const QByteArray kUtf16BeMark("\xFE\xFF");
constexpr qsizetype kMaxValueLength = 2047;

#ifdef Q_OS_WIN
const QByteArray kDefaultNewline("\r\n");
#else
const QByteArray kDefaultNewline("\n");
#endif

// How the file's text is stored. A file keeps its encoding when written.
enum class Encoding { Utf8, Ansi, Utf16Le, Utf16Be };

qsizetype unitSize(Encoding encoding)
{
    return encoding == Encoding::Utf16Le || encoding == Encoding::Utf16Be ? 2 : 1;
}

// One line of the file: its text without the line ending, the ending as it
// stands ("\r\n", "\n" or none), and the bytes as read so that untouched
// lines go back unchanged.
struct Line
{
    QString text;
    QByteArray ending;
    QByteArray original;
    bool changed = false;
};

struct Document
{
    Encoding encoding = Encoding::Utf8;
    QByteArray mark; // the byte-order mark as found, or none
    QByteArray newline = kDefaultNewline;
    QList<Line> lines;
};

struct KeyLine
{
    QString name;
    QString value;
};

// Half-open range of line indexes: the header and the lines below it.
struct Section
{
    qsizetype header;
    qsizetype end;
};

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

Document parse(const QByteArray &data)
{
    Document doc;
    QByteArrayView rest(data);
    if (rest.startsWith(kUtf16LeMark)) {
        doc.encoding = Encoding::Utf16Le;
        doc.mark = kUtf16LeMark;
    } else if (rest.startsWith(kUtf16BeMark)) {
        doc.encoding = Encoding::Utf16Be;
        doc.mark = kUtf16BeMark;
    } else if (rest.startsWith(kUtf8Mark)) {
        doc.mark = kUtf8Mark;
    }
    rest = rest.sliced(doc.mark.size());
    if (unitSize(doc.encoding) == 1)
        doc.encoding = isValidUtf8(rest) ? Encoding::Utf8 : Encoding::Ansi;

    const QByteArray carriageReturn = encode(QStringLiteral("\r"), doc.encoding);
    const qsizetype unit = unitSize(doc.encoding);
    bool styleFound = false;
    while (!rest.isEmpty()) {
        const qsizetype newline = findLineFeed(rest, doc.encoding);
        QByteArrayView content = newline < 0 ? rest : rest.first(newline);
        Line line;
        if (newline >= 0) {
            const bool crlf = content.endsWith(carriageReturn);
            if (crlf)
                content.chop(unit);
            line.ending = crlf ? QByteArray("\r\n") : QByteArray("\n");
            if (!styleFound) {
                doc.newline = line.ending;
                styleFound = true;
            }
        }
        line.original = content.toByteArray();
        line.text = decode(content, doc.encoding);
        doc.lines.append(line);
        rest = newline < 0 ? QByteArrayView() : rest.sliced(newline + unit);
    }
    return doc;
}

QByteArray serialize(const Document &doc)
{
    const QByteArray crlf = encode(QStringLiteral("\r\n"), doc.encoding);
    const QByteArray lf = encode(QStringLiteral("\n"), doc.encoding);
    QByteArray out = doc.mark;
    for (const Line &line : doc.lines) {
        out += line.changed ? encode(line.text, doc.encoding) : line.original;
        if (!line.ending.isEmpty())
            out += line.ending == "\r\n" ? crlf : lf;
    }
    return out;
}

std::optional<QString> headerName(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (!trimmed.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = trimmed.indexOf(u']');
    if (close < 0)
        return std::nullopt;
    return trimmed.mid(1, close - 1).trimmed();
}

// A line "name=value" outside comments; blanks around name and value dropped.
std::optional<KeyLine> keyLine(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.startsWith(u';') || headerName(trimmed))
        return std::nullopt;
    const qsizetype equals = trimmed.indexOf(u'=');
    if (equals < 0)
        return std::nullopt;
    KeyLine key{trimmed.left(equals).trimmed(), trimmed.mid(equals + 1).trimmed()};
    if (key.name.isEmpty())
        return std::nullopt;
    return key;
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

// The value as the program sees it: one pair of enclosing quotes dropped,
// cut to the length of the read buffer.
QString readableValue(QString value)
{
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value.left(kMaxValueLength);
}

std::optional<Section> findSection(const Document &doc, const QString &name, qsizetype from = 0)
{
    for (qsizetype i = from; i < doc.lines.size(); ++i) {
        const auto header = headerName(doc.lines[i].text);
        if (!header || !sameName(*header, name))
            continue;
        qsizetype end = i + 1;
        while (end < doc.lines.size() && !headerName(doc.lines[end].text))
            ++end;
        return Section{i, end};
    }
    return std::nullopt;
}

std::optional<QString> findValue(const Document &doc, const Section &section, const QString &key)
{
    for (qsizetype i = section.header + 1; i < section.end; ++i) {
        const auto line = keyLine(doc.lines[i].text);
        if (line && sameName(line->name, key))
            return line->value;
    }
    return std::nullopt;
}

QList<KeyLine> keyLines(const Document &doc, const QString &sectionName)
{
    QList<KeyLine> keys;
    const auto section = findSection(doc, sectionName);
    if (!section)
        return keys;
    for (qsizetype i = section->header + 1; i < section->end; ++i)
        if (const auto line = keyLine(doc.lines[i].text))
            keys.append(*line);
    return keys;
}

// Line breaks inside a name or value would split the line in the file.
QString singleLine(QString text)
{
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

void terminateLastLine(Document &doc, qsizetype index)
{
    Line &line = doc.lines[index];
    if (!line.ending.isEmpty())
        return;
    line.ending = doc.newline;
    // A UTF-16 file that ends in half a character: the line is written anew,
    // so that the lines after it stay aligned.
    if (line.original.size() % unitSize(doc.encoding) != 0)
        line.changed = true;
}

Line newLine(const Document &doc, const QString &text)
{
    Line line;
    line.text = text;
    line.ending = doc.newline;
    line.changed = true;
    return line;
}

bool parseDigits(QStringView digits, int base, qint64 limit, qint64 &result)
{
    if (digits.isEmpty())
        return false;
    qint64 value = 0;
    for (QChar c : digits) {
        const int digit = c >= u'0' && c <= u'9' ? c.unicode() - u'0'
                        : c >= u'a' && c <= u'f' ? c.unicode() - u'a' + 10
                        : c >= u'A' && c <= u'F' ? c.unicode() - u'A' + 10
                                                 : base;
        if (digit >= base)
            return false;
        value = value * base + digit;
        if (value > limit)
            return false;
    }
    result = value;
    return true;
}

// errno of creating a new file in folder, or 0 when one can be created
// (the trial file is removed at once).
int newFileRefusal(const QString &folder)
{
    QByteArray name = QFile::encodeName(QDir(folder).filePath(QStringLiteral(".Tolm.ini-XXXXXX")));
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        return errno;
    ::close(fd);
    ::unlink(name.constData());
    return 0;
}

bool writeAt(int fd, const char *data, qsizetype size, off_t offset)
{
    while (size > 0) {
        const ssize_t written = ::pwrite(fd, data, size_t(size), offset);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= written;
        offset += written;
    }
    return true;
}

// Rewrites the file in place and flushes it to disk. What grows the file is
// written first, beyond the old end: when the disk has no room for it the
// file is cut back to its old length and stays as it was.
bool rewriteInPlace(const QString &path, const QByteArray &content)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat status;
    bool ok = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    const qsizetype oldSize = ok ? qsizetype(status.st_size) : 0;
    if (ok && content.size() > oldSize) {
        ok = writeAt(fd, content.constData() + oldSize, content.size() - oldSize, off_t(oldSize));
        if (!ok) {
            const int cut = ::ftruncate(fd, off_t(oldSize));
            Q_UNUSED(cut); // should it fail too, the old bytes are still in place
        }
    }
    if (ok)
        ok = writeAt(fd, content.constData(), std::min(oldSize, content.size()), 0)
             && (content.size() >= oldSize || ::ftruncate(fd, off_t(content.size())) == 0) && ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

} // namespace

ProfileFile::ProfileFile(const QString &path)
    : m_path(path)
{
}

QString ProfileFile::readString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const Document doc = parse(readAll());
    const auto found = findSection(doc, section);
    if (!found)
        return defaultValue;
    const auto value = findValue(doc, *found, key);
    return value ? readableValue(*value) : defaultValue;
}

int ProfileFile::readInteger(const QString &section, const QString &key, int defaultValue) const
{
    const QString text = readString(section, key, QString());
    qint64 value = 0;
    if (text.size() > 2 && (text.startsWith(u"0x") || text.startsWith(u"0X"))) {
        // Hexadecimal covers the 32 bits, so 0xFFFFFFFF reads as -1.
        if (!parseDigits(QStringView(text).mid(2), 16, 0xFFFFFFFFLL, value))
            return defaultValue;
        return int(quint32(value));
    }
    QStringView digits(text);
    const bool negative = digits.startsWith(u'-');
    if (negative || digits.startsWith(u'+'))
        digits = digits.mid(1);
    if (!parseDigits(digits, 10, negative ? 2147483648LL : 2147483647LL, value))
        return defaultValue;
    return int(negative ? -value : value);
}

bool ProfileFile::readBool(const QString &section, const QString &key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

QStringList ProfileFile::sectionKeys(const QString &section) const
{
    QStringList names;
    for (const KeyLine &line : keyLines(parse(readAll()), section))
        names.append(line.name);
    return names;
}

QStringList ProfileFile::sectionLines(const QString &section) const
{
    // Each value is read by its key's name, so a repeated key shows the
    // value of its first line.
    const QList<KeyLine> lines = keyLines(parse(readAll()), section);
    QStringList result;
    for (const KeyLine &line : lines) {
        QString value;
        for (const KeyLine &first : lines) {
            if (sameName(first.name, line.name)) {
                value = readableValue(first.value);
                break;
            }
        }
        result.append(line.name + u'=' + value);
    }
    return result;
}

QStringList ProfileFile::sectionValues(const QString &section) const
{
    QStringList values;
    for (const KeyLine &line : keyLines(parse(readAll()), section))
        values.append(readableValue(line.value));
    return values;
}

void ProfileFile::writeString(const QString &section, const QString &key, const QString &value)
{
    ensureWritable();
    bool unreadable = false;
    Document doc = parse(readAll(&unreadable));
    if (unreadable)
        failWrite(); // rewriting would lose what could not be read

    const QString name = singleLine(key).trimmed();
    const QString text = singleLine(value);
    const auto found = findSection(doc, section);
    if (!found) {
        if (!doc.lines.isEmpty())
            terminateLastLine(doc, doc.lines.size() - 1);
        doc.lines.append(newLine(doc, u'[' + singleLine(section).trimmed() + u']'));
        doc.lines.append(newLine(doc, name + u'=' + text));
        writeAll(serialize(doc));
        return;
    }

    for (qsizetype i = found->header + 1; i < found->end; ++i) {
        const auto line = keyLine(doc.lines[i].text);
        if (line && sameName(line->name, name)) {
            doc.lines[i].text = line->name + u'=' + text;
            doc.lines[i].changed = true;
            writeAll(serialize(doc));
            return;
        }
    }

    // A new key goes after the section's last line that is not blank, so
    // the blank lines that part it from the next section stay below.
    qsizetype last = found->end - 1;
    while (last > found->header && doc.lines[last].text.trimmed().isEmpty())
        --last;
    terminateLastLine(doc, last);
    doc.lines.insert(last + 1, newLine(doc, name + u'=' + text));
    writeAll(serialize(doc));
}

void ProfileFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}

void ProfileFile::writeBool(const QString &section, const QString &key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void ProfileFile::eraseSection(const QString &section)
{
    Document doc = parse(readAll());
    auto found = findSection(doc, section);
    if (!found)
        return;
    ensureWritable();
    // Every section of that name goes, so that a section written anew is
    // the only one.
    while (found) {
        doc.lines.remove(found->header, found->end - found->header);
        found = findSection(doc, section, found->header);
    }
    writeAll(serialize(doc));
}

void ProfileFile::replaceSection(const QString &section, const QList<std::pair<QString, QString>> &entries)
{
    bool unreadable = false;
    Document doc = parse(readAll(&unreadable));
    auto found = findSection(doc, section);
    if (!found && entries.isEmpty() && !unreadable)
        return;
    ensureWritable();
    if (unreadable)
        failWrite(); // rewriting would lose what could not be read

    while (found) {
        doc.lines.remove(found->header, found->end - found->header);
        found = findSection(doc, section, found->header);
    }
    if (entries.isEmpty()) {
        writeAll(serialize(doc));
        return;
    }

    QList<KeyLine> keys;
    for (const auto &[key, value] : entries) {
        const QString name = singleLine(key).trimmed();
        const QString text = singleLine(value);
        const auto same = std::find_if(keys.begin(), keys.end(),
                                       [&](const KeyLine &k) { return sameName(k.name, name); });
        if (same != keys.end())
            same->value = text;
        else
            keys.append(KeyLine{name, text});
    }
    if (!doc.lines.isEmpty())
        terminateLastLine(doc, doc.lines.size() - 1);
    doc.lines.append(newLine(doc, u'[' + singleLine(section).trimmed() + u']'));
    for (const KeyLine &key : keys)
        doc.lines.append(newLine(doc, key.name + u'=' + key.value));
    writeAll(serialize(doc));
}

QByteArray ProfileFile::readAll(bool *unreadable) const
{
    if (unreadable)
        *unreadable = false;
    QFile file(m_path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly)) {
        if (unreadable)
            *unreadable = true;
        return {};
    }
    return file.readAll();
}

QString ProfileFile::fullPath() const
{
    const QFileInfo info(m_path);
    return info.isAbsolute() ? m_path : info.absoluteFilePath();
}

void ProfileFile::failWrite() const
{
    throw TolmError(QStringLiteral("Unable to write to ") + fullPath());
}

void ProfileFile::ensureWritable() const
{
    // A file whose mode allows nobody to write counts as read-only, as the
    // read-only attribute does on Windows, even for a user who could.
    const QFileInfo info(m_path);
    if (!info.exists())
        return;
    constexpr auto anyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (!info.isFile() || !(info.permissions() & anyWrite))
        failWrite();
}

void ProfileFile::writeAll(const QByteArray &content)
{
    // QSaveFile writes a temporary file beside the old one and renames it
    // over it on commit, keeping the old file's permissions; when anything
    // fails the temporary file is removed and the old file stays as it was.
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) {
        // A folder that lets the file be edited but no file be created in it:
        // the file is rewritten where it stands. Any other refusal (a full
        // disk above all) is an error.
        const int refusal = newFileRefusal(QFileInfo(fullPath()).absolutePath());
        if ((refusal == EACCES || refusal == EPERM) && rewriteInPlace(fullPath(), content))
            return;
        failWrite();
    }
    if (file.write(content) != content.size() || !file.flush()) {
        file.cancelWriting();
        failWrite();
    }
    if (!file.commit())
        failWrite();
}
