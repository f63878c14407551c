// The export journal on real files: the lines it appends, byte for byte; what
// it reads back of a journal as the program writes it and as a spreadsheet
// or a hand may leave it; a journal that cannot be written; and other
// programs on the same folder appending to it at the same time.
#include "export/ExportJournal.h"
#include "support/ErrorOf.h"
#include "support/ExportSamples.h"
#include "support/Immutable.h"
#include "support/Peer.h"
#include "support/SmallDisk.h"
#include "support/TestFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>

namespace {

const QLocale kItalian(QLocale::Italian, QLocale::Italy);
const QDateTime kMoment(QDate(2025, 2, 3), QTime(10, 30, 5));
const QString kFile = QStringLiteral("C:\\Export\\EsportazioneVelmora - Sezionale1.csv");
const QByteArray kTitles = "Intestazione;Sezionale;Anno;Numero;Apice;Data;Totale;File;Esportata il\r\n";
const QByteArray kStart = "\xEF\xBB\xBF" + kTitles;

InvoiceRecord invoice(QDate data, int numero, const char *apice, qint64 importo)
{
    InvoiceRecord r = ExportSamples::invoice(numero, importo);
    r.data = data;
    r.Apice.set(apice);
    return r;
}

// Invoice 7 of 15 January, 8bis (held with blanks after its Apice, as the
// database pads it) and 9è (Windows-1252) of 20 January.
std::vector<InvoiceRecord> records()
{
    return {invoice(QDate(2025, 1, 15), 7, "", 100 * kMoneyScale),
            invoice(QDate(2025, 1, 20), 8, "bis  ", 125 * kMoneyScale / 10),
            invoice(QDate(2025, 1, 20), 9, "\xE8", 10 * kMoneyScale)};
}

// What the journal says of the rows: "row total day time file" for each
// row found, and how many lines could not be read.
QStringList found(const ExportHistory &history, qsizetype rows)
{
    QStringList lines;
    for (qsizetype row = 0; row < rows; ++row) {
        if (const auto e = history.exportOf(row))
            lines << QStringLiteral("%1 %2 %3 %4 %5")
                         .arg(row)
                         .arg(e->total)
                         .arg(e->day.toString(QStringLiteral("dd/MM/yyyy")),
                              e->time.toString(QStringLiteral("hh:mm:ss")), e->file);
    }
    if (history.unreadableLines() > 0)
        lines << QStringLiteral("unreadable %1").arg(history.unreadableLines());
    return lines;
}

// The message of a journal that cannot be written, up to the system's reason.
QString notWritten(const QString &journal)
{
    return QStringLiteral("Esportazione scritta in \"%1\", ma non annotata nel registro delle esportazioni \"%2\": ")
        .arg(kFile, QDir::toNativeSeparators(journal));
}

} // namespace

class TestJournal : public QObject
{
    Q_OBJECT

private slots:
    void appendsLines();
    void readsBack();
    void readsWhatASpreadsheetLeaves_data();
    void readsWhatASpreadsheetLeaves();
    void appendAfterUnfinishedEnd_data();
    void appendAfterUnfinishedEnd();
    void appendFollowsMovedColumns();
    void manyLines();
    void cannotBeWritten_data();
    void cannotBeWritten();
    void diskFullKeepsWholeLines();
    void twoProgramsAppendAtOnce();
    void heldByAnotherProgram_data();
    void heldByAnotherProgram();
};

