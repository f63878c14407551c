// The export file: rows, amounts, order, bytes, folder and file writing.
#include "export/ExportFile.h"
#include "export/ExportFolder.h"
#include "export/ExportText.h"
#include "export/ExportWriter.h"
#include "records/DateText.h"
#include "support/ExportSamples.h"
#include "platform/SafeWriter.h"
#include "platform/TolmError.h"
#include "support/SmallDisk.h"
#include "support/Immutable.h"
#include "support/TestFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <functional>
#include <optional>

namespace {
using ExportSamples::codes;
using ExportSamples::kHeader;

const QLocale kItalian(QLocale::Italian, QLocale::Italy);

// "12.5" -> 125000 ten-thousandths, exactly.
qint64 amount(const QString &text)
{
    const bool negative = text.startsWith(QLatin1Char('-'));
    const QStringList parts = text.mid(negative ? 1 : 0).split(QLatin1Char('.'));
    qint64 value = parts.at(0).toLongLong() * kMoneyScale;
    if (parts.size() > 1)
        value += parts.at(1).leftJustified(4, QLatin1Char('0')).toLongLong();
    return negative ? -value : value;
}

InvoiceRecord invoice(int numero, const QString &importo, const QString &importoiva = QStringLiteral("0"),
                      const QString &bollo = QStringLiteral("0"))
{
    InvoiceRecord r = ExportSamples::invoice(numero, amount(importo));
    r.importoiva = amount(importoiva);
    r.bollo = amount(bollo);
    return r;
}

QString errorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const TolmError &e) {
        return e.message();
    }
    return QString();
}

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}


} // namespace

class TestExport : public QObject
{
    Q_OBJECT

private slots:
    void rows_data();
    void rows();
    void everyFieldEmpty();
    void amountText_data();
    void amountText();
    void shortDate();
    void orderAndFraming();
    void bytesKeptAndSeparatorsMended();
    void fileName_data();
    void fileName();
    void exportCreatesFolderAndFile();
    void folderEmptyName();
    void folderCannotBeCreated_data();
    void folderCannotBeCreated();
    void existingFileOverwritten();
    void readOnlyFileLeftUnchanged();
    void unwritableFolder();
    void diskFull();
};

