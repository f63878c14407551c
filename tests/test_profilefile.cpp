#include "platform/ProfileFile.h"
#include "platform/TolmError.h"
#include "support/Immutable.h"
#include "support/SmallDisk.h"
#include "support/TestFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <functional>
#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

// The line end of a file that has none yet: the platform's own.
#ifdef Q_OS_WIN
const QString kNewFileNewline = QStringLiteral("\r\n");
#else
const QString kNewFileNewline = QStringLiteral("\n");
#endif

// A new file's bytes, given with "\n" line ends.
QByteArray newFile(QByteArray bytes)
{
    return bytes.replace("\n", kNewFileNewline.toLatin1());
}

QByteArray utf16le(const QString &text)
{
    return encodedText(text, QStringLiteral("UTF-16LE"));
}

QStringList folderEntries(const TestFolder &folder)
{
    return QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

QString writeError(ProfileFile &ini, const std::function<void(ProfileFile &)> &action)
{
    try {
        action(ini);
    } catch (const TolmError &e) {
        return e.message();
    }
    return QString();
}

} // namespace

class TestProfileFile : public QObject
{
    Q_OBJECT

private slots:
    void readString_data();
    void readString();
    void missingFile();
    void readInteger_data();
    void readInteger();
    void readBool_data();
    void readBool();
    void longValuesAreCut();
    void listsSection();
    void write_data();
    void write();
    void writeSeveralKeys_data();
    void writeSeveralKeys();
    void eraseSection_data();
    void eraseSection();
    void replaceSection_data();
    void replaceSection();
    void keepsEncoding_data();
    void keepsEncoding();
    void accentedTextRoundTrip();
    void windows1252File();
    void garbageAndBinaryBytes();
    void keepsPermissions();
    void refusesReadOnlyFile();
    void lockedFolder_data();
    void lockedFolder();
    void failedWriteKeepsFile_data();
    void failedWriteKeepsFile();
    void refusesFolderInPlaceOfFile();
};

void TestProfileFile::readString_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << QByteArray("[S]\nk=v\n") << "S" << "k" << "v";
    QTest::newRow("blanks around") << QByteArray("[S]\n  k  =  \t v w \t\n") << "S" << "k" << "v w";
    QTest::newRow("double quotes") << QByteArray("[S]\nk=\"a b\"\n") << "S" << "k" << "a b";
    QTest::newRow("single quotes") << QByteArray("[S]\nk='a'\n") << "S" << "k" << "a";
    QTest::newRow("blanks outside quotes") << QByteArray("[S]\nk= \" a \" \n") << "S" << "k" << " a ";
    QTest::newRow("one pair only") << QByteArray("[S]\nk=\"\"a\"\"\n") << "S" << "k" << "\"a\"";
    QTest::newRow("unmatched quote") << QByteArray("[S]\nk=\"a\n") << "S" << "k" << "\"a";
    QTest::newRow("present empty") << QByteArray("[S]\nk=\n") << "S" << "k" << "";
    QTest::newRow("empty quotes") << QByteArray("[S]\nk=\"\"\n") << "S" << "k" << "";
    QTest::newRow("absent key") << QByteArray("[S]\nx=v\n") << "S" << "k" << "DEF";
    QTest::newRow("absent section") << QByteArray("[T]\nk=v\n") << "S" << "k" << "DEF";
    QTest::newRow("names in other case") << QByteArray("[generale]\nperiodosalvataggio=3\n")
                                         << "Generale" << "PeriodoSalvataggio" << "3";
    QTest::newRow("equals in value") << QByteArray("[S]\nk=a=b\n") << "S" << "k" << "a=b";
    QTest::newRow("first of repeated keys") << QByteArray("[S]\nk=1\nK=2\n") << "S" << "k" << "1";
    QTest::newRow("first of repeated sections") << QByteArray("[S]\nx=1\n[T]\n[s]\nk=2\n") << "S" << "k" << "DEF";
    QTest::newRow("key of the next section") << QByteArray("[S]\n[T]\nk=v\n") << "S" << "k" << "DEF";
    QTest::newRow("key above every section") << QByteArray("k=v\n[S]\n") << "S" << "k" << "DEF";
    QTest::newRow("comment") << QByteArray("[S]\n;k=v\n") << "S" << ";k" << "DEF";
    QTest::newRow("line without equals") << QByteArray("[S]\nk\n") << "S" << "k" << "DEF";
    QTest::newRow("blanks around header") << QByteArray("  [ S ] \nk=v\n") << "S" << "k" << "v";
    QTest::newRow("CRLF") << QByteArray("[S]\r\nk=v\r\n") << "S" << "k" << "v";
    QTest::newRow("no final line break") << QByteArray("[S]\nk=v") << "S" << "k" << "v";
    QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF[S]\nk=v\n") << "S" << "k" << "v";
}