void TestJournal::appendsLines()
{
    QTemporaryDir dir;
    const ExportJournal journal(dir.filePath(QStringLiteral("TolmRegistro.csv")));
    journal.append(records(), QStringLiteral("AB"), QStringLiteral("01"), kFile, kMoment, kItalian);
    const QByteArray first = "AB;01;2025;7;;15/01/2025;100;C:\\Export\\EsportazioneVelmora - Sezionale1.csv;"
                             "03/02/2025 10:30:05\r\n"
                             "AB;01;2025;8;bis;20/01/2025;12,5;C:\\Export\\EsportazioneVelmora - Sezionale1.csv;"
                             "03/02/2025 10:30:05\r\n"
                             "AB;01;2025;9;\xC3\xA8;20/01/2025;10;C:\\Export\\EsportazioneVelmora - Sezionale1.csv;"
                             "03/02/2025 10:30:05\r\n";
    QCOMPARE(readWholeFile(journal.path()), kStart + first);

    // Later: no mark and no titles again; a separator or a quote in a field
    // puts it between quotes; the locale's decimal separator.
    std::vector<InvoiceRecord> credit{invoice(QDate(2025, 1, 31), 10, "a;\"b\"", -305 * kMoneyScale / 10)};
    journal.append(credit, QStringLiteral("A;B"), QStringLiteral("1"), QStringLiteral("y.csv"),
                   kMoment.addDays(1), QLocale::c());
    QCOMPARE(readWholeFile(journal.path()),
             kStart + first + "\"A;B\";1;2025;10;\"a;\"\"b\"\"\";31/01/2025;-30.5;y.csv;04/02/2025 10:30:05\r\n");

    // No records, no line; a missing journal is not created.
    const ExportJournal missing(dir.filePath(QStringLiteral("missing.csv")));
    missing.append({}, QStringLiteral("AB"), QStringLiteral("1"), kFile, kMoment);
    QVERIFY(!QFile::exists(missing.path()));
}

void TestJournal::readsBack()
{
    QTemporaryDir dir;
    const ExportJournal journal(dir.filePath(QStringLiteral("TolmRegistro.csv")));
    const std::vector<InvoiceRecord> table = records();
    QCOMPARE(found(journal.lookUp(table, 1), 3), QStringList());

    journal.append({table[0], table[1]}, QStringLiteral("AB"), QStringLiteral("01"), kFile, kMoment, kItalian);
    // The same sezionale written 01 and looked up as 1; 8bis held with
    // blanks after it.
    QCOMPARE(found(journal.lookUp(table, 1), 3),
             (QStringList{"0 1000000 03/02/2025 10:30:05 " + kFile, "1 125000 03/02/2025 10:30:05 " + kFile}));
    QCOMPARE(found(journal.lookUp(table, 2), 3), QStringList());
    // An invoice the table holds twice (read from two databases): both rows.
    std::vector<InvoiceRecord> twice = table;
    twice.push_back(table[0]);
    QCOMPARE(found(journal.lookUp(twice, 1), 4),
             (QStringList{"0 1000000 03/02/2025 10:30:05 " + kFile, "1 125000 03/02/2025 10:30:05 " + kFile,
                          "3 1000000 03/02/2025 10:30:05 " + kFile}));

    // Exported again later, with another total: the last line counts.
    std::vector<InvoiceRecord> changed{table[1]};
    changed[0].importo = 20 * kMoneyScale;
    journal.append(changed, QStringLiteral("CD"), QStringLiteral("1"), QStringLiteral("y.csv"), kMoment.addDays(1),
                   kItalian);
    QCOMPARE(found(journal.lookUp(table, 1), 3),
             (QStringList{"0 1000000 03/02/2025 10:30:05 " + kFile, "1 200000 04/02/2025 10:30:05 y.csv"}));
}

