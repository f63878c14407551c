// Own code where Qt differs: QSettings keeps neither the private-profile rules nor a file's lines and
// encoding.
#include "platform/ProfileFile.h"

#include "platform/LineDocument.h"
#include "platform/SafeWriter.h"
#include "platform/TolmError.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QThread>

#include <algorithm>
#include <optional>

namespace {

constexpr qsizetype kMaxValueLength = 2047;
// How long a save tries to open a file that exists but does not open.
constexpr int kOpenWaitMilliseconds = 1000;

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

std::optional<Section> findSection(const LineDocument &doc, const QString &name, qsizetype from = 0)
{
    for (qsizetype i = from; i < doc.lineCount(); ++i) {
        const auto header = headerName(doc.line(i));
        if (!header || !sameName(*header, name))
            continue;
        qsizetype end = i + 1;
        while (end < doc.lineCount() && !headerName(doc.line(end)))
            ++end;
        return Section{i, end};
    }
    return std::nullopt;
}

std::optional<QString> findValue(const LineDocument &doc, const Section &section, const QString &key)
{
    for (qsizetype i = section.header + 1; i < section.end; ++i) {
        const auto line = keyLine(doc.line(i));
        if (line && sameName(line->name, key))
            return line->value;
    }
    return std::nullopt;
}

QList<KeyLine> keyLines(const LineDocument &doc, const QString &sectionName)
{
    QList<KeyLine> keys;
    const auto section = findSection(doc, sectionName);
    if (!section)
        return keys;
    for (qsizetype i = section->header + 1; i < section->end; ++i)
        if (const auto line = keyLine(doc.line(i)))
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

// Removes every copy of the section, so that a section written anew is the
// only one. False when there was none.
bool removeSections(LineDocument &doc, const QString &name)
{
    auto found = findSection(doc, name);
    if (!found)
        return false;
    while (found) {
        doc.removeLines(found->header, found->end - found->header);
        found = findSection(doc, name, found->header);
    }
    return true;
}

// The section with its key lines, at the end of the file.
void appendSection(LineDocument &doc, const QString &name, const QList<KeyLine> &keys)
{
    doc.appendLine(u'[' + singleLine(name).trimmed() + u']');
    for (const KeyLine &key : keys)
        doc.appendLine(key.name + u'=' + key.value);
}

// The key replaced in place or added to its section, the section added at
// the end of the file when missing.
void setKey(LineDocument &doc, const QString &section, const QString &name, const QString &text)
{
    const auto found = findSection(doc, section);
    if (!found) {
        appendSection(doc, section, {KeyLine{name, text}});
        return;
    }
    for (qsizetype i = found->header + 1; i < found->end; ++i) {
        const auto line = keyLine(doc.line(i));
        if (line && sameName(line->name, name)) {
            doc.replaceLine(i, line->name + u'=' + text);
            return;
        }
    }
    // A new key goes after the section's last line that is not blank, so
    // the blank lines that part it from the next section stay below.
    qsizetype last = found->end - 1;
    while (last > found->header && doc.line(last).trimmed().isEmpty())
        --last;
    doc.insertLine(last + 1, name + u'=' + text);
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

} // namespace

ProfileFile::ProfileFile(const QString &path)
    : m_path(path)
{
}

QString ProfileFile::readString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const LineDocument doc(readAll());
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
    for (const KeyLine &line : keyLines(LineDocument(readAll()), section))
        names.append(line.name);
    return names;
}

QStringList ProfileFile::sectionLines(const QString &section) const
{
    // Each value is read by its key's name, so a repeated key shows the
    // value of its first line.
    const QList<KeyLine> lines = keyLines(LineDocument(readAll()), section);
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
    for (const KeyLine &line : keyLines(LineDocument(readAll()), section))
        values.append(readableValue(line.value));
    return values;
}

void ProfileFile::writeString(const QString &section, const QString &key, const QString &value)
{
    writeStrings(section, {{key, value}});
}

void ProfileFile::writeStrings(const QString &section, const QList<std::pair<QString, QString>> &entries)
{
    bool unreadable = false;
    LineDocument doc(readAll(&unreadable));
    if (unreadable)
        failWrite(); // rewriting would lose what could not be read
    for (const auto &[key, value] : entries)
        setKey(doc, section, singleLine(key).trimmed(), singleLine(value));
    writeAll(doc.toBytes());
}

void ProfileFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}

void ProfileFile::eraseSection(const QString &section)
{
    LineDocument doc(readAll());
    if (!removeSections(doc, section))
        return;
    writeAll(doc.toBytes());
}

void ProfileFile::replaceSection(const QString &section, const QList<std::pair<QString, QString>> &entries)
{
    bool unreadable = false;
    LineDocument doc(readAll(&unreadable));
    const bool removed = removeSections(doc, section);
    if (!removed && entries.isEmpty() && !unreadable)
        return;
    if (unreadable)
        failWrite(); // rewriting would lose what could not be read

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
    if (!keys.isEmpty())
        appendSection(doc, section, keys);
    writeAll(doc.toBytes());
}

QByteArray ProfileFile::readAll(bool *unreadable) const
{
    if (unreadable)
        *unreadable = false;
    // Opened before anything else is asked: while another program replaces
    // the file, Qt may find the name on the old file just taken away and say
    // that it does not exist (stat() counts no links to it), and a save that
    // took the file for a missing one would write its own section alone.
    QFile file(m_path);
    if (file.open(QIODevice::ReadOnly))
        return file.readAll();
    if (!unreadable)
        return {};
    // A save is about to rewrite the file, and another program may be
    // putting its own save in place at this moment: Windows opens no file
    // then (its rename holds the file), and where the replacement is two
    // moves (Wine's) the name is missing for a moment. The open is tried
    // again for a moment before the file counts as missing (a save then
    // begins a new file) or as unreadable.
    const QDeadlineTimer deadline(kOpenWaitMilliseconds);
    for (unsigned long pause = 1; !deadline.hasExpired(); pause = std::min(pause * 2, 32UL)) {
        QThread::msleep(pause);
        if (file.open(QIODevice::ReadOnly))
            return file.readAll();
    }
    if (QFileInfo::exists(m_path))
        *unreadable = true;
    return {};
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

void ProfileFile::writeAll(const QByteArray &content)
{
    // A folder that lets the file be edited but no file be created in it:
    // the file is rewritten where it stands.
    SafeWriter writer(m_path);
    writer.setInPlaceFallback(true);
    if (writer.write(content))
        failWrite();
}