void TestProfileFile::readString()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    TestFolder folder;
    folder.writeIni(content);
    QCOMPARE(ProfileFile(folder.iniPath()).readString(section, key, QStringLiteral("DEF")), expected);
}

void TestProfileFile::missingFile()
{
    TestFolder folder;
    ProfileFile ini(folder.iniPath());
    QCOMPARE(ini.readString("S", "k", "DEF"), QStringLiteral("DEF"));
    QCOMPARE(ini.readInteger("S", "k", 7), 7);
    QCOMPARE(ini.readBool("S", "k", true), true);
    QVERIFY(ini.sectionKeys("S").isEmpty());
    QVERIFY(ini.sectionLines("S").isEmpty());
    ini.eraseSection("S");
    QVERIFY(!QFile::exists(folder.iniPath()));
}

void TestProfileFile::readInteger_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("expected");

    QTest::newRow("decimal") << QByteArray("3") << 3;
    QTest::newRow("negative") << QByteArray("-12") << -12;
    QTest::newRow("plus sign") << QByteArray("+4") << 4;
    QTest::newRow("blanks") << QByteArray("  5 ") << 5;
    QTest::newRow("hexadecimal") << QByteArray("0x3") << 3;
    QTest::newRow("hexadecimal, capital X") << QByteArray("0X1f") << 31;
    QTest::newRow("hexadecimal, all bits") << QByteArray("0xFFFFFFFF") << -1;
    QTest::newRow("0x alone") << QByteArray("0x") << 99;
    QTest::newRow("bad hex digit") << QByteArray("0x1g") << 99;
    QTest::newRow("word") << QByteArray("abc") << 99;
    QTest::newRow("empty") << QByteArray("") << 99;
    QTest::newRow("trailing letters") << QByteArray("12abc") << 99;
    QTest::newRow("fraction") << QByteArray("1.5") << 99;
    QTest::newRow("largest") << QByteArray("2147483647") << 2147483647;
    QTest::newRow("smallest") << QByteArray("-2147483648") << int(-2147483647 - 1);
    QTest::newRow("too large") << QByteArray("2147483648") << 99;
}

void TestProfileFile::readInteger()
{
    QFETCH(QByteArray, value);
    QFETCH(int, expected);
    TestFolder folder;
    folder.writeIni("[S]\nk=" + value + "\n");
    QCOMPARE(ProfileFile(folder.iniPath()).readInteger("S", "k", 99), expected);
}

void TestProfileFile::readBool_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("defaultValue");
    QTest::addColumn<bool>("expected");

    QTest::newRow("1") << QByteArray("1") << false << true;
    QTest::newRow("0") << QByteArray("0") << true << false;
    QTest::newRow("other number") << QByteArray("-2") << false << true;
    QTest::newRow("true gives the default") << QByteArray("true") << false << false;
    QTest::newRow("false gives the default") << QByteArray("false") << true << true;
    QTest::newRow("yes gives the default") << QByteArray("yes") << false << false;
    QTest::newRow("empty gives the default") << QByteArray("") << true << true;
}

void TestProfileFile::readBool()
{
    QFETCH(QByteArray, value);
    QFETCH(bool, defaultValue);
    QFETCH(bool, expected);
    TestFolder folder;
    folder.writeIni("[S]\nk=" + value + "\n");
    QCOMPARE(ProfileFile(folder.iniPath()).readBool("S", "k", defaultValue), expected);
}