void TestExport::rows_data()
{
    QTest::addColumn<QString>("importo");
    QTest::addColumn<QString>("importoiva");
    QTest::addColumn<QString>("bollo");
    QTest::addColumn<QByteArray>("partitaIva");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("VAT") << "100" << "22" << "0" << QByteArray()
        << QByteArray("A1;R;3;061125;5;;1;061125;00000;;22;;100;22;S1;D1;C1;V1;;;;CF1;;Rossi=Mario;Via Po 1;10100;Torino;TO;P;N;;;;\r\n");
    QTest::newRow("no VAT") << "100" << "0" << "0" << QByteArray()
        << QByteArray("A1;R;3;061125;5;;1;061125;00000;;0;N4;100;;S1;D1;C1;V1;;;;CF1;;Rossi=Mario;Via Po 1;10100;Torino;TO;P;N;;;;\r\n");
    QTest::newRow("credit note") << "-100" << "-22" << "0" << QByteArray()
        << QByteArray("A1;R;3;061125;5;;1;061125;00000;;0;N4;-100;;S1;D1;C1;V1;;;;CF1;;Rossi=Mario;Via Po 1;10100;Torino;TO;P;N;;;;\r\n");
    QTest::newRow("VAT number") << "100" << "0" << "0" << QByteArray("01234567890")
        << QByteArray("A1;R;3;061125;5;;1;061125;00000;;0;N4;100;;S1;D1;C1;V1;;;;CF1;01234567890;Rossi=Mario;Via Po 1;10100;Torino;TO;N;N;;;;\r\n");
    QTest::newRow("bollo 2") << "100" << "0" << "2" << QByteArray()
        << QByteArray("A1;R;3;061125;5;;1;061125;00000;;0;N4;100;;S1;D1;C1;V1;;;;CF1;;Rossi=Mario;Via Po 1;10100;Torino;TO;P;N;;;;\r\n"
                      "A1;R;3;061125;5;;2;061125;00000;;0;N1B;2;;SB;DB;CB;VB;;;;CF1;;Rossi=Mario;Via Po 1;10100;Torino;TO;P;N;;;;\r\n");
    QTest::newRow("VAT and bollo 2") << "100" << "22" << "2" << QByteArray("01234567890")
        << QByteArray("A1;R;3;061125;5;;1;061125;00000;;22;;100;22;S1;D1;C1;V1;;;;CF1;01234567890;Rossi=Mario;Via Po 1;10100;Torino;TO;N;N;;;;\r\n"
                      "A1;R;3;061125;5;;2;061125;00000;;0;N1B;2;;SB;DB;CB;VB;;;;CF1;01234567890;Rossi=Mario;Via Po 1;10100;Torino;TO;N;N;;;;\r\n");
    QTest::newRow("bollo 0.5") << "100" << "0" << "0.5" << QByteArray()
        << QByteArray("A1;R;3;061125;5;;1;061125;00000;;0;N4;100;;S1;D1;C1;V1;;;;CF1;;Rossi=Mario;Via Po 1;10100;Torino;TO;P;N;;;;\r\n");
    QTest::newRow("bollo -0.5") << "100" << "0" << "-0.5" << QByteArray()
        << QByteArray("A1;R;3;061125;5;;1;061125;00000;;0;N4;100;;S1;D1;C1;V1;;;;CF1;;Rossi=Mario;Via Po 1;10100;Torino;TO;P;N;;;;\r\n");
    QTest::newRow("bollo 0.51") << "100" << "0" << "0.51" << QByteArray()
        << QByteArray("A1;R;3;061125;5;;1;061125;00000;;0;N4;100;;S1;D1;C1;V1;;;;CF1;;Rossi=Mario;Via Po 1;10100;Torino;TO;P;N;;;;\r\n"
                      "A1;R;3;061125;5;;2;061125;00000;;0;N1B;0,51;;SB;DB;CB;VB;;;;CF1;;Rossi=Mario;Via Po 1;10100;Torino;TO;P;N;;;;\r\n");
    QTest::newRow("bollo -2") << "100" << "0" << "-2" << QByteArray()
        << QByteArray("A1;R;3;061125;5;;1;061125;00000;;0;N4;100;;S1;D1;C1;V1;;;;CF1;;Rossi=Mario;Via Po 1;10100;Torino;TO;P;N;;;;\r\n"
                      "A1;R;3;061125;5;;2;061125;00000;;0;N1B;-2;;SB;DB;CB;VB;;;;CF1;;Rossi=Mario;Via Po 1;10100;Torino;TO;P;N;;;;\r\n");
    QTest::newRow("bollo 1.5") << "100" << "0" << "1.5" << QByteArray()
        << QByteArray("A1;R;3;061125;5;;1;061125;00000;;0;N4;100;;S1;D1;C1;V1;;;;CF1;;Rossi=Mario;Via Po 1;10100;Torino;TO;P;N;;;;\r\n"
                      "A1;R;3;061125;5;;2;061125;00000;;0;N1B;1,5;;SB;DB;CB;VB;;;;CF1;;Rossi=Mario;Via Po 1;10100;Torino;TO;P;N;;;;\r\n");
    QTest::newRow("bollo 2.5") << "100" << "0" << "2.5" << QByteArray()
        << QByteArray("A1;R;3;061125;5;;1;061125;00000;;0;N4;100;;S1;D1;C1;V1;;;;CF1;;Rossi=Mario;Via Po 1;10100;Torino;TO;P;N;;;;\r\n"
                      "A1;R;3;061125;5;;2;061125;00000;;0;N1B;2,5;;SB;DB;CB;VB;;;;CF1;;Rossi=Mario;Via Po 1;10100;Torino;TO;P;N;;;;\r\n");
}

void TestExport::rows()
{
    QFETCH(QString, importo);
    QFETCH(QString, importoiva);
    QFETCH(QString, bollo);
    QFETCH(QByteArray, partitaIva);
    QFETCH(QByteArray, expected);

    InvoiceRecord record = invoice(5, importo, importoiva, bollo);
    record.sogiva.set(partitaIva);
    QByteArray content;
    rigafattura(content, record, codes(), "3", kItalian);
    QCOMPARE(content, expected);
}

