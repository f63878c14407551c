// Extraction of invoices into the invoice table, the export of that table and
// the association action, through the data module against real Firebird
// databases (embedded engine; the private test server where a row names it).
#include "firebird/IBDataSet.h"
#include "firebird/IBDatabase.h"
#include "firebird/IBTransaction.h"
#include "data/ExtractionRun.h"
#include "data/TDataModule1.h"
#include "dialogs/AssociationAction.h"
#include "dialogs/TDlgSezionale.h"
#include "platform/ProfileFile.h"
#include "platform/TolmError.h"
#include "settings/TConfigurazione.h"
#include "support/DataModuleSteps.h"
#include "support/ExportSamples.h"
#include "support/FbFixture.h"
#include "support/Immutable.h"
#include "support/NextDialog.h"
#include "support/TestFolder.h"
#include "support/TestProgram.h"
// GCC 12 sees a false "maybe uninitialized" in the optional<QString> queues.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "support/TestPrompter.h"
#pragma GCC diagnostic pop

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <limits>
#include <memory>

using FbFixture::Invoice;
using FbFixture::invoice;

namespace {

const QDate kFrom(2025, 1, 15);
const QDate kTo(2025, 1, 31);

// Tolm.ini: the configuration database, the patient databases (keys 1, 2,
// ...), the stored associations and the accounting codes.
QByteArray settings(const QString &config, const QStringList &patients, const QString &more = QString())
{
    return settingsFileText(config, patients,
                            QStringLiteral("[AssSezionale]\nZZ=9\n01=1\n03=ab\nIJ=456\n"
                                           "[Generale]\nCreaSottocartelle=0\n")
                                + accountingCodeLines() + more);
}

// A data module started on its own program folder, with a recording prompter.
using Program = TestProgram;

// One invoice as stored, every field in the table's order joined by "|":
// data, numero, Apice, Cognome, nome, cf, importo, bollo, importoiva,
// importora, totale (ten-thousandths), P.Iva, Descrizione, indirizzo, cap,
// citta, provincia. Texts are the stored Windows-1252 bytes.
QByteArray record(const InvoiceRecord &r)
{
    return QByteArrayList{r.data.toString(Qt::ISODate).toLatin1(), QByteArray::number(r.numero), r.Apice.bytes(),
                          r.Cognome.bytes(), r.nome.bytes(), r.cf.bytes(), QByteArray::number(r.importo),
                          QByteArray::number(r.bollo), QByteArray::number(r.importoiva),
                          QByteArray::number(r.importora), QByteArray::number(r.totale()), r.sogiva.bytes(),
                          r.descrizione(), r.indirizzo.bytes(), r.cap.bytes(), r.citta.bytes(), r.provincia.bytes()}
        .join('|');
}

QByteArrayList records(const InvoiceTable &table)
{
    QByteArrayList rows;
    for (const InvoiceRecord &r : table.records())
        rows << record(r);
    return rows;
}

QByteArrayList surnames(const InvoiceTable &table)
{
    QByteArrayList rows;
    for (const InvoiceRecord &r : table.records())
        rows << r.Cognome.bytes();
    return rows;
}

QStringList sezionali(const AssociationTable &table)
{
    QStringList values;
    for (int i = 0; i < table.size(); ++i)
        values << QString::fromLatin1(table.row(i).Sezionale);
    return values;
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

// Edits a cell through the dialog's grid, as its editor does.
void editCell(TDlgSezionale &dialog, int row, int column, const QString &text)
{
    QAbstractItemModel *model = dialog.DBGrid1->model();
    QVERIFY(model->setData(model->index(row, column), text));
}

using ExportSamples::kHeader;

} // namespace

class TestExtraction : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir{QStringLiteral("/tmp/tolm-extraction-XXXXXX")};
    QString m_config;
    QString m_main3, m_main1;    // the same January in dialect 3 and 1
    QString m_orderA, m_orderB;  // invoices of equal day and number
    QString path(const QString &name) const { return m_dir.filePath(name); }
    static QString invoicesOfJanuary(int dialect);

private slots:
    void initTestCase();
    void init();

    void bothDialectsGiveTheSameTable_data();
    void bothDialectsGiveTheSameTable();
    void lastDayCountsWhole_data();
    void lastDayCountsWhole();
    void orderAcrossDatabases_data();
    void orderAcrossDatabases();
    void readAtOnceAsOneAfterAnother();
    void cancontinue_data();
    void cancontinue();
    void headingCodeIsCut();
    void sezionaleRefusal_data();
    void sezionaleRefusal();
    void unreachableDatabaseHalfway();
    void unusualDatabaseNames_data();
    void unusualDatabaseNames();
    void amountsAtTheLimits_data();
    void amountsAtTheLimits();

    void exportWithoutDatabases();
    void exportFailure_data();
    void exportFailure();