void TestProfileFile::longValuesAreCut()
{
    TestFolder folder;
    const QByteArray huge(100000, 'h');
    const QByteArray content = "[S]\nlong=" + QByteArray(3000, 'a') + "\nhuge=" + huge + "\n";
    folder.writeIni(content);
    ProfileFile ini(folder.iniPath());
    QCOMPARE(ini.readString("S", "long", ""), QString(2047, u'a'));
    QCOMPARE(ini.readString("S", "huge", ""), QString(2047, u'h'));
    QCOMPARE(ini.sectionValues("S"), QStringList({QString(2047, u'a'), QString(2047, u'h')}));

    ini.writeString("S", "k", "v");
    QCOMPARE(folder.readIni(), content + "k=v\n");
}

void TestProfileFile::listsSection()
{
    TestFolder folder;
    folder.writeIni("[Other]\nz=0\n"
                    "[AssSezionale]\n; comment\nB=2\n\n A = \"1\" \ngarbage\nb=3\n"
                    "[Next]\ny=1\n");
    ProfileFile ini(folder.iniPath());
    QCOMPARE(ini.sectionKeys("asssezionale"), QStringList({"B", "A", "b"}));
    // A key repeated in other case reads as its first line, as every read by name does.
    QCOMPARE(ini.sectionLines("AssSezionale"), QStringList({"B=2", "A=1", "b=2"}));
    QCOMPARE(ini.sectionValues("AssSezionale"), QStringList({"2", "1", "3"}));
    QVERIFY(ini.sectionKeys("Missing").isEmpty());
}