void TestExport::everyFieldEmpty()
{
    InvoiceRecord record;
    record.data = QDate(2025, 11, 6);
    record.numero = 5;
    record.importo = 100 * kMoneyScale;
    InvoiceTable table;
    table.beginFill();
    table.append(record);
    table.endFill();

    QCOMPARE(exportContent(table, ExportSettings(), "1", kItalian),
             kHeader + ";;1;061125;5;;1;061125;00000;;0;;100;;;;;;;;;;;=;;;;;P;N;;;;\r\n");
}

void TestExport::amountText_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("expected");

    const QLocale english(QLocale::English, QLocale::UnitedStates);
    QTest::newRow("it 100") << amount("100") << kItalian << "100";
    QTest::newRow("it 12.5") << amount("12.5") << kItalian << "12,5";
    QTest::newRow("it 2") << amount("2") << kItalian << "2";
    QTest::newRow("it 0") << amount("0") << kItalian << "0";
    QTest::newRow("it -30.25") << amount("-30.25") << kItalian << "-30,25";
    QTest::newRow("it 0.0001") << amount("0.0001") << kItalian << "0,0001";
    QTest::newRow("it -0.0001") << amount("-0.0001") << kItalian << "-0,0001";
    QTest::newRow("it 1234.5") << amount("1234.5") << kItalian << "1234,5";
    QTest::newRow("it no grouping") << amount("10000000000") << kItalian << "10000000000";
    QTest::newRow("it 15 digits") << amount("12345678901.2345") << kItalian << "12345678901,2345";
    QTest::newRow("it 17 digits") << amount("1234567890123.4567") << kItalian << "1234567890123,46";
    QTest::newRow("it 19 digits") << amount("123456789012345.6789") << kItalian << "123456789012346";
    QTest::newRow("it rounds to carry") << Q_INT64_C(9999999999999999) << kItalian << "1000000000000";
    QTest::newRow("it lowest") << std::numeric_limits<qint64>::min() << kItalian << "-922337203685478";
    QTest::newRow("en 12.5") << amount("12.5") << english << "12.5";
    QTest::newRow("en -30.25") << amount("-30.25") << english << "-30.25";
    QTest::newRow("en 1234.5") << amount("1234.5") << english << "1234.5";
    QTest::newRow("en 100") << amount("100") << english << "100";
    QTest::newRow("C 0.0001") << amount("0.0001") << QLocale::c() << "0.0001";
}

void TestExport::amountText()
{
    QFETCH(qint64, value);
    QFETCH(QLocale, locale);
    QFETCH(QString, expected);
    QCOMPARE(formatAmount(value, locale), expected);
}

void TestExport::shortDate()
{
    QCOMPARE(datacorta(QDate(2025, 11, 6)), QStringLiteral("061125"));
    QCOMPARE(datacorta(QDate(2000, 1, 31)), QStringLiteral("310100"));
    QCOMPARE(datacorta(QDate(-24, 5, 15)), QStringLiteral("150524")); // before the year 1
}

void TestExport::orderAndFraming()
{
    // Extracted 12 before 7, and two invoices numbered 9 from two databases.
    InvoiceTable table;
    table.beginFill();
    table.append(invoice(12, "12"));
    table.append(invoice(7, "7", "0", "2"));
    InvoiceRecord first = invoice(9, "9.1");
    InvoiceRecord second = invoice(9, "9.2");
    InvoiceRecord earlier = invoice(30, "30");
    earlier.data = QDate(2025, 11, 5);
    table.append(first);
    table.append(second);
    table.append(earlier);
    table.endFill();

    const QByteArray content = exportContent(table, codes(), "3", kItalian);
    QVERIFY(content.startsWith(kHeader));
    QVERIFY(content.endsWith(";\r\n"));
    QList<QByteArray> lines = content.split('\n');
    QCOMPARE(lines.takeLast(), QByteArray()); // after the last CR LF
    lines.removeFirst();

    QStringList numbersAndAmounts;
    for (const QByteArray &line : lines) {
        QVERIFY(line.endsWith(";\r"));
        QCOMPARE(line.count(';'), 33);
        QCOMPARE(line.count('\r'), 1);
        const QList<QByteArray> fields = line.split(';');
        numbersAndAmounts << QString::fromLatin1(fields.at(4) + "/" + fields.at(6) + "/" + fields.at(12));
    }
    QCOMPARE(numbersAndAmounts, QStringList({"30/1/30", "7/1/7", "7/2/2", "9/1/9,1", "9/1/9,2", "12/1/12"}));
}