    void associationDialog_data();
    void associationDialog();
    void associationFailedWriteKeepsEdits();
};

QString TestExtraction::invoicesOfJanuary(int dialect)
{
    Invoice first = invoice(1, QDate(2025, 1, 15), QStringLiteral("Niccolò"), QStringLiteral("NCCLGU70B02F205X"));
    first.apice = QStringLiteral("bis");
    first.nome = QStringLiteral("Luigi");
    first.indirizzo = QStringLiteral("Via Roma 1");
    first.cap = QStringLiteral("00100");
    first.citta = QStringLiteral("Perù");
    first.provincia = QStringLiteral("RM");
    first.importo = QStringLiteral("100.00");
    first.importoTasse = QStringLiteral("2.00");
    first.importoIva = QStringLiteral("22.00");
    first.importoRa = QStringLiteral("20.00");
    // 35 characters
    Invoice last = invoice(2, QDate(2025, 1, 31), QStringLiteral("Abcdefghij").repeated(3) + QStringLiteral("Klmno"),
                           QStringLiteral("RSSMRA80A01H501U"));
    last.importo = QStringLiteral("-50.00");
    Invoice zero = invoice(3, QDate(2025, 1, 20), QStringLiteral("Verdi"), QString());
    Invoice before = invoice(4, QDate(2025, 1, 14), QStringLiteral("Prima"), QStringLiteral("X"));
    Invoice after = invoice(5, QDate(2025, 2, 1), QStringLiteral("Dopo"), QStringLiteral("X"));
    Invoice otherHeading = invoice(6, QDate(2025, 1, 20), QStringLiteral("Altra"), QStringLiteral("X"));
    otherHeading.intestazione = QStringLiteral("02");
    Invoice notIssued = invoice(7, QDate(2025, 1, 20), QStringLiteral("Tipo2"), QStringLiteral("X"));
    notIssued.tipo = 2;
    Invoice cut = invoice(10, QDate(2025, 1, 20), QStringLiteral("Taglio"), QStringLiteral("X"));
    cut.intestazione = QStringLiteral("IJ");
    Invoice whole = invoice(11, QDate(2025, 1, 20), QStringLiteral("Intero"), QStringLiteral("X"));
    whole.intestazione = QStringLiteral("IJK");

    QString sql;
    for (const Invoice &i : {first, last, zero, before, after, otherHeading, notIssued, cut, whole})
        sql += FbFixture::insertInvoice(i);
    if (dialect == 1) {
        // DATA is a timestamp: just before the first day.
        Invoice eveBefore = invoice(9, QDate(2025, 1, 14), QStringLiteral("Vigilia"), QStringLiteral("X"));
        eveBefore.ora = QTime(23, 59, 59);
        sql += FbFixture::insertInvoice(eveBefore);
    }
    return sql + FbFixture::insertPatient(QStringLiteral("NCCLGU70B02F205X"), QStringLiteral("01234567890"));
}

void TestExtraction::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));

    m_config = path(QStringLiteral("config.fdb"));
    QVERIFY(FbFixture::createConfigDatabase(m_config));
    QVERIFY(FbFixture::runSql(m_config, FbFixture::insertHeading(QStringLiteral("01"), QStringLiteral("Studio Uno"))
                                            + FbFixture::insertHeading(QStringLiteral("02"), QStringLiteral("Studio Due"))
                                            + FbFixture::insertHeading(QStringLiteral("03"), QStringLiteral("Studio Tre"))
                                            + FbFixture::insertHeading(QStringLiteral("IJK"), QStringLiteral("Studio Quattro"))));

    m_main3 = path(QStringLiteral("main3.fdb"));
    m_main1 = path(QStringLiteral("main1.fdb"));
    QVERIFY(FbFixture::createPatientDatabase(m_main3, 3));
    QVERIFY(FbFixture::createPatientDatabase(m_main1, 1));
    QVERIFY(FbFixture::runSql(m_main1, invoicesOfJanuary(1)));
    // Months that try the tax code flag.
    Invoice nullCf = invoice(22, QDate(2025, 4, 5), QStringLiteral("Nullo"), std::nullopt);
    QString months;
    for (const Invoice &i : {invoice(20, QDate(2025, 3, 5), QStringLiteral("Marzo"), QStringLiteral("CF1")),
                             invoice(21, QDate(2025, 3, 6), QStringLiteral("Marzo"), QStringLiteral("CF2")),
                             nullCf,
                             invoice(23, QDate(2025, 4, 6), QStringLiteral("Aprile"), QStringLiteral("CF3")),
                             invoice(24, QDate(2025, 5, 5), QStringLiteral("Vuoto"), QString()),
                             invoice(25, QDate(2025, 6, 5), QStringLiteral("Spazi"), QStringLiteral("   "))})
        months += FbFixture::insertInvoice(i);
    QVERIFY(FbFixture::runSql(m_main3, invoicesOfJanuary(3) + months));

    // Day 10 March: numbers 12 and 5 in A, 7 and 5 in B; B also has 9 March.
    m_orderA = path(QStringLiteral("orderA.fdb"));
    m_orderB = path(QStringLiteral("orderB.fdb"));
    const QDate day(2025, 3, 10);
    QVERIFY(FbFixture::createPatientDatabase(m_orderA));
    QVERIFY(FbFixture::createPatientDatabase(m_orderB));
    QVERIFY(FbFixture::runSql(m_orderA, FbFixture::insertInvoice(invoice(12, day, QStringLiteral("A12"), QStringLiteral("CF")))
                                            + FbFixture::insertInvoice(invoice(5, day, QStringLiteral("A5"), QStringLiteral("CF")))));
    QVERIFY(FbFixture::runSql(m_orderB, FbFixture::insertInvoice(invoice(7, day, QStringLiteral("B7"), QStringLiteral("CF")))
                                            + FbFixture::insertInvoice(invoice(5, day, QStringLiteral("B5"), QStringLiteral("CF")))
                                            + FbFixture::insertInvoice(invoice(20, day.addDays(-1), QStringLiteral("B20"), QStringLiteral("CF")))));
}