void TestJournal::readsWhatASpreadsheetLeaves_data()
{
    QTest::addColumn<QByteArray>("journal");
    QTest::addColumn<QStringList>("found");

    const QByteArray seven = "AB;1;2025;7;;15/01/2025;100;x.csv;03/02/2025 10:30:05";
    const QString sevenFound = QStringLiteral("0 1000000 03/02/2025 10:30:05 x.csv");
    QTest::newRow("no mark, no titles, LF") << seven + "\n" << QStringList{sevenFound};
    QTest::newRow("CR LF") << kStart + seven + "\r\n" << QStringList{sevenFound};
    QTest::newRow("columns added and moved, titles in other case")
        << QByteArray("Note;numero;Anno;APICE;Sezionale;Totale;File;Esportata il;Altro\r\n"
                      "controllata;7;2025;;1;100;x.csv;03/02/2025 10:30:05;;;\r\n")
        << QStringList{sevenFound};
    QTest::newRow("titles that leave out one that is read: the program's order")
        << "Totale;Intestazione;Sezionale;Anno;Numero;Apice;Data\r\n" + seven + "\r\n" << QStringList{sevenFound};
    QTest::newRow("fields in quotes") << QByteArray("\"AB\";\"1\";\"2025\";\"7\";\"\";\"15/01/2025\";\"100\";"
                                                   "\"C:\\a;\"\"b\"\".csv\";\"03/02/2025 10:30:05\"\r\n")
                                     << QStringList{"0 1000000 03/02/2025 10:30:05 C:\\a;\"b\".csv"};
    QTest::newRow("Windows-1252") << QByteArray("AB;1;2025;9;\xE8;20/01/2025;10;Citt\xE0.csv;03/02/2025 10:30:05\r\n")
                                  << QStringList{QStringLiteral("2 100000 03/02/2025 10:30:05 Città.csv")};
    QTest::newRow("UTF-8") << QByteArray("AB;1;2025;9;\xC3\xA8;20/01/2025;10;Citt\xC3\xA0.csv;03/02/2025 10:30:05\r\n")
                           << QStringList{QStringLiteral("2 100000 03/02/2025 10:30:05 Città.csv")};
    QTest::newRow("a spreadsheet's numbers and moments")
        << QByteArray("AB;01;2025;8;bis ;20/01/2025;\xE2\x82\xAC 1.234,50;x.csv;3/2/25 9:05\r\n"
                      "AB;1;2025;7;;2025-01-15;1,000.25;x.csv;2025-02-03T10:30:05\r\n")
        << QStringList{"0 10002500 03/02/2025 10:30:05 x.csv", "1 12345000 03/02/2025 09:05:00 x.csv"};
    QTest::newRow("unreadable lines counted, empty rows not")
        << kStart + "AB;1;2025;sette;;15/01/2025;100;x.csv;03/02/2025 10:30:05\r\n"
                    "AB;1;2025;7;;15/01/2025;100;x.csv\r\n"
                    "AB;1;2025;7;;15/01/2025;1,2.3,4;x.csv;03/02/2025 10:30:05\r\n"
                    "AB;1;2025;7;;15/01/2025;100;x.csv;31/02/2025 10:30:05\r\n"
                    "\r\n;;;;;;;;\r\n"
           + seven + "\r\n"
        << QStringList{sevenFound, "unreadable 4"};
    QTest::newRow("unfinished last line passed over")
        << kStart + seven + "\r\nAB;1;2025;8;bis;20/01/2025;12,5;x.csv;03/02/2025 10:3" << QStringList{sevenFound};
    QTest::newRow("whole last line without its end") << kStart + seven << QStringList{sevenFound};
    QTest::newRow("titles alone") << kStart << QStringList();
    QTest::newRow("other sezionale, year, Apice")
        << QByteArray("AB;2;2025;7;;15/01/2025;100;x.csv;03/02/2025 10:30:05\r\n"
                      "AB;1;2024;7;;15/01/2024;100;x.csv;03/02/2025 10:30:05\r\n"
                      "AB;1;2025;8;BIS;20/01/2025;12,5;x.csv;03/02/2025 10:30:05\r\n"
                      "AB;1;2025;8;;20/01/2025;12,5;x.csv;03/02/2025 10:30:05\r\n"
                      "AB;1;2025;7;a;15/01/2025;100;x.csv;03/02/2025 10:30:05\r\n")
                                                 << QStringList();
}

void TestJournal::readsWhatASpreadsheetLeaves()
{
    QFETCH(QByteArray, journal);
    QFETCH(QStringList, found);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("TolmRegistro.csv"));
    writeWholeFile(path, journal);
    QCOMPARE(::found(ExportJournal(path).lookUp(records(), 1), 3), found);
}