void TestProfileFile::write_data()
{
    QTest::addColumn<QByteArray>("before"); // null: no file
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("creates the file") << QByteArray() << "S" << "k" << "v" << newFile("[S]\nk=v\n");
    QTest::newRow("empty file") << QByteArray("") << "S" << "k" << "v" << newFile("[S]\nk=v\n");
    QTest::newRow("replaces in place")
        << QByteArray("[S]\na=1\nk=old\nb=2\n") << "S" << "k" << "v" << QByteArray("[S]\na=1\nk=v\nb=2\n");
    QTest::newRow("keeps the key's spelling")
        << QByteArray("[s]\n  K = old \n") << "S" << "k" << "v" << QByteArray("[s]\nK=v\n");
    QTest::newRow("first of repeated keys")
        << QByteArray("[S]\nk=1\nk=2\n") << "S" << "k" << "v" << QByteArray("[S]\nk=v\nk=2\n");
    QTest::newRow("adds at the end of its section")
        << QByteArray("[S]\na=1\n\n[T]\nb=2\n") << "S" << "k" << "v" << QByteArray("[S]\na=1\nk=v\n\n[T]\nb=2\n");
    QTest::newRow("adds the section at the end")
        << QByteArray("[T]\nb=2\n") << "S" << "k" << "v" << QByteArray("[T]\nb=2\n[S]\nk=v\n");
    QTest::newRow("no final line break")
        << QByteArray("[T]\nb=2") << "S" << "k" << "v" << QByteArray("[T]\nb=2\n[S]\nk=v\n");
    QTest::newRow("no final line break in the section")
        << QByteArray("[S]\na=1") << "S" << "k" << "v" << QByteArray("[S]\na=1\nk=v\n");
    QTest::newRow("CRLF, new key")
        << QByteArray("[S]\r\na=1\r\n") << "S" << "k" << "v" << QByteArray("[S]\r\na=1\r\nk=v\r\n");
    QTest::newRow("CRLF, new section")
        << QByteArray("[T]\r\nb=2") << "S" << "k" << "v" << QByteArray("[T]\r\nb=2\r\n[S]\r\nk=v\r\n");
    QTest::newRow("empty value") << QByteArray("[S]\nk=old\n") << "S" << "k" << "" << QByteArray("[S]\nk=\n");
    QTest::newRow("byte order mark kept")
        << QByteArray("\xEF\xBB\xBF[S]\nk=1\n") << "S" << "k" << "v" << QByteArray("\xEF\xBB\xBF[S]\nk=v\n");
    QTest::newRow("new file, accented: ANSI code page")
        << QByteArray() << "S" << "k" << "Città 5 € Ω" << newFile("[S]\nk=Citt\xE0 5 \x80 ?\n"_ba);
    QTest::newRow("ASCII file, accented: ANSI code page")
        << QByteArray("[S]\r\na=1\r\n") << "S" << "k" << "Città" << "[S]\r\na=1\r\nk=Citt\xE0\r\n"_ba;
    QTest::newRow("UTF-8 beyond ASCII stays UTF-8")
        << "[T]\nt=\xC3\xA8\n"_ba << "S" << "k" << "Città" << "[T]\nt=\xC3\xA8\n[S]\nk=Citt\xC3\xA0\n"_ba;
    QTest::newRow("UTF-8 mark on ASCII stays UTF-8")
        << "\xEF\xBB\xBF[S]\n"_ba << "S" << "k" << "Città" << "\xEF\xBB\xBF[S]\nk=Citt\xC3\xA0\n"_ba;
    QTest::newRow("line break in value") << QByteArray("[S]\n") << "S" << "k" << "a\nb" << QByteArray("[S]\nk=a b\n");
    QTest::newRow("UTF-16, new key")
        << "\xFF\xFE"_ba + utf16le("[S]\r\na=1\r\n") << "S" << "k" << "v"
        << "\xFF\xFE"_ba + utf16le("[S]\r\na=1\r\nk=v\r\n");
    QTest::newRow("UTF-16, in place, no final line break")
        << "\xFF\xFE"_ba + utf16le("[s]\na=1\nk=old") << "S" << "K" << "v"
        << "\xFF\xFE"_ba + utf16le("[s]\na=1\nk=v");
    QTest::newRow("UTF-16, new section after half a character")
        << "\xFF\xFE"_ba + utf16le("[T]\nb=2") + "x" << "S" << "k" << "v"
        << "\xFF\xFE"_ba + utf16le(QStringLiteral("[T]\nb=2\uFFFD\n[S]\nk=v\n"));
    QTest::newRow("UTF-16, mark inside a line")
        << "\xFF\xFE"_ba + utf16le(QStringLiteral("[S]\n\uFEFFk=1\n")) << "S" << "k" << "v"
        << "\xFF\xFE"_ba + utf16le(QStringLiteral("[S]\n\uFEFFk=1\nk=v\n"));
    QTest::newRow("comments, CRLF and odd spacing")
        << QByteArray("; top\r\n\r\n[S]  \r\n ;c = x\r\n  a  =  \" 1 \"  \r\nk = old\r\n\t\r\n[T]\r\n\tb=2\n")
        << "S" << "k" << "v"
        << QByteArray("; top\r\n\r\n[S]  \r\n ;c = x\r\n  a  =  \" 1 \"  \r\nk=v\r\n\t\r\n[T]\r\n\tb=2\n");
    QTest::newRow("comments, CRLF and odd spacing, new key")
        << QByteArray("; top\r\n\r\n[S]  \r\n ;c = x\r\n  a  =  \" 1 \"  \r\n\t\r\n[T]\r\n\tb=2\n")
        << "s" << "k" << "v"
        << QByteArray("; top\r\n\r\n[S]  \r\n ;c = x\r\n  a  =  \" 1 \"  \r\nk=v\r\n\t\r\n[T]\r\n\tb=2\n");
}

void TestProfileFile::write()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    TestFolder folder;
    if (!before.isNull())
        folder.writeIni(before);
    ProfileFile ini(folder.iniPath());
    ini.writeString(section, key, value);
    QCOMPARE(folder.readIni(), after);
    QCOMPARE(folderEntries(folder), QStringList{"Tolm.ini"});
}

void TestProfileFile::writeSeveralKeys_data()
{
    QTest::addColumn<QByteArray>("before"); // null: no file
    QTest::addColumn<QString>("section");

    QTest::newRow("no file") << QByteArray() << "S";
    QTest::newRow("keys replaced and added, blank line kept below")
        << QByteArray("[T]\nt=1\n[s]\nK=old\n\n[U]\nu=2\n") << "S";
    QTest::newRow("new section, CRLF") << QByteArray("[T]\r\nt=1") << "S";
    QTest::newRow("UTF-16") << "\xFF\xFE"_ba + utf16le("[S]\r\nk=1\r\n") << "S";
}