void TestExtraction::init()
{
    clearMissedDialogs();
}

void TestExtraction::bothDialectsGiveTheSameTable_data()
{
    QTest::addColumn<int>("dialect");
    QTest::newRow("dialect 3") << 3;
    QTest::newRow("dialect 1") << 1;
}

void TestExtraction::bothDialectsGiveTheSameTable()
{
    QFETCH(int, dialect);
    Program p(settings(m_config, {dialect == 1 ? m_main1 : m_main3}));
    selectHeading(*p.dm, "01");
    p.dm->EstraiDati(1, kFrom, kTo);

    // First and last day included; 14 January (in dialect 1 also at
    // 23:59:59) and 1 February, another heading and another kind of entry
    // left out. Accented letters as Windows-1252, the surname cut to 30,
    // the withholding tax in the total.
    QCOMPARE(records(p.dm->dxMemDataFatture),
             (QByteArrayList{
                 "2025-01-15|1|bis|Niccol\xF2|Luigi|NCCLGU70B02F205X|1000000|20000|220000|200000|1440000|"
                 "01234567890|Fattura Emessa|Via Roma 1|00100|Per\xF9|RM",
                 "2025-01-20|3||Verdi|||0|0|0|0|0||Fattura Emessa||||",
                 "2025-01-31|2||AbcdefghijAbcdefghijAbcdefghij||RSSMRA80A01H501U|-500000|0|0|0|-500000||"
                 "Nota di Credito||||",
             }));
    QVERIFY(!p.dm->cancontinue); // Verdi has an empty tax code
    QCOMPARE(p.prompter.all, QStringList());
}

void TestExtraction::lastDayCountsWhole_data()
{
    QTest::addColumn<int>("dialect");
    QTest::addColumn<QString>("dataType"); // DATA's own type; empty: the fixture's DATE

    QTest::newRow("dialect 1: DATE holds a time") << 1 << QString();
    QTest::newRow("dialect 3: DATE") << 3 << QString();
    QTest::newRow("dialect 3: TIMESTAMP") << 3 << QStringLiteral("TIMESTAMP");
}

void TestExtraction::lastDayCountsWhole()
{
    QFETCH(int, dialect);
    QFETCH(QString, dataType);
    const QString file = path(QStringLiteral("whole-day-%1%2.fdb").arg(dialect).arg(dataType));
    QVERIFY(FbFixture::createPatientDatabase(file, dialect));
    if (!dataType.isEmpty())
        QVERIFY(FbFixture::runSql(file, QStringLiteral("ALTER TABLE contab ALTER COLUMN DATA TYPE %1;\n").arg(dataType)));
    const bool withTime = dialect == 1 || !dataType.isEmpty();
    QString sql;
    int numero = 0;
    const auto add = [&](QDate day, QTime time) {
        ++numero;
        Invoice i = invoice(numero, day, QStringLiteral("N%1").arg(numero), QStringLiteral("X"));
        if (withTime)
            i.ora = time;
        sql += FbFixture::insertInvoice(i);
    };
    const QTime midnight(0, 0), noon(12, 0), last(23, 59, 59);
    add(kFrom.addDays(-1), last); // 1: the day before
    for (const QDate &day : {kFrom, kTo}) {
        for (const QTime &time : {midnight, noon, last})
            add(day, time); // 2 to 7
    }
    add(kTo.addDays(1), midnight); // 8: the day after
    QVERIFY(FbFixture::runSql(file, sql));

    Program p(settings(m_config, {file}));
    selectHeading(*p.dm, "01");
    p.dm->EstraiDati(1, kFrom, kTo);
    // Every time of the first and the last day; without a time, a day's
    // three invoices are the same day's.
    QCOMPARE(surnames(p.dm->dxMemDataFatture), (QByteArrayList{"N2", "N3", "N4", "N5", "N6", "N7"}));
    QCOMPARE(p.prompter.all, QStringList());
}

