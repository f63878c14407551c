// Fuzz target for the settings file: an arbitrary file, then a script of
// writes, erasures and reads on it.
//
// Input: the bytes of the initial file up to the first 0xFF byte (nothing
// before it: no file at all); after it, up to eight operations separated by
// 0xFF. In the file's bytes, FE FD stands for an FF byte, so that a UTF-16
// file and its mark can be given byte for byte; a file that begins with
// FE FC (FE FB) is the rest taken as UTF-8 text (bytes that are not UTF-8
// become U+FFFD) and stored as UTF-16 little (big) endian with its mark.
// An operation is a letter and its fields separated by 0x1F, each field
// taken as UTF-8 (bytes that are not UTF-8 become U+FFFD):
//   w section 1F key 1F value      writeString
//   i section 1F key 1F 4 bytes    writeInteger of the bytes, little endian
//   e section                      eraseSection
//   r section 1F key               every kind of read
// Any other first byte picks one of the four by its value.
//
// Checked: no read or write crashes or throws; the readers agree with each
// other; a value written reads back as the reader shows any value (line
// breaks written as blanks, the blanks around it and one pair of enclosing
// quotes dropped, cut at 2047 characters, and in a Windows-1252 file every
// character that code page lacks as "?"); a whole number written reads back
// as itself; every other key of the file reads as before; after an erase no
// key of that section is left; a file keeps its form (UTF-16, UTF-8,
// Windows-1252), and a new file is Windows-1252.
//
// Names that a private-profile file cannot hold are written as well, but
// checked for crashes only: the empty name, names with blanks at either end
// or with a line break or "]", and key names with "=" or beginning with ";"
// (a comment) or "[" (a section header); in a Windows-1252 file also names
// with a character that code page lacks. Windows cannot read those back
// either.
//
// A UTF-8 file without its mark is told from Windows-1252 by holding text
// beyond ASCII, all of it valid UTF-8. When a write adds Windows-1252 bytes
// that happen to be such text, or an erase takes away the last bytes that
// are not UTF-8, what is left reads as UTF-8 from then on (an accented
// letter stored as two bytes that happen to be UTF-8 changes). For that
// operation only crashes, the readers' agreement and the bytes are checked:
// the lines left as they were and the text added, one byte a character, and
// nothing re-encoded. A UTF-8 file without its mark that is left with plain
// ASCII is Windows-1252 from then on, which reads the same.
#include "platform/AnsiCodePage.h"
#include "platform/ProfileFile.h"
#include "platform/TolmError.h"

#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QList>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