void TestProfileFile::writeSeveralKeys()
{
    // One replacement of the file gives what writing the keys one after the
    // other gives.
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    const QList<std::pair<QString, QString>> entries{
        {"k", "v"}, {"n", QStringLiteral("Città")}, {"K", "again"}, {"e", ""}};
    TestFolder folder;
    if (!before.isNull())
        folder.writeIni(before);
    ProfileFile ini(folder.iniPath());
    for (const auto &[key, value] : entries)
        ini.writeString(section, key, value);
    const QByteArray oneByOne = folder.readIni();

    if (before.isNull())
        QVERIFY(QFile::remove(folder.iniPath()));
    else
        folder.writeIni(before);
    ini.writeStrings(section, entries);
    QCOMPARE(folder.readIni(), oneByOne);
    QCOMPARE(ini.readString(section, "K", ""), QStringLiteral("again"));
    QCOMPARE(folderEntries(folder), QStringList{"Tolm.ini"});
}

void TestProfileFile::eraseSection_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("middle") << QByteArray("[A]\na=1\n[S]\n;c\nk=v\n\n[B]\nb=2\n") << QByteArray("[A]\na=1\n[B]\nb=2\n");
    QTest::newRow("last, no final line break") << QByteArray("[A]\r\na=1\r\n[S]\r\nk=v") << QByteArray("[A]\r\na=1\r\n");
    QTest::newRow("other case") << QByteArray("[s]\nk=v\n[A]\n") << QByteArray("[A]\n");
    QTest::newRow("every copy") << QByteArray("[S]\n1=a\n[A]\na=1\n[S]\n2=b\n") << QByteArray("[A]\na=1\n");
    QTest::newRow("absent") << QByteArray("[A]\na=1") << QByteArray("[A]\na=1");
}

void TestProfileFile::eraseSection()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    TestFolder folder;
    folder.writeIni(before);
    ProfileFile(folder.iniPath()).eraseSection("S");
    QCOMPARE(folder.readIni(), after);
}

using Entries = QList<std::pair<QString, QString>>;

void TestProfileFile::replaceSection_data()
{
    QTest::addColumn<QByteArray>("before"); // null: no file
    QTest::addColumn<Entries>("entries");
    QTest::addColumn<QByteArray>("after");

    const Entries two{{"1", "a.fdb"}, {"2", "host:b.fdb"}};
    QTest::newRow("moves to the end, every copy replaced")
        << QByteArray("[s]\n1=old\n\n[A]\na=1\n[S]\n9=x\n[B]\r\nb=2") << two
        << QByteArray("[A]\na=1\n[B]\r\nb=2\n[S]\n1=a.fdb\n2=host:b.fdb\n");
    QTest::newRow("creates the file") << QByteArray() << two << newFile("[S]\n1=a.fdb\n2=host:b.fdb\n");
    QTest::newRow("CRLF file")
        << QByteArray("[S]\r\n1=old\r\n[A]\r\na=1\r\n") << Entries{{" k ", "v\nw"}}
        << QByteArray("[A]\r\na=1\r\n[S]\r\nk=v w\r\n");
    QTest::newRow("repeated key: first spelling, last value")
        << QByteArray("") << Entries{{"ab", "1"}, {"c", "2"}, {"AB", "3"}} << newFile("[S]\nab=3\nc=2\n");
    QTest::newRow("no entries: no section") << QByteArray("[S]\n1=a\n[A]\na=1\n") << Entries()
                                            << QByteArray("[A]\na=1\n");
    QTest::newRow("no entries, no section: untouched") << QByteArray("[A]\na=1") << Entries()
                                                       << QByteArray("[A]\na=1");
}

void TestProfileFile::replaceSection()
{
    QFETCH(QByteArray, before);
    QFETCH(Entries, entries);
    QFETCH(QByteArray, after);
    TestFolder folder;
    if (!before.isNull())
        folder.writeIni(before);
    ProfileFile(folder.iniPath()).replaceSection("S", entries);
    QCOMPARE(folder.readIni(), after);
    QCOMPARE(folderEntries(folder), QStringList{"Tolm.ini"});
}