void TestExport::bytesKeptAndSeparatorsMended()
{
    InvoiceRecord record = invoice(5, "100");
    record.Cognome.set("Niccol\xF2");
    record.nome.set("Ann;a");
    record.citta.set("Per\xF9");
    record.indirizzo.set("Via A;B\r\nC\x80");
    ExportSettings settings;
    settings.attivita = QStringLiteral("A;1");
    settings.registro = QStringLiteral("Città\r");
    QByteArray content;
    rigafattura(content, record, settings, "3;4", kItalian);
    QCOMPARE(content, QByteArray("A,1;Citt\xE0 ;3,4;061125;5;;1;061125;00000;;0;;100;;;;;;;;;CF1;;Niccol\xF2=Ann,a;"
                                 "Via A,B  C\x80;10100;Per\xF9;TO;P;N;;;;\r\n"));
}

void TestExport::fileName_data()
{
    QTest::addColumn<bool>("txt");
    QTest::addColumn<QString>("sezionale");
    QTest::addColumn<QString>("expected");
    QTest::newRow("csv") << false << "3" << "/x/061125/EsportazioneVelmora - Sezionale3.csv";
    QTest::newRow("txt") << true << "3" << "/x/061125/EsportazioneVelmora - Sezionale3.txt";
    QTest::newRow("leading zero kept") << false << "03" << "/x/061125/EsportazioneVelmora - Sezionale03.csv";
}

void TestExport::fileName()
{
    QFETCH(bool, txt);
    QFETCH(QString, sezionale);
    QFETCH(QString, expected);
    ExportSettings settings;
    settings.cartellaEsportazione = "/x/061125/";
    settings.estensioneTXT = txt;
    QCOMPARE(exportFilePath(settings, sezionale), expected);
}

void TestExport::exportCreatesFolderAndFile()
{
    QTemporaryDir root;
    InvoiceTable table;
    table.beginFill();
    table.append(invoice(5, "100", "22", "2"));
    table.endFill();
    ExportSettings settings = codes();
    settings.cartellaEsportazione = root.filePath("a/b/c/");
    const QByteArray expected = exportContent(table, settings, "03", kItalian);

    const QString csv = esportafile(table, settings, "03", kItalian);
    QCOMPARE(csv, root.filePath("a/b/c/EsportazioneVelmora - Sezionale03.csv"));
    QCOMPARE(readWholeFile(csv), expected);

    // The folder now exists and is reused; the other extension, same bytes.
    settings.estensioneTXT = true;
    const QString txt = esportafile(table, settings, "03", kItalian);
    QCOMPARE(txt, root.filePath("a/b/c/EsportazioneVelmora - Sezionale03.txt"));
    QCOMPARE(readWholeFile(txt), expected);
    QCOMPARE(entries(root.filePath("a/b/c")),
             QStringList({"EsportazioneVelmora - Sezionale03.csv", "EsportazioneVelmora - Sezionale03.txt"}));
}

void TestExport::folderEmptyName()
{
    QCOMPARE(errorOf([] { createFolder(QString()); }), QStringLiteral("Unable to create directory"));
    InvoiceTable table;
    QCOMPARE(errorOf([&] { esportafile(table, ExportSettings(), "1"); }),
             QStringLiteral("Unable to create directory"));
}

void TestExport::folderCannotBeCreated_data()
{
    QTest::addColumn<bool>("immutableParent");
    QTest::newRow("under a regular file") << false;
    QTest::newRow("immutable parent") << true;
}