void TestExtraction::orderAcrossDatabases_data()
{
    QTest::addColumn<bool>("aFirst");
    QTest::addColumn<QByteArrayList>("expected");

    QTest::newRow("A then B") << true << QByteArrayList{"B20", "A5", "B5", "B7", "A12"};
    QTest::newRow("B then A") << false << QByteArrayList{"B20", "B5", "A5", "B7", "A12"};
}

void TestExtraction::orderAcrossDatabases()
{
    QFETCH(bool, aFirst);
    QFETCH(QByteArrayList, expected);
    Program p(settings(m_config, aFirst ? QStringList{m_orderA, m_orderB} : QStringList{m_orderB, m_orderA}));
    selectHeading(*p.dm, "01");
    QSignalSpy resets(&p.dm->dxMemDataFatture, &InvoiceTable::reset);
    p.dm->EstraiDati(1, QDate(2025, 3, 1), QDate(2025, 3, 31));
    QCOMPARE(surnames(p.dm->dxMemDataFatture), expected);
    // Emptied as the read begins, filled once when it ends.
    QCOMPARE(resets.count(), 2);
    QVERIFY(p.dm->cancontinue);
    // Each database was read on an attachment of the read's own, closed when
    // its rows were in.
    for (size_t i = 0; i < p.dm->listDB->size(); ++i) {
        QVERIFY(!(*p.dm->listDB)[i]->Connected());
        QVERIFY(!(*p.dm->listTR)[i]->InTransaction());
    }
    QVERIFY(!p.dm->IBDataSetExport->Active());

    // A second extraction reads everything again, once.
    p.dm->EstraiDati(1, QDate(2025, 3, 1), QDate(2025, 3, 31));
    QCOMPARE(surnames(p.dm->dxMemDataFatture), expected);
    QCOMPARE(resets.count(), 4);
}

// The databases read at once give the file that reading them one after
// another gives, byte for byte: three databases, one of them listed twice.
void TestExtraction::readAtOnceAsOneAfterAnother()
{
    const QStringList databases{m_orderA, m_main3, m_orderB, m_orderA};
    QByteArrayList files;
    for (int readers : {1, ExtractionRun::kReadersAtOnce}) {
        ExtractionRun::setReadersAtOnce(readers);
        Program p(settings(m_config, databases));
        selectHeading(*p.dm, "01");
        const QString out = path(QStringLiteral("at-once-%1").arg(readers));
        p.dm->configurazione->setCartellaEsportazione(out);
        QCOMPARE(errorOf([&] { p.dm->EstraiDati(0, QDate(2025, 1, 1), QDate(2025, 3, 31)); }),
                 QStringLiteral("<no error>"));
        files << readWholeFile(out + QStringLiteral("/EsportazioneVelmora - Sezionale1.csv"));
        QCOMPARE(p.prompter.all, QStringList());
    }
    ExtractionRun::setReadersAtOnce(ExtractionRun::kReadersAtOnce);
    QVERIFY(files[0].count("\r\n") > 10);
    QCOMPARE(files[1], files[0]);
}

void TestExtraction::cancontinue_data()
{
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("expected");

    QTest::newRow("every tax code present") << QDate(2025, 3, 1) << QDate(2025, 3, 31) << 2 << true;
    QTest::newRow("a null tax code first") << QDate(2025, 4, 1) << QDate(2025, 4, 30) << 2 << false;
    QTest::newRow("an empty tax code") << QDate(2025, 5, 1) << QDate(2025, 5, 31) << 1 << false;
    QTest::newRow("a tax code of blanks") << QDate(2025, 6, 1) << QDate(2025, 6, 30) << 1 << true;
    QTest::newRow("no invoice in the range") << QDate(2025, 7, 1) << QDate(2025, 7, 31) << 0 << true;
    QTest::newRow("first day after the last") << QDate(2025, 3, 31) << QDate(2025, 3, 1) << 0 << true;
}

void TestExtraction::cancontinue()
{
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(int, count);
    QFETCH(bool, expected);
    Program p(settings(m_config, {m_main3}));
    selectHeading(*p.dm, "01");
    // An earlier extraction with a missing tax code does not carry over.
    p.dm->EstraiDati(1, QDate(2025, 4, 1), QDate(2025, 4, 30));
    QVERIFY(!p.dm->cancontinue);

    p.dm->EstraiDati(1, from, to);
    QCOMPARE(p.dm->dxMemDataFatture.size(), count);
    QCOMPARE(p.dm->cancontinue, expected);
    QCOMPARE(p.prompter.all, QStringList());
}