void TestProfileFile::keepsEncoding_data()
{
    QTest::addColumn<QString>("encoding"); // as QStringEncoder names it
    QTest::addColumn<QByteArray>("mark");
    QTest::addColumn<QString>("newline");
    QTest::addColumn<bool>("exists");

    const QString crlf = QStringLiteral("\r\n");
    const QString lf = QStringLiteral("\n");
    QTest::newRow("UTF-16 LE with mark") << "UTF-16LE" << "\xFF\xFE"_ba << crlf << true;
    QTest::newRow("UTF-16 LE with mark, LF") << "UTF-16LE" << "\xFF\xFE"_ba << lf << true;
    QTest::newRow("UTF-16 BE with mark") << "UTF-16BE" << "\xFE\xFF"_ba << crlf << true;
    QTest::newRow("Windows-1252") << "windows-1252" << QByteArray() << crlf << true;
    QTest::newRow("UTF-8") << "UTF-8" << QByteArray() << lf << true;
    QTest::newRow("UTF-8 with mark") << "UTF-8" << "\xEF\xBB\xBF"_ba << crlf << true;
    QTest::newRow("new file") << "windows-1252" << QByteArray() << kNewFileNewline << false;
}

void TestProfileFile::keepsEncoding()
{
    QFETCH(QString, encoding);
    QFETCH(QByteArray, mark);
    QFETCH(QString, newline);
    QFETCH(bool, exists);
    const QString before = exists ? QStringLiteral("; Impostazioni — caffè\n"
                                                   "[Config]\nfile=C:\\Dati\\Società.fdb\n\n"
                                                   "[Generale]\nVoceIva= Esenzione Città \nIVA=22\n\n"
                                                   "[File]\n1=srv:C:\\dati\\a.fdb\n")
                                  : QString();
    const QString written = QStringLiteral("Perché 5 € Ω");
    const QString line = QStringLiteral("Attivita=") + written + u'\n';
    QString after = exists ? before : QStringLiteral("[Generale]\n") + line;
    if (exists)
        after.insert(after.indexOf(QStringLiteral("IVA=22\n")) + 7, line);

    TestFolder folder;
    if (exists)
        folder.writeIni(encodedText(before, encoding, mark, newline));
    ProfileFile ini(folder.iniPath());
    const QString voceIva = exists ? QStringLiteral("Esenzione Città") : QStringLiteral("DEF");
    QCOMPARE(ini.readString("Generale", "VoceIva", "DEF"), voceIva);

    ini.writeString("Generale", "Attivita", written);
    // Windows-1252 has no Ω.
    const QString readBack = encoding == "windows-1252" ? QStringLiteral("Perché 5 € ?") : written;
    QCOMPARE(ini.readString("Generale", "Attivita", ""), readBack);
    QCOMPARE(ini.readString("Generale", "VoceIva", "DEF"), voceIva);
    QCOMPARE(ini.sectionValues("File"), exists ? QStringList{"srv:C:\\dati\\a.fdb"} : QStringList());
    QCOMPARE(folder.readIni(), encodedText(after, encoding, mark, newline));
    QCOMPARE(folderEntries(folder), QStringList{"Tolm.ini"});
}

void TestProfileFile::accentedTextRoundTrip()
{
    TestFolder folder;
    const QString text = QStringLiteral("Perché è così: 5 € ò");
    ProfileFile ini(folder.iniPath());
    ini.writeString(QStringLiteral("Città"), QStringLiteral("Società"), text);
    QCOMPARE(ini.readString(QStringLiteral("CITTÀ"), QStringLiteral("SOCIETÀ"), ""), text);
    QCOMPARE(folder.readIni(),
             encodedText(QStringLiteral("[Città]\nSocietà=%1\n").arg(text), "windows-1252", {}, kNewFileNewline));
}

void TestProfileFile::windows1252File()
{
    TestFolder folder;
    folder.writeIni("[Generale]\r\n; caff\xE8\r\nAttivita=Citt\xE0 \x80 5\r\n");
    ProfileFile ini(folder.iniPath());
    QCOMPARE(ini.readString("Generale", "Attivita", ""), QStringLiteral("Città € 5"));

    ini.writeString("Generale", "IVA", "10");
    QCOMPARE(folder.readIni(), "[Generale]\r\n; caff\xE8\r\nAttivita=Citt\xE0 \x80 5\r\nIVA=10\r\n"_ba);

    // A byte that Windows-1252 leaves undefined stays itself in a key
    // rewritten in place.
    folder.writeIni("[S]\nPerch\xE9\x81=1\n");
    const QString key = QStringLiteral("Perché\u0081");
    QCOMPARE(ini.readString("S", key, ""), QStringLiteral("1"));
    ini.writeString("S", key, QStringLiteral("2 €"));
    QCOMPARE(folder.readIni(), "[S]\nPerch\xE9\x81=2 \x80\n"_ba);
}