void TestJournal::appendAfterUnfinishedEnd_data()
{
    QTest::addColumn<QByteArray>("before"); // null: no file
    QTest::addColumn<QByteArray>("after");  // before the new line

    const QByteArray seven = "AB;1;2025;7;;15/01/2025;100;x.csv;03/02/2025 10:30:05";
    QTest::newRow("no journal") << QByteArray() << kStart;
    QTest::newRow("empty") << QByteArray("") << kStart;
    QTest::newRow("ends with its line end") << kStart + seven + "\r\n" << kStart + seven + "\r\n";
    QTest::newRow("remains of a line cut away") << kStart + seven + "\r\nAB;1;2025;8;bi" << kStart + seven + "\r\n";
    QTest::newRow("remains of the titles cut away") << QByteArray("\xEF\xBB\xBFIntestazione;Sezio") << kStart;
    QTest::newRow("whole line without its end kept") << kStart + seven << kStart + seven + "\r\n";

}

void TestJournal::appendFollowsMovedColumns()
{
    // A spreadsheet moved the columns, dropped some and added one: the new
    // lines stand where the titles say, and are read back.
    QTemporaryDir dir;
    const ExportJournal journal(dir.filePath(QStringLiteral("TolmRegistro.csv")));
    const QByteArray before = "Numero;Anno;Apice;Note;Sezionale;Totale;File;Esportata il\r\n"
                              "7;2025;;vista;1;100;x.csv;03/02/2025 10:30:05";
    writeWholeFile(journal.path(), before);
    journal.append({records()[1]}, QStringLiteral("AB"), QStringLiteral("1"), QStringLiteral("y.csv"), kMoment,
                   kItalian);
    QCOMPARE(readWholeFile(journal.path()), before + "\r\n8;2025;bis;;1;12,5;y.csv;03/02/2025 10:30:05\r\n");
    QCOMPARE(found(journal.lookUp(records(), 1), 3),
             (QStringList{"0 1000000 03/02/2025 10:30:05 x.csv", "1 125000 03/02/2025 10:30:05 y.csv"}));
}

void TestJournal::appendAfterUnfinishedEnd()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    const ExportJournal journal(dir.filePath(QStringLiteral("TolmRegistro.csv")));
    if (!before.isNull())
        writeWholeFile(journal.path(), before);
    journal.append({records()[0]}, QStringLiteral("AB"), QStringLiteral("1"), QStringLiteral("y.csv"), kMoment,
                   kItalian);
    QCOMPARE(readWholeFile(journal.path()), after + "AB;1;2025;7;;15/01/2025;100;y.csv;03/02/2025 10:30:05\r\n");
}

void TestJournal::manyLines()
{
    // More lines than one piece of the writer and than one read of the
    // reader: every invoice found, none unreadable.
    std::vector<InvoiceRecord> table;
    for (int n = 1; n <= 70000; ++n)
        table.push_back(invoice(QDate(2025, 1, 1).addDays(n % 365), n, n % 3 ? "" : "bis", n));
    QTemporaryDir dir;
    const ExportJournal journal(dir.filePath(QStringLiteral("TolmRegistro.csv")));
    journal.append(table, QStringLiteral("AB"), QStringLiteral("1"), kFile, kMoment, kItalian);
    QVERIFY(QFileInfo(journal.path()).size() > 4 << 20);
    int progress = 0;
    const ExportHistory history = journal.lookUp(table, 1, [&] { ++progress; });
    QCOMPARE(history.exportedCount(), qsizetype(table.size()));
    QCOMPARE(history.unreadableLines(), 0);
    QCOMPARE(history.exportOf(69999)->total, table[69999].totale());
    QVERIFY(progress > 0);
}

void TestJournal::cannotBeWritten_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::addColumn<int>("error");
    QTest::newRow("read-only") << QStringLiteral("read-only") << EACCES;
    QTest::newRow("immutable") << QStringLiteral("immutable") << EPERM;
    QTest::newRow("a folder in its place") << QStringLiteral("folder") << EISDIR;
}