void TestExtraction::headingCodeIsCut()
{
    // The configuration database says IJK; the heading is IJ.
    Program p(settings(m_config, {m_main3}));
    selectHeading(*p.dm, "IJ");
    p.dm->EstraiDati(1, kFrom, kTo);
    QCOMPARE(surnames(p.dm->dxMemDataFatture), QByteArrayList{"Taglio"});
}

void TestExtraction::sezionaleRefusal_data()
{
    QTest::addColumn<QByteArray>("sigla");
    QTest::addColumn<QString>("information");
    QTest::addColumn<bool>("raises");

    QTest::newRow("no sezionale") << QByteArray("02") << QStringLiteral("Nessun Sezionale impostato") << false;
    QTest::newRow("not a number") << QByteArray("03") << QString() << true;
}

void TestExtraction::sezionaleRefusal()
{
    QFETCH(QByteArray, sigla);
    QFETCH(QString, information);
    QFETCH(bool, raises);
    Program p(settings(m_config, {m_main3}));
    selectHeading(*p.dm, "01");
    p.dm->EstraiDati(1, kFrom, kTo);
    const QByteArrayList before = records(p.dm->dxMemDataFatture);
    QCOMPARE(before.size(), 3);
    const QString out = path(QStringLiteral("refused"));
    p.dm->configurazione->setCartellaEsportazione(out);

    selectHeading(*p.dm, sigla);
    QSignalSpy resets(&p.dm->dxMemDataFatture, &InvoiceTable::reset);
    for (int azione : {1, 2, 0}) {
        p.prompter.clear();
        const QString error = errorOf([&] { p.dm->EstraiDati(azione, kFrom, kTo); });
        QCOMPARE(error != QStringLiteral("<no error>"), raises);
        if (raises)
            QVERIFY2(error.contains(QLatin1String("ab")), qPrintable(error));
        QCOMPARE(p.prompter.all, information.isEmpty() ? QStringList() : QStringList{information});
    }
    QCOMPARE(records(p.dm->dxMemDataFatture), before);
    QCOMPARE(resets.count(), 0);
    QVERIFY(!QFileInfo::exists(out)); // nothing exported
}

void TestExtraction::unreachableDatabaseHalfway()
{
    const QString missing = path(QStringLiteral("missing.fdb"));
    Program p(settings(m_config, {m_orderA, missing, m_orderB}));
    selectHeading(*p.dm, "01");
    QSignalSpy resets(&p.dm->dxMemDataFatture, &InvoiceTable::reset);
    const QString error = errorOf([&] { p.dm->EstraiDati(1, QDate(2025, 3, 1), QDate(2025, 3, 31)); });
    // The client's message after the database's name as listed.
    QCOMPARE(error, QStringLiteral("%1: I/O error during \"open\" operation for file \"%1\"\n"
                                   "Error while trying to open file\n"
                                   "No such file or directory").arg(missing));
    // The first database's invoices stay, in order, as if the databases had
    // been read one after another; the grid was emptied, then filled once.
    QCOMPARE(surnames(p.dm->dxMemDataFatture), (QByteArrayList{"A5", "A12"}));
    QCOMPARE(resets.count(), 2);
    QVERIFY(!(*p.dm->listDB)[1]->Connected());
    QVERIFY(!(*p.dm->listDB)[2]->Connected());
    QCOMPARE(p.prompter.all, QStringList());
}

void TestExtraction::unusualDatabaseNames_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("throughServer");

    QTest::newRow("blanks") << QStringLiteral("dati pazienti.fdb") << false;
    QTest::newRow("accents and blanks") << QStringLiteral("città/città dati.fdb") << false;
    QTest::newRow("connection string") << QStringLiteral("server dati.fdb") << true;
}

void TestExtraction::unusualDatabaseNames()
{
    QFETCH(QString, file);
    QFETCH(bool, throughServer);
    if (throughServer)
        FB_REQUIRE_SERVER();
    const QString database = path(file);
    QVERIFY(QDir().mkpath(QFileInfo(database).path()));
    QVERIFY(FbFixture::createPatientDatabase(database));
    QVERIFY(FbFixture::runSql(database, FbFixture::insertInvoice(invoice(1, kFrom, QStringLiteral("Rossi"), QStringLiteral("CF")))));
    const QString name = throughServer ? FbFixture::serverConnectionString(database) : database;
    Program p(settings(m_config, {name}, QStringLiteral("[Database]\npwd=%1\n").arg(FbFixture::serverPassword())));
    selectHeading(*p.dm, "01");
    // File names here are UTF-8: blanks and accents must reach the client whole.
    QCOMPARE(errorOf([&] { p.dm->EstraiDati(1, kFrom, kTo); }), QStringLiteral("<no error>"));
    QCOMPARE(surnames(p.dm->dxMemDataFatture), QByteArrayList{"Rossi"});
}