void TestProfileFile::garbageAndBinaryBytes()
{
    TestFolder folder;
    ProfileFile ini(folder.iniPath());

    // Control bytes and NUL are valid UTF-8: the lines go back as they were.
    const QByteArray valid("\x01garbage\n[S\n=nokey\n]]][[\n[S]\nk=v\0w\n\x7f\x02 \0\n", 40);
    folder.writeIni(valid);
    QCOMPARE(ini.readString("S", "k", ""), QString::fromUtf8("v\0w", 3));
    ini.writeString("S", "n", "1");
    QCOMPARE(folder.readIni(), valid + "n=1\n");

    // Bytes that are not UTF-8: read as Windows-1252, and the lines go back
    // as they were.
    QByteArray binary;
    for (int i = 0; i < 256; ++i)
        binary.append(char(255 - i));
    folder.writeIni("[S]\nb=" + binary + "\n[T]\nt=1\n");
    QCOMPARE(ini.readString("T", "t", ""), QStringLiteral("1"));
    ini.writeString("S", "n", "2");
    QCOMPARE(ini.readString("S", "n", ""), QStringLiteral("2"));
    QCOMPARE(ini.readString("T", "t", ""), QStringLiteral("1"));
    QCOMPARE(folder.readIni(), "[S]\nb=" + binary + "\nn=2\n[T]\nt=1\n");
}

void TestProfileFile::keepsPermissions()
{
    TestFolder folder;
    folder.writeIni("[S]\nk=1\n");
    const auto mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    QVERIFY(QFile::setPermissions(folder.iniPath(), mode));
    ProfileFile(folder.iniPath()).writeString("S", "k", "2");
    QCOMPARE(folder.readIni(), QByteArray("[S]\nk=2\n"));
#ifdef Q_OS_WIN
    // Windows keeps no mode bits, only the read-only attribute: the file
    // stays writable.
    QVERIFY(QFileInfo(folder.iniPath()).isWritable());
#else
    QCOMPARE(QFile::permissions(folder.iniPath()) & 0x7077, mode); // owner, group, other
#endif
}