void TestExport::folderCannotBeCreated()
{
    QFETCH(bool, immutableParent);
    QTemporaryDir root;
    const QString parent = root.filePath("parent");
    if (immutableParent)
        QVERIFY(QDir().mkdir(parent));
    else
        writeWholeFile(parent, "not a folder");
    std::optional<Immutable> guard;
    if (immutableParent && !guard.emplace(parent).ok())
        QSKIP("chattr +i is not available here");

    ExportSettings settings;
    settings.cartellaEsportazione = parent + "/x/y/";
    InvoiceTable table;
    QCOMPARE(errorOf([&] { esportafile(table, settings, "1"); }),
             QStringLiteral("Unable to create directory ") + QDir::toNativeSeparators(parent + "/x/y"));
    QCOMPARE(entries(root.path()), QStringList({"parent"}));
    if (immutableParent)
        QCOMPARE(entries(parent), QStringList());
}

void TestExport::existingFileOverwritten()
{
    QTemporaryDir root;
    const QString path = root.filePath("EsportazioneVelmora - Sezionale1.csv");
    writeWholeFile(path, QByteArray(5000, 'o'));
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));

    saveFile(path, "new\r\n");
    QCOMPARE(readWholeFile(path), QByteArray("new\r\n"));
#ifdef Q_OS_WIN
    // Windows keeps no mode bits, only the read-only attribute: the file
    // stays writable.
    QVERIFY(QFileInfo(path).isWritable());
#else
    QCOMPARE(QFile::permissions(path) & 0x7077, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
#endif
    QCOMPARE(entries(root.path()), QStringList({"EsportazioneVelmora - Sezionale1.csv"}));
}

void TestExport::readOnlyFileLeftUnchanged()
{
    QTemporaryDir root;
    const QString path = root.filePath("EsportazioneVelmora - Sezionale1.csv");
    writeWholeFile(path, "old content\r\n");
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));

    QCOMPARE(errorOf([&] { saveFile(path, "new\r\n"); }),
             "Cannot create file \"" + QDir::toNativeSeparators(path) + "\". " + SafeWriter::accessDeniedText());
    QCOMPARE(readWholeFile(path), QByteArray("old content\r\n"));
    QCOMPARE(entries(root.path()), QStringList({"EsportazioneVelmora - Sezionale1.csv"}));
}

void TestExport::unwritableFolder()
{
    QTemporaryDir root;
    const QString folder = root.filePath("locked");
    QVERIFY(QDir().mkdir(folder));
    Immutable guard(folder);
    if (!guard.ok())
        QSKIP("chattr +i is not available here");

    ExportSettings settings;
    settings.cartellaEsportazione = folder + "/";
    InvoiceTable table;
    const QString path = folder + "/EsportazioneVelmora - Sezionale1.csv";
    QCOMPARE(errorOf([&] { esportafile(table, settings, "1"); }),
             "Cannot create file \"" + QDir::toNativeSeparators(path) + "\". " + systemText(EPERM));
    QCOMPARE(entries(folder), QStringList());
}

void TestExport::diskFull()
{
    QTemporaryDir root;
    const QString folder = root.filePath("small");
    QVERIFY(QDir().mkdir(folder));
    SmallDisk disk(folder);
    if (!disk.isMounted())
        QSKIP("cannot mount a tmpfs here");

    const QString path = folder + "/EsportazioneVelmora - Sezionale1.csv";
    const QByteArray old = kHeader + "earlier export\r\n";
    writeWholeFile(path, old);

    InvoiceTable table;
    table.beginFill();
    for (int n = 1; n <= 1000; ++n)
        table.append(invoice(n, "100", "22", "2"));
    table.endFill();
    ExportSettings settings = codes();
    settings.cartellaEsportazione = folder + "/";
    QVERIFY(exportContent(table, settings, "1", kItalian).size() > 128 * 1024);

    QCOMPARE(errorOf([&] { esportafile(table, settings, "1", kItalian); }),
             "Stream write error: " + systemText(ENOSPC));
    QCOMPARE(readWholeFile(path), old);
    QCOMPARE(entries(folder), QStringList({"EsportazioneVelmora - Sezionale1.csv"}));
}

QTEST_GUILESS_MAIN(TestExport)
#include "test_export.moc"