void TestExtraction::amountsAtTheLimits_data()
{
    QTest::addColumn<int>("dialect");
    QTest::addColumn<QString>("column");      // IMPORTO's type; empty: as the fixture has it
    QTest::addColumn<QString>("importo");
    QTest::addColumn<QString>("importoTasse");
    QTest::addColumn<qint64>("stored");       // ten-thousandths, when it fits
    QTest::addColumn<QByteArray>("inFile");   // the amount's field in the file; empty: not checked
    QTest::addColumn<QString>("outOfRange");  // the value the error names; empty: it fits

    const QString n18 = QStringLiteral("NUMERIC(18,0)");
    QTest::newRow("largest whole amount") << 3 << n18 << "922337203685477" << "0" << Q_INT64_C(9223372036854770000)
                                          << QByteArray(";922337203685477;") << QString();
    QTest::newRow("smallest whole amount") << 3 << n18 << "-922337203685477" << "0"
                                           << Q_INT64_C(-9223372036854770000) << QByteArray(";-922337203685477;")
                                           << QString();
    QTest::newRow("one more") << 3 << n18 << "922337203685478" << "0" << qint64(0) << QByteArray()
                              << "922337203685478";
    QTest::newRow("one less") << 3 << n18 << "-922337203685478" << "0" << qint64(0) << QByteArray()
                              << "-922337203685478";
    QTest::newRow("1e15") << 3 << n18 << "1000000000000000" << "0" << qint64(0) << QByteArray()
                          << "1000000000000000";
    QTest::newRow("every bit, four decimals") << 3 << QStringLiteral("NUMERIC(18,4)") << "922337203685477.5807"
                                              << "0" << std::numeric_limits<qint64>::max() << QByteArray()
                                              << QString();
    QTest::newRow("total out of range") << 3 << n18 << "922337203685477" << "1.00" << qint64(0) << QByteArray()
                                        << "totale 922337203685478,0000";
    QTest::newRow("dialect 1, 1e14") << 1 << QString() << "1E14" << "0" << Q_INT64_C(1000000000000000000)
                                     << QByteArray(";100000000000000;") << QString();
    QTest::newRow("dialect 1, 1e16") << 1 << QString() << "1E16" << "0" << qint64(0) << QByteArray() << "1e+16";
}

void TestExtraction::amountsAtTheLimits()
{
    QFETCH(int, dialect);
    QFETCH(QString, column);
    QFETCH(QString, importo);
    QFETCH(QString, importoTasse);
    QFETCH(qint64, stored);
    QFETCH(QByteArray, inFile);
    QFETCH(QString, outOfRange);

    const QString database = path(QStringLiteral("limits%1.fdb").arg(QTest::currentDataTag()).remove(QLatin1Char(' ')));
    QVERIFY(FbFixture::createPatientDatabase(database, dialect));
    if (!column.isEmpty())
        QVERIFY(FbFixture::runSql(database, QStringLiteral("ALTER TABLE contab DROP IMPORTO;"
                                                           "ALTER TABLE contab ADD IMPORTO %1;").arg(column)));
    const QString before = path(QStringLiteral("before%1.fdb").arg(QTest::currentDataTag()).remove(QLatin1Char(' ')));
    QVERIFY(FbFixture::createPatientDatabase(before));
    QVERIFY(FbFixture::runSql(before, FbFixture::insertInvoice(invoice(7, QDate(2025, 1, 16), QStringLiteral("Prima"),
                                                                       QStringLiteral("CF7")))));
    Invoice large = invoice(1, QDate(2025, 1, 15), QStringLiteral("Grande"), QStringLiteral("CF1"));
    large.importo = importo;
    large.importoTasse = importoTasse;
    QVERIFY(FbFixture::runSql(database, FbFixture::insertInvoice(large)));

    Program p(settings(m_config, {before, database}));
    selectHeading(*p.dm, "01");
    const QString error = errorOf([&] { p.dm->EstraiDati(1, kFrom, kTo); });
    if (!outOfRange.isEmpty()) {
        QCOMPARE(error, QStringLiteral("Importo fuori intervallo nel database %1, fattura 1 del 15/01/2025: %2")
                            .arg(database, outOfRange));
        // The invoices read before stay; nothing out of range reaches the table.
        QCOMPARE(surnames(p.dm->dxMemDataFatture), QByteArrayList{"Prima"});
        return;
    }
    QCOMPARE(error, QStringLiteral("<no error>"));
    QCOMPARE(surnames(p.dm->dxMemDataFatture), (QByteArrayList{"Grande", "Prima"}));
    QCOMPARE(p.dm->dxMemDataFatture.at(0).importo, stored);
    if (inFile.isEmpty())
        return;
    p.dm->configurazione->setCartellaEsportazione(path(QStringLiteral("limits-out")));
    QCOMPARE(errorOf([&] { p.dm->EstraiDati(2, QDate(), QDate()); }), QStringLiteral("<no error>"));
    const QByteArray content =
        readWholeFile(path(QStringLiteral("limits-out/EsportazioneVelmora - Sezionale1.csv")));
    QVERIFY2(content.contains(inFile), content.constData());
}