void TestProfileFile::refusesReadOnlyFile()
{
    TestFolder folder;
    const QByteArray content("[S]\r\nk=1\r\n");
    folder.writeIni(content);
    QVERIFY(QFile::setPermissions(folder.iniPath(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    ProfileFile ini(folder.iniPath());
    const QString expected = "Unable to write to " + folder.iniPath();

    QCOMPARE(writeError(ini, [](ProfileFile &f) { f.writeString("S", "k", "2"); }), expected);
    QCOMPARE(writeError(ini, [](ProfileFile &f) { f.writeStrings("S", {{"k", "2"}, {"n", "3"}}); }), expected);
    QCOMPARE(writeError(ini, [](ProfileFile &f) { f.eraseSection("S"); }), expected);
    QCOMPARE(writeError(ini, [](ProfileFile &f) { f.replaceSection("S", {{"k", "2"}}); }), expected);
    QCOMPARE(folder.readIni(), content);
    QCOMPARE(folderEntries(folder), QStringList{"Tolm.ini"});
}

void TestProfileFile::lockedFolder_data()
{
    QTest::addColumn<bool>("locked");
    QTest::newRow("free folder: replaced") << false;
    QTest::newRow("folder that refuses new files: rewritten in place") << true;
}

void TestProfileFile::lockedFolder()
{
    QFETCH(bool, locked);
    TestFolder folder;
    folder.writeIni("[S]\r\nk=1\r\n[T]\r\nt=1\r\n");
    ProfileFile ini(folder.iniPath());
    std::unique_ptr<Immutable> lock;
    if (locked) {
        lock = std::make_unique<Immutable>(folder.path());
        VERIFY_IMMUTABLE(*lock);
    }
    const QList<std::pair<QByteArray, std::function<void()>>> steps{
        {"[S]\r\nk=longer than before\r\n[T]\r\nt=1\r\n", [&] { ini.writeString("S", "k", "longer than before"); }},
        {"[S]\r\nk=2\r\n[T]\r\nt=1\r\n", [&] { ini.writeString("S", "k", "2"); }},
        {"[T]\r\nt=1\r\n", [&] { ini.eraseSection("S"); }},
        {"[T]\r\nt=1\r\n[S]\r\n1=a.fdb\r\n", [&] { ini.replaceSection("S", {{"1", "a.fdb"}}); }},
    };
    for (const auto &[expected, step] : steps) {
        const quint64 inode = inodeOf(folder.iniPath());
        step();
        QCOMPARE(folder.readIni(), expected);
        // The atomic replacement wherever the folder allows it.
        QCOMPARE(inodeOf(folder.iniPath()) == inode, locked);
        QCOMPARE(folderEntries(folder), QStringList{"Tolm.ini"});
    }
}

void TestProfileFile::failedWriteKeepsFile_data()
{
    QTest::addColumn<QString>("obstacle"); // "immutable file" or "full disk"
    QTest::addColumn<bool>("lockedFolder");
    for (const char *obstacle : {"immutable file", "full disk"}) {
        QTest::addRow("%s", obstacle) << QString::fromLatin1(obstacle) << false;
        QTest::addRow("%s, folder refuses new files", obstacle) << QString::fromLatin1(obstacle) << true;
    }
}

void TestProfileFile::failedWriteKeepsFile()
{
    QFETCH(QString, obstacle);
    QFETCH(bool, lockedFolder);
    TestFolder folder;
    const QString place = folder.filePath("disk");
    QVERIFY(QDir().mkdir(place));
    std::unique_ptr<SmallDisk> disk;
    if (obstacle == "full disk") {
        disk = std::make_unique<SmallDisk>(place);
        if (!disk->isMounted())
            QSKIP("cannot mount a tmpfs here");
    }
    // Nearly one page of the disk: growing it takes one more.
    const QByteArray content = "[S]\r\nk=" + QByteArray(4000, 'v') + "\r\n";
    const QString path = place + "/Tolm.ini";
    writeWholeFile(path, content);
    if (disk)
        disk->fill();
    const QStringList entries = QDir(place).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    std::unique_ptr<Immutable> lockedFile;
    if (obstacle == "immutable file") {
        lockedFile = std::make_unique<Immutable>(path);
        VERIFY_IMMUTABLE(*lockedFile);
    }
    std::unique_ptr<Immutable> locked;
    if (lockedFolder) {
        locked = std::make_unique<Immutable>(place);
        VERIFY_IMMUTABLE(*locked);
    }

    ProfileFile ini(path);
    const QString expected = "Unable to write to " + path;
    const QString longer(200, u'w');
    QCOMPARE(writeError(ini, [&](ProfileFile &f) { f.writeString("S", "n", longer); }), expected);
    QCOMPARE(writeError(ini, [&](ProfileFile &f) { f.writeStrings("S", {{"m", "1"}, {"n", longer}}); }), expected);
    QCOMPARE(writeError(ini, [&](ProfileFile &f) { f.replaceSection("S", {{"k", QString(4000, u'v')}, {"n", longer}}); }),
             expected);
    QCOMPARE(readWholeFile(path), content);
    QCOMPARE(QDir(place).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), entries);
    locked.reset();
    lockedFile.reset();
    disk.reset();
}

void TestProfileFile::refusesFolderInPlaceOfFile()
{
    TestFolder folder;
    QVERIFY(QDir(folder.path()).mkdir("Tolm.ini"));
    ProfileFile ini(folder.iniPath());
    QCOMPARE(ini.readString("S", "k", "DEF"), QStringLiteral("DEF"));
    QCOMPARE(writeError(ini, [](ProfileFile &f) { f.writeString("S", "k", "v"); }),
             "Unable to write to " + folder.iniPath());
    QVERIFY(QFileInfo(folder.iniPath()).isDir());
}

QTEST_GUILESS_MAIN(TestProfileFile)
#include "test_profilefile.moc"