namespace {

constexpr char kOperationSeparator = '\xFF';
constexpr char kFieldSeparator = '\x1F';
constexpr int kMaxOperations = 8;
constexpr int kMaxSections = 16;
constexpr qsizetype kMaxValueLength = 2047;
// No value can hold a line feed: it ends the line.
const QString kAbsent = QStringLiteral("\n");

std::unique_ptr<QTemporaryDir> folder;
QString iniPath;

[[noreturn]] void fail(const char *what, const QString &detail)
{
    std::fprintf(stderr, "fuzz_profile: %s\n%s\n", what, detail.toUtf8().constData());
    std::abort();
}

void check(bool ok, const char *what, const QString &detail = QString())
{
    if (!ok)
        fail(what, detail);
}

QString quoted(const QString &text)
{
    return u'"' + text + u'"';
}

// How the reader matches a name of the file with a name asked for.
bool sameName(const QString &inFile, const QString &asked)
{
    return inFile.compare(asked.trimmed(), Qt::CaseInsensitive) == 0;
}

bool holdableSection(const QString &name)
{
    return !name.isEmpty() && !name.front().isSpace() && !name.back().isSpace() && !name.contains(u'\r')
           && !name.contains(u'\n') && !name.contains(u']');
}

bool holdableKey(const QString &name)
{
    return holdableSection(name) && !name.contains(u'=') && !name.startsWith(u';') && !name.startsWith(u'[');
}

// What reading gives for a value written as it stands.
QString readBack(QString value)
{
    value.replace(u'\r', u' ').replace(u'\n', u' ');
    value = value.trimmed();
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value.left(kMaxValueLength);
}

QString lineName(const QString &line)
{
    return line.left(line.indexOf(u'='));
}

QString lineValue(const QString &line)
{
    return line.mid(line.indexOf(u'=') + 1);
}

// How the file stores its text, told as the reader tells it.
enum class Form { None, Utf8, Ansi, Utf16Le, Utf16Be };

const QByteArray kUtf8Mark("\xEF\xBB\xBF");

qsizetype highBytes(QByteArrayView bytes)
{
    return std::count_if(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

Form formOf(const QByteArray &bytes, bool exists)
{
    if (!exists)
        return Form::None;
    if (bytes.startsWith("\xFF\xFE"))
        return Form::Utf16Le;
    if (bytes.startsWith("\xFE\xFF"))
        return Form::Utf16Be;
    const bool marked = bytes.startsWith(kUtf8Mark);
    const QByteArray text = marked ? bytes.mid(3) : bytes;
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString ignored = utf8(text);
    return !utf8.hasError() && (marked || highBytes(text) > 0) ? Form::Utf8 : Form::Ansi;
}

// A new file takes the text as Windows-1252 does.
bool ansiText(Form form)
{
    return form == Form::Ansi || form == Form::None;
}

QByteArray fileBytes(bool *exists = nullptr)
{
    QFile file(iniPath);
    if (exists)
        *exists = file.exists();
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

Form fileForm()
{
    bool exists = false;
    const QByteArray bytes = fileBytes(&exists);
    return formOf(bytes, exists);
}

// The text as Windows-1252 holds it: each character it lacks (a pair of
// surrogates being one character) becomes "?".
QString asAnsi(const QString &text)
{
    static const QHash<char16_t, bool> held = [] {
        QHash<char16_t, bool> result;
        for (int byte = 0; byte < 256; ++byte) {
            const char c = char(byte);
            result.insert(fromAnsi(&c, 1).front().unicode(), true);
        }
        return result;
    }();
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += u'?';
            ++i;
        } else {
            out += held.contains(c.unicode()) ? c : QChar(u'?');
        }
    }
    return out;
}

// The names of the sections that the file holds now, each once.
QStringList sectionNames()
{
    bool exists = false;
    QByteArray bytes = fileBytes(&exists);
    QString text;
    switch (formOf(bytes, exists)) {
    case Form::None:
        return {};
    case Form::Utf16Le:
        text = QStringDecoder(QStringConverter::Utf16LE)(QByteArrayView(bytes).sliced(2));
        break;
    case Form::Utf16Be:
        text = QStringDecoder(QStringConverter::Utf16BE)(QByteArrayView(bytes).sliced(2));
        break;
    case Form::Utf8:
    case Form::Ansi:
        if (bytes.startsWith(kUtf8Mark))
            bytes.remove(0, 3);
        text = formOf(bytes, true) == Form::Utf8 ? QString::fromUtf8(bytes) : fromAnsi(bytes);
        break;
    }

    QStringList names;
    for (const QString &line : text.split(u'\n')) {
        const QString trimmed = line.trimmed();
        const qsizetype close = trimmed.indexOf(u']');
        if (!trimmed.startsWith(u'[') || close < 0)
            continue;
        const QString name = trimmed.mid(1, close - 1).trimmed();
        if (!names.contains(name, Qt::CaseInsensitive))
            names.append(name);
        if (names.size() == kMaxSections)
            break;
    }
    return names;
}

using Snapshot = QList<std::pair<QString, QStringList>>;

Snapshot snapshot(const ProfileFile &ini)
{
    Snapshot result;
    for (const QString &name : sectionNames())
        result.append({name, ini.sectionLines(name)});
    return result;
}

QStringList withoutKey(const QStringList &lines, const QString &key)
{
    QStringList result;
    for (const QString &line : lines)
        if (!sameName(lineName(line), key))
            result.append(line);
    return result;
}

// Every section but the one named reads as before; in the one named, every
// key but the one named (none: the whole section is skipped).
void checkOthersUnchanged(const ProfileFile &ini, const Snapshot &before, const QString &section,
                          const QString *key)
{
    for (const auto &[name, lines] : before) {
        const QStringList now = ini.sectionLines(name);
        if (!sameName(name, section)) {
            check(now == lines, "another section changed", quoted(name));
        } else if (key) {
            check(withoutKey(now, *key) == withoutKey(lines, *key), "another key of the section changed",
                  quoted(name));
        }
    }
}

// Reads a key and its section in every way; the readers must agree.
void readEverything(const ProfileFile &ini, const QString &section, const QString &key)
{
    const QString value = ini.readString(section, key, kAbsent);
    ini.readInteger(section, key, 7);
    ini.readBool(section, key, true);
    const QStringList keys = ini.sectionKeys(section);
    const QStringList lines = ini.sectionLines(section);
    const QStringList values = ini.sectionValues(section);
    check(keys.size() == lines.size() && keys.size() == values.size(), "section listings differ in length",
          quoted(section));

    QString listed = kAbsent;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        check(lineName(lines[i]) == keys[i], "section listings differ in key names", quoted(section));
        check(!keys[i].isEmpty(), "empty key name listed", quoted(section));
        if (listed == kAbsent && sameName(keys[i], key))
            listed = lineValue(lines[i]);
    }
    check(value == listed, "readString and sectionLines disagree",
          quoted(section) + u' ' + quoted(key) + u' ' + quoted(value) + u' ' + quoted(listed));
    check(value == kAbsent || value.size() <= kMaxValueLength, "value longer than 2047", quoted(key));
}

// The form after a change: what it was, and Windows-1252 for a new file. A
// Windows-1252 file may turn UTF-8 (see the top of the file), but only
// through lines left as they were and the text added, one byte a character:
// the result tells whether it did. A UTF-8 file without its mark may turn
// Windows-1252 by being left with plain ASCII.
bool keptForm(Form before, const QByteArray &bytesBefore, const QString &added = QString())
{
    const Form after = fileForm();
    if (ansiText(before) && after == Form::Utf8) {
        const QString addedText = asAnsi(added);
        const qsizetype addedHigh =
            std::count_if(addedText.begin(), addedText.end(), [](QChar c) { return c.unicode() >= 0x80; });
        check(highBytes(fileBytes()) <= highBytes(bytesBefore) + addedHigh,
              "a Windows-1252 file was written in another encoding");
        return false;
    }
    if (before == Form::Utf8 && after == Form::Ansi) {
        const QByteArray bytes = fileBytes();
        check(!bytes.startsWith(kUtf8Mark) && highBytes(bytes) == 0, "a UTF-8 file was written in another encoding");
        return true;
    }
    check(after == (before == Form::None ? Form::Ansi : before), "the file changed its form",
          QString::number(int(before)) + u' ' + QString::number(int(after)));
    return true;
}

// In a Windows-1252 file only what that code page holds can be found again.
bool namesHeld(Form form, const QString &section, const QString &key)
{
    return !ansiText(form) || (asAnsi(section) == section && asAnsi(key) == key);
}

void writeText(ProfileFile &ini, const QString &section, const QString &key, const QString &value)
{
    const QByteArray bytes = fileBytes();
    const Form form = fileForm();
    const QString added = section + key + value;
    if (!holdableSection(section) || !holdableKey(key) || !namesHeld(form, section, key)) {
        ini.writeString(section, key, value);
        keptForm(form, bytes, added);
        readEverything(ini, section, key);
        return;
    }
    const Snapshot before = snapshot(ini);
    ini.writeString(section, key, value);
    if (!keptForm(form, bytes, added)) {
        readEverything(ini, section, key);
        return;
    }
    const QString expected = readBack(ansiText(form) ? asAnsi(value) : value);
    const QString got = ini.readString(section, key, kAbsent);
    check(got == expected, "value does not read back",
          quoted(section) + u' ' + quoted(key) + u' ' + quoted(got) + u' ' + quoted(expected));
    readEverything(ini, section, key);
    checkOthersUnchanged(ini, before, section, &key);
}

void writeNumber(ProfileFile &ini, const QString &section, const QString &key, int value)
{
    const QByteArray bytes = fileBytes();
    const Form form = fileForm();
    if (!holdableSection(section) || !holdableKey(key) || !namesHeld(form, section, key)) {
        ini.writeInteger(section, key, value);
        keptForm(form, bytes, section + key);
        readEverything(ini, section, key);
        return;
    }
    const Snapshot before = snapshot(ini);
    ini.writeInteger(section, key, value);
    if (!keptForm(form, bytes, section + key)) {
        readEverything(ini, section, key);
        return;
    }
    check(ini.readInteger(section, key, ~value) == value, "number does not read back", QString::number(value));
    check(ini.readBool(section, key, value == 0) == (value != 0), "flag does not read back", QString::number(value));
    readEverything(ini, section, key);
    checkOthersUnchanged(ini, before, section, &key);
}

void erase(ProfileFile &ini, const QString &section)
{
    const QByteArray bytes = fileBytes();
    const Form form = fileForm();
    const Snapshot before = snapshot(ini);
    const QStringList keys = ini.sectionKeys(section);
    ini.eraseSection(section);
    check(ini.sectionKeys(section).isEmpty(), "erased section still has keys", quoted(section));
    // Erasing nothing writes nothing: no file stays no file.
    if (form == Form::None) {
        check(fileForm() == Form::None, "erasing created the file", quoted(section));
        return;
    }
    if (!keptForm(form, bytes))
        return;
    for (const QString &key : keys)
        check(ini.readString(section, key, kAbsent) == kAbsent, "erased key still reads", quoted(key));
    checkOthersUnchanged(ini, before, section, nullptr);
}

void readAllSections(const ProfileFile &ini)
{
    // Each read parses the whole file again: a sample is enough.
    constexpr qsizetype kMaxReadSections = 8;
    constexpr qsizetype kMaxReadKeys = 4;
    for (const QString &name : sectionNames().mid(0, kMaxReadSections))
        for (const QString &key : ini.sectionKeys(name).mid(0, kMaxReadKeys))
            readEverything(ini, name, key);
}

void run(ProfileFile &ini, QByteArrayView operation)
{
    if (operation.isEmpty())
        return;
    char kind = operation.front();
    if (kind != 'w' && kind != 'i' && kind != 'e' && kind != 'r')
        kind = "wier"[static_cast<unsigned char>(kind) % 4];

    QList<QByteArrayView> fields;
    QByteArrayView rest = operation.sliced(1);
    for (int i = 0; i < 2; ++i) {
        const qsizetype end = rest.indexOf(kFieldSeparator);
        if (end < 0)
            break;
        fields.append(rest.first(end));
        rest = rest.sliced(end + 1);
    }
    fields.append(rest);
    while (fields.size() < 3)
        fields.append(QByteArrayView());

    const QString section = QString::fromUtf8(fields[0]);
    const QString key = QString::fromUtf8(fields[1]);
    switch (kind) {
    case 'w':
        writeText(ini, section, key, QString::fromUtf8(fields[2]));
        break;
    case 'i': {
        std::uint32_t bits = 0;
        if (!fields[2].isEmpty())
            std::memcpy(&bits, fields[2].data(), std::min<size_t>(sizeof bits, size_t(fields[2].size())));
        writeNumber(ini, section, key, int(bits));
        break;
    }
    case 'e':
        erase(ini, section);
        break;
    default:
        readEverything(ini, section, key);
        break;
    }
}

// The file's bytes from the input's first part (see the top of the file).
QByteArray initialFile(QByteArrayView part)
{
    QByteArray bytes;
    bytes.reserve(part.size());
    for (qsizetype i = 0; i < part.size(); ++i) {
        if (part[i] == '\xFE' && i + 1 < part.size() && part[i + 1] == '\xFD') {
            bytes.append('\xFF');
            ++i;
        } else {
            bytes.append(part[i]);
        }
    }
    const bool little = bytes.startsWith("\xFE\xFC");
    if (!little && !bytes.startsWith("\xFE\xFB"))
        return bytes;
    const QString text = QString::fromUtf8(bytes.mid(2));
    QStringEncoder encoder(little ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
    return (little ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF")) + QByteArray(encoder(text));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // TOLM_FUZZ_TMP names the folder to work in (tests/fuzz/run sets it and
    // removes it, also after a finding); else a tmpfs keeps the many small
    // rewrites off the disk.
    QString base = qEnvironmentVariable("TOLM_FUZZ_TMP");
    if (base.isEmpty())
        base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    folder = std::make_unique<QTemporaryDir>(base + QStringLiteral("/tolm-fuzz-profile-XXXXXX"));
    if (!folder->isValid())
        fail("no temporary folder", base);
    iniPath = folder->filePath(QStringLiteral("Tolm.ini"));
    std::atexit([] { folder.reset(); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, size_t size)
{
    QByteArrayView input(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype fileEnd = input.indexOf(kOperationSeparator);
    const QByteArray initial = initialFile(fileEnd < 0 ? input : input.first(fileEnd));

    QFile::remove(iniPath);
    if (!initial.isEmpty()) {
        QFile file(iniPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(initial) != initial.size())
            fail("cannot write the file", iniPath);
    }

    ProfileFile ini(iniPath);
    try {
        readAllSections(ini);
        QByteArrayView rest = fileEnd < 0 ? QByteArrayView() : input.sliced(fileEnd + 1);
        for (int count = 0; count < kMaxOperations && !rest.isEmpty(); ++count) {
            const qsizetype end = rest.indexOf(kOperationSeparator);
            run(ini, end < 0 ? rest : rest.first(end));
            rest = end < 0 ? QByteArrayView() : rest.sliced(end + 1);
        }
    } catch (const TolmError &e) {
        fail("unexpected error", e.message());
    }
    return 0;
}