void TestExtraction::exportWithoutDatabases()
{
    const QString database = path(QStringLiteral("export.fdb"));
    QVERIFY(FbFixture::createPatientDatabase(database));
    Invoice withStamp = invoice(1, kFrom, QStringLiteral("Niccolò"), QStringLiteral("NCCLGU70B02F205X"));
    withStamp.nome = QStringLiteral("Luigi");
    withStamp.indirizzo = QStringLiteral("Via Roma 1");
    withStamp.cap = QStringLiteral("00100");
    withStamp.citta = QStringLiteral("Perù");
    withStamp.provincia = QStringLiteral("RM");
    withStamp.importo = QStringLiteral("100.00");
    withStamp.importoTasse = QStringLiteral("2.00");
    withStamp.importoIva = QStringLiteral("22.00");
    Invoice plain = invoice(3, QDate(2025, 1, 20), QStringLiteral("Bianchi"), QStringLiteral("BNCGVN80A01H501X"));
    plain.importo = QStringLiteral("50.50");
    QVERIFY(FbFixture::runSql(database, FbFixture::insertInvoice(plain) + FbFixture::insertInvoice(withStamp)
                                            + FbFixture::insertPatient(QStringLiteral("NCCLGU70B02F205X"),
                                                                       QStringLiteral("01234567890"))));
    Program p(settings(m_config, {database}));
    selectHeading(*p.dm, "01");
    p.dm->EstraiDati(1, kFrom, kTo);
    QCOMPARE(p.dm->dxMemDataFatture.size(), 2);
    const QByteArrayList extracted = records(p.dm->dxMemDataFatture);

    // The export reads only the table.
    p.dm->listDB->front()->Close();
    QVERIFY(QFile::remove(database));
    const QString out = path(QStringLiteral("out/nested/deeper"));
    p.dm->configurazione->setCartellaEsportazione(out);
    p.dm->EstraiDati(2, QDate(), QDate());
    QCOMPARE(p.prompter.all, QStringList());
    QVERIFY(!p.dm->listDB->front()->Connected());
    QCOMPARE(records(p.dm->dxMemDataFatture), extracted);

    QCOMPARE(entriesOf(out), QStringList{"EsportazioneVelmora - Sezionale1.csv"});
    QCOMPARE(readWholeFile(out + QStringLiteral("/EsportazioneVelmora - Sezionale1.csv")),
             kHeader
                 + "1;V;1;150125;1;;1;150125;00000;;22;;100;22;S;D;A;V1;;;;NCCLGU70B02F205X;01234567890;"
                   "Niccol\xF2=Luigi;Via Roma 1;00100;Per\xF9;RM;N;N;;;;\r\n"
                   "1;V;1;150125;1;;2;150125;00000;;0;EB;2;;SB;DB;AB;VB;;;;NCCLGU70B02F205X;01234567890;"
                   "Niccol\xF2=Luigi;Via Roma 1;00100;Per\xF9;RM;N;N;;;;\r\n"
                   "1;V;1;200125;3;;1;200125;00000;;0;E1;50,5;;S;D;A;V1;;;;BNCGVN80A01H501X;;"
                   "Bianchi=;;;;;P;N;;;;\r\n");
}

void TestExtraction::exportFailure_data()
{
    QTest::addColumn<bool>("readOnlyFile"); // else a folder under a read-only one
    QTest::newRow("folder under a read-only folder") << false;
    QTest::newRow("read-only export file") << true;
}

void TestExtraction::exportFailure()
{
    QFETCH(bool, readOnlyFile);
    Program p(settings(m_config, {}));
    selectHeading(*p.dm, "01");
    const QString parent = path(readOnlyFile ? QStringLiteral("rofile") : QStringLiteral("rofolder"));
    QVERIFY(QDir().mkpath(parent));
    const QString out = readOnlyFile ? parent : parent + QStringLiteral("/sub");
    const QString file = out + QStringLiteral("/EsportazioneVelmora - Sezionale1.csv");
    p.dm->configurazione->setCartellaEsportazione(out);

    QString expected;
    std::unique_ptr<Immutable> locked;
    if (readOnlyFile) {
        writeWholeFile(file, "old\r\n");
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        expected = QStringLiteral("Cannot create file \"%1\". Permission denied").arg(file);
    } else {
        locked = std::make_unique<Immutable>(parent);
        QVERIFY(locked->ok());
        expected = QStringLiteral("Unable to create directory %1").arg(out);
    }
    QCOMPARE(errorOf([&] { p.dm->EstraiDati(2, QDate(), QDate()); }), expected);
    QCOMPARE(entriesOf(parent), readOnlyFile ? QStringList{QFileInfo(file).fileName()} : QStringList());
    if (readOnlyFile)
        QCOMPARE(readWholeFile(file), QByteArray("old\r\n"));
    QCOMPARE(p.prompter.all, QStringList()); // the caller reports it
}