void TestJournal::cannotBeWritten()
{
    QFETCH(QString, obstacle);
    QFETCH(int, error);
    QTemporaryDir dir;
    const ExportJournal journal(dir.filePath(QStringLiteral("TolmRegistro.csv")));
    const QByteArray before = kStart + "AB;1;2025;7;;15/01/2025;100;x.csv;03/02/2025 10:30:05\r\n";
    std::unique_ptr<Immutable> locked;
    if (obstacle == QLatin1String("folder")) {
        QVERIFY(QDir().mkdir(journal.path()));
    } else {
        writeWholeFile(journal.path(), before);
        if (obstacle == QLatin1String("read-only")) {
            QVERIFY(QFile::setPermissions(journal.path(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        } else {
            locked = std::make_unique<Immutable>(journal.path());
            VERIFY_IMMUTABLE(*locked);
        }
    }

    const QString message = errorOf([&] {
        journal.append(records(), QStringLiteral("AB"), QStringLiteral("1"), kFile, kMoment, kItalian);
    });
    QVERIFY2(message.startsWith(notWritten(journal.path())), qPrintable(message));
#ifndef Q_OS_WIN
    QCOMPARE(message, notWritten(journal.path()) + QString::fromLocal8Bit(std::strerror(error)));
#else
    Q_UNUSED(error);
#endif
    locked.reset();
    if (obstacle != QLatin1String("folder"))
        QCOMPARE(readWholeFile(journal.path()), before);
    // It is still read.
    QCOMPARE(found(journal.lookUp(records(), 1), 1).size(), obstacle == QLatin1String("folder") ? 0 : 1);
}

void TestJournal::diskFullKeepsWholeLines()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("small"));
    SmallDisk disk(folder);
    VERIFY_MOUNTED(disk);
    const ExportJournal journal(folder + QStringLiteral("/TolmRegistro.csv"));
    const std::vector<InvoiceRecord> first = records();
    journal.append(first, QStringLiteral("AB"), QStringLiteral("1"), kFile, kMoment, kItalian);
    const QByteArray before = readWholeFile(journal.path());

    std::vector<InvoiceRecord> table;
    for (int n = 100; n < 3000; ++n)
        table.push_back(invoice(QDate(2025, 3, 1), n, "", n));
    QCOMPARE(errorOf([&] {
                 journal.append(table, QStringLiteral("AB"), QStringLiteral("1"), kFile, kMoment, kItalian);
             }),
             notWritten(journal.path()) + QString::fromLocal8Bit(std::strerror(ENOSPC)));
    // The lines before stand; of the new ones, whole lines only.
    const QByteArray after = readWholeFile(journal.path());
    QVERIFY(after.startsWith(before));
    QVERIFY(after.size() > before.size());
    QVERIFY(after.endsWith("\r\n"));
    const ExportHistory history = journal.lookUp(table, 1);
    QCOMPARE(history.unreadableLines(), 0);
    QCOMPARE(history.exportedCount(), qsizetype(after.count('\n') - before.count('\n')));
    QVERIFY(history.exportedCount() < qsizetype(table.size()));
    QCOMPARE(journal.lookUp(first, 1).exportedCount(), 3);
}

void TestJournal::twoProgramsAppendAtOnce()
{
    // Two programs on one folder export 200 times 50 invoices each into the
    // same journal, while this one reads it over and over.
    constexpr int kExports = 200;
    constexpr int kInvoices = 50;
    QTemporaryDir dir;
    const ExportJournal journal(dir.filePath(QStringLiteral("TolmRegistro.csv")));
    const QString count = QString::number(kExports), size = QString::number(kInvoices);
    Peer first({QStringLiteral("journal"), journal.path(), QStringLiteral("1"), count, size});
    Peer second({QStringLiteral("journal"), journal.path(), QStringLiteral("2"), count, size});
    first.begin();
    second.begin();
    std::vector<InvoiceRecord> table;
    for (int n = 1; n <= kExports * kInvoices; ++n)
        table.push_back(invoice(QDate(2025, 1, 1), n, "", 100 * n));

    // A line still being written is passed over, never counted unreadable.
    int reads = 0;
    for (;;) {
        const bool firstRuns = first.running(1);
        if (!second.running(1) && !firstRuns)
            break;
        const ExportHistory history = journal.lookUp(table, 1 + reads % 2);
        QCOMPARE(history.unreadableLines(), 0);
        ++reads;
    }
    QVERIFY2(first.succeeded(), qPrintable(first.errors()));
    QVERIFY2(second.succeeded(), qPrintable(second.errors()));
    qInfo("the journal read %d times while it was written", reads);

    // Every line there once and whole.
    const QByteArray text = readWholeFile(journal.path());
    QVERIFY(text.startsWith(kStart));
    QVERIFY(text.endsWith("\r\n"));
    const QList<QByteArray> lines = text.sliced(kStart.size()).chopped(1).split('\n');
    QCOMPARE(lines.size(), 2 * kExports * kInvoices);
    const QRegularExpression whole(QStringLiteral(
        "^P([12]);\\1;2025;([0-9]+);;01/01/2025;[0-9.,]+;P\\1\\.csv;[0-9]{2}/[0-9]{2}/[0-9]{4} [0-9:]{8}\r$"));
    QSet<QByteArray> keys;
    for (const QByteArray &line : lines) {
        const QRegularExpressionMatch match = whole.match(QString::fromLatin1(line));
        QVERIFY2(match.hasMatch(), line.constData());
        const int numero = match.captured(2).toInt();
        QVERIFY2(numero >= 1 && numero <= kExports * kInvoices, line.constData());
        keys.insert(match.captured(1).toLatin1() + ' ' + match.captured(2).toLatin1());
    }
    QCOMPARE(keys.size(), lines.size());
    for (const int sezionale : {1, 2}) {
        const ExportHistory history = journal.lookUp(table, sezionale);
        QCOMPARE(history.exportedCount(), qsizetype(table.size()));
        QCOMPARE(history.unreadableLines(), 0);
        QCOMPARE(history.exportOf(table.size() - 1)->total, table.back().totale());
    }
}

void TestJournal::heldByAnotherProgram_data()
{
    QTest::addColumn<int>("hold"); // milliseconds
    QTest::addColumn<bool>("waited");
    QTest::newRow("for less than the wait: appended after it") << 1500 << true;
    QTest::newRow("for longer: said, nothing torn") << 8000 << false;
}

void TestJournal::heldByAnotherProgram()
{
    QFETCH(int, hold);
    QFETCH(bool, waited);
    QTemporaryDir dir;
    const ExportJournal journal(dir.filePath(QStringLiteral("TolmRegistro.csv")));
    const QByteArray before = kStart + "AB;1;2025;7;;15/01/2025;100;x.csv;03/02/2025 10:30:05\r\n";
    writeWholeFile(journal.path(), before);

    // Another program stops halfway through its line, the journal locked.
    Peer other({QStringLiteral("hold"), journal.path(), QString::number(hold)});
    QVERIFY(other.says("holding"));
    const QByteArray held(Peer::kHeldLine);
    QCOMPARE(readWholeFile(journal.path()), before + held.first(held.size() / 2));
    // Its unfinished line is no unreadable one.
    QCOMPARE(found(journal.lookUp(records(), 1), 3), QStringList{"0 1000000 03/02/2025 10:30:05 x.csv"});

    const QString message = errorOf([&] {
        journal.append({records()[1]}, QStringLiteral("AB"), QStringLiteral("1"), kFile, kMoment, kItalian);
    });
    QVERIFY2(other.succeeded(), qPrintable(other.errors()));
    const QByteArray eight = "AB;1;2025;8;bis;20/01/2025;12,5;" + kFile.toLatin1() + ";03/02/2025 10:30:05\r\n";
    if (waited) {
        QCOMPARE(message, QStringLiteral("<no error>"));
        QCOMPARE(readWholeFile(journal.path()), before + held + eight);
    } else {
        QCOMPARE(message, notWritten(journal.path())
                              + QStringLiteral("un altro Tolm Export, su questo o su un altro computer, sta scrivendo "
                                               "nel registro da più di 5 secondi"));
        QCOMPARE(readWholeFile(journal.path()), before + held);
    }
}

QTEST_GUILESS_MAIN(TestJournal)
#include "test_journal.moc"