void TestExtraction::associationDialog_data()
{
    QTest::addColumn<bool>("accept");
    QTest::addColumn<bool>("rowWithoutSigla");
    QTest::addColumn<QStringList>("section");
    QTest::addColumn<QStringList>("afterReload");

    // Stored: ZZ=9, 01=1, 03=ab, IJ=456; the table holds 01, 02, 03, IJ.
    const QStringList edited{"01=5", "02=-1", "03=ab", "IJ=45"};
    QTest::newRow("OK") << true << false << edited << QStringList{"5", "-1", "ab", "45"};
    QTest::newRow("OK, a row without Sigla") << true << true << edited << QStringList{"5", "-1", "ab", "45"};
    QTest::newRow("Cancel") << false << true << QStringList{"ZZ=9", "01=1", "03=ab", "IJ=456"}
                            << QStringList{"1", "-1", "ab", "45"};
}

void TestExtraction::associationDialog()
{
    QFETCH(bool, accept);
    QFETCH(bool, rowWithoutSigla);
    QFETCH(QStringList, section);
    QFETCH(QStringList, afterReload);
    Program p(settings(m_config, {m_main3}));
    const QByteArray ini = p.folder.readIni();
    TDataModule1 &dm = *p.dm;
    QCOMPARE(sezionali(dm.MTableAssIntest), (QStringList{"1", "-1", "ab", "45"}));

    answerNextDialog<TDlgSezionale>([&](TDlgSezionale &dialog) {
        editCell(dialog, 0, AssociationTable::ColSezionale, QStringLiteral("5"));
        if (rowWithoutSigla) {
            dm.MTableAssIntest.insertEmptyRow(dm.MTableAssIntest.size());
            editCell(dialog, dm.MTableAssIntest.size() - 1, AssociationTable::ColSezionale, QStringLiteral("8"));
        }
        QTest::mouseClick(accept ? dialog.OKBtn : dialog.CancelBtn, Qt::LeftButton);
    });
    runAssociationDialog(nullptr, dm);
    QVERIFY(!missedDialog());

    ProfileFile file(p.folder.iniPath());
    QCOMPARE(file.sectionLines(QStringLiteral("AssSezionale")), section);
    QCOMPARE(dm.configurazione->listasez, section);
    QCOMPARE(sezionali(dm.MTableAssIntest), afterReload);
    QCOMPARE(file.readString(QStringLiteral("Config"), QStringLiteral("file"), QString()), m_config);
    QCOMPARE(file.sectionValues(QStringLiteral("File")), QStringList{m_main3});
    QCOMPARE(file.readString(QStringLiteral("Generale"), QStringLiteral("ContoAvereBollo"), QString()),
             QStringLiteral("AB"));
    if (!accept)
        QCOMPARE(p.folder.readIni(), ini);
    // A row without a code leaves no line behind, not even one without a key.
    for (const QByteArray &line : p.folder.readIni().split('\n'))
        QVERIFY2(!line.trimmed().startsWith('='), line.constData());
    QCOMPARE(p.prompter.all, QStringList());
}

void TestExtraction::associationFailedWriteKeepsEdits()
{
    Program p(settings(m_config, {m_main3}));
    const QByteArray ini = p.folder.readIni();
    TDataModule1 &dm = *p.dm;
    answerNextDialog<TDlgSezionale>([&](TDlgSezionale &dialog) {
        editCell(dialog, 0, AssociationTable::ColSezionale, QStringLiteral("5"));
        QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
    });
    {
        Immutable locked(p.folder.iniPath());
        QVERIFY(locked.ok());
        QCOMPARE(errorOf([&] { runAssociationDialog(nullptr, dm); }),
                 QStringLiteral("Unable to write to %1").arg(p.folder.iniPath()));
    }
    QVERIFY(!missedDialog());
    QCOMPARE(sezionali(dm.MTableAssIntest), (QStringList{"5", "-1", "ab", "45"}));
    QCOMPARE(p.folder.readIni(), ini);
    QCOMPARE(dm.configurazione->listasez, (QStringList{"ZZ=9", "01=1", "03=ab", "IJ=456"}));
}

QTEST_MAIN(TestExtraction)
#include "test_extraction.moc"
