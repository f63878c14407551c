// The data module against real Firebird databases: what start-up builds from
// Tolm.ini, the failures of opening a connection, the heading association
// table, a read stopped by its listener or short of memory, and shutdown.
#include "firebird/FbClient.h"
#include "firebird/IBDataSet.h"
#include "firebird/IBDatabase.h"
#include "firebird/IBTransaction.h"
#include "data/ExtractionListener.h"
#include "data/TDataModule1.h"
#include "data/WorkerThreads.h"
#include "platform/TolmError.h"
#include "settings/TConfigurazione.h"
#include "support/DataModuleSteps.h"
#include "support/FbFixture.h"
#include "support/ShortOfMemory.h"
#include "support/TestFolder.h"
// GCC 12 sees a false "maybe uninitialized" in the optional<QString> queues.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "support/TestPrompter.h"
#pragma GCC diagnostic pop

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace {

const QString kHeading = QStringLiteral("01");
const QDate kFrom(2025, 1, 1);
const QDate kTo(2025, 1, 31);

// The rows of the association table as index|Sigla|Descrizione|Sezionale,
// texts as stored (Windows-1252 bytes).
QList<QByteArray> headingRows(const AssociationTable &table)
{
    QList<QByteArray> rows;
    for (int i = 0; i < table.size(); ++i) {
        const AssociationTable::Row &r = table.row(i);
        rows << QByteArray::number(r.index) + '|' + r.Sigla + '|' + r.Descrizione + '|' + r.Sezionale;
    }
    return rows;
}

// A prompter that also runs a check when a message is shown.
class WatchingPrompter : public TestPrompter
{
public:
    void information(const QString &text) override
    {
        TestPrompter::information(text);
        if (onInformation)
            onInformation();
    }
    std::function<void()> onInformation;
};

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

// Follows a read as the window does and asks it to stop once `stopAt`
// invoices have been read (never when negative). Every report is kept as
// "<database>/<databases> <invoices>".
class StoppingListener : public ExtractionListener
{
public:
    explicit StoppingListener(qint64 stopAt) : m_stopAt(stopAt) {}

    void progress(int database, int databases, qint64 invoices) override
    {
        reports << QStringLiteral("%1/%2 %3").arg(database).arg(databases).arg(invoices);
        counts << invoices;
        m_invoices = invoices;
    }
    bool shouldStop() override
    {
        ++questions;
        return m_stopAt >= 0 && m_invoices >= m_stopAt;
    }

    QStringList reports;
    QList<qint64> counts;
    int questions = 0;

private:
    qint64 m_stopAt;
    qint64 m_invoices = 0;
};

// How a read left the connections: "<query open>|<transactions active>".
QString connectionState(const TDataModule1 &dm)
{
    int active = 0;
    for (const auto &transaction : *dm.listTR)
        active += transaction->InTransaction() ? 1 : 0;
    return QStringLiteral("%1|%2").arg(dm.IBDataSetExport->Active()).arg(active);
}

} // namespace

class TestDataModule : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir{QStringLiteral("/tmp/tolm-datamodule-XXXXXX")};
    QString m_config;   // headings 01 and 02
    QString m_patients; // one invoice of heading 01
    QString m_many;     // kManyInvoices invoices of heading 01
    static constexpr int kManyInvoices = 5000;
    // m_many twice, under two names: 2 * kManyInvoices invoices.
    QStringList manyTwice() const { return {m_many, m_dir.path() + QStringLiteral("/./many.fdb")}; }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    void openFailureRows();
    void openOnFailingDatabase(bool configuration, std::unique_ptr<TestFolder> &folder);

private slots:
    void initTestCase();

    void missingClientLibrary();
    void noConfigurationDatabase_data();
    void noConfigurationDatabase();
    void connectionParameters_data();
    void connectionParameters();
    void configurationOpenFailure_data();
    void configurationOpenFailure();
    void patientOpenFailure_data();
    void patientOpenFailure();
    void noPatientDatabase_data();
    void noPatientDatabase();
    void shutdownClosesAndWritesNothing();
    void listenerStopsTheRead_data();
    void listenerStopsTheRead();
    void endOfAStoppedReadIsNotTheNext();
    void shortOfMemory_data();
    void shortOfMemory();

    void headingsMergeStoredSezionali();
    void emptyHeadingsTable();
};

void TestDataModule::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_config = path(QStringLiteral("config.fdb"));
    QVERIFY(FbFixture::createConfigDatabase(m_config));
    QVERIFY(FbFixture::runSql(m_config, FbFixture::insertHeading(QStringLiteral("01"), QStringLiteral("Studio Uno"))
                                            + FbFixture::insertHeading(QStringLiteral("02"), QStringLiteral("Studio Due"))
                                            // for the office's own user name
                                            + QStringLiteral("GRANT SELECT ON intestazioni TO PUBLIC;")));
    m_patients = path(QStringLiteral("pazienti.fdb"));
    QVERIFY(FbFixture::createPatientDatabase(m_patients));
    FbFixture::Invoice invoice;
    invoice.cognome = QStringLiteral("Rossi");
    invoice.cf = QStringLiteral("RSSMRA80A01H501U");
    QVERIFY(FbFixture::runSql(m_patients, FbFixture::insertInvoice(invoice)));
    m_many = path(QStringLiteral("many.fdb"));
    QVERIFY(FbFixture::createPatientDatabase(m_many));
    QVERIFY(FbFixture::runSql(m_many, FbFixture::insertInvoices(kManyInvoices)));
}

void TestDataModule::missingClientLibrary()
{
    TestFolder folder;
    TestPrompter prompter;
    folder.writeIni(settingsFileText(m_config, {m_patients}));
    FbClient::setLibraryName(QStringLiteral("libfbclient-missing.so.9"));
    const QString error = errorOf([] { TDataModule1 dm; });
    FbClient::setLibraryName(QString::fromLatin1(FbClient::kDefaultLibraryName));
    // Start-up cannot go on: the error goes to the program's entry, not to
    // the error report.
    QCOMPARE(error, QStringLiteral("InterBase library libfbclient-missing.so.9 not found in the path. "
                                   "Please install InterBase to use this functionality"));
    QCOMPARE(prompter.all, QStringList());
    QCOMPARE(DataModule1, nullptr);
}

void TestDataModule::noConfigurationDatabase_data()
{
    QTest::addColumn<QByteArray>("ini"); // empty: no settings file

    QTest::newRow("no settings file") << QByteArray();
    QTest::newRow("no [Config]") << QByteArray("[File]\n1=a\n[Generale]\nAttivita=3\n");
    QTest::newRow("empty file key") << QByteArray("[Config]\nfile=\n[File]\n1=a\n");
}

void TestDataModule::noConfigurationDatabase()
{
    QFETCH(QByteArray, ini);
    TestFolder folder;
    TestPrompter prompter;
    if (!ini.isEmpty())
        folder.writeIni(ini);
    {
        TDataModule1 dm;
        QVERIFY(dm.configurazione);
        QVERIFY(dm.configurazione->FFileConfig.isEmpty());
        QVERIFY(!dm.listDB);
        QVERIFY(!dm.listTR);
        QVERIFY(!dm.IBDatabaseConfig->Connected());
        QVERIFY(dm.MTableAssIntest.isEmpty());
        QVERIFY(!dm.cancontinue);
    }
    QCOMPARE(prompter.all, QStringList());
    if (ini.isEmpty())
        QCOMPARE(entriesOf(folder.path()), QStringList()); // no settings file created
    else
        QCOMPARE(folder.readIni(), ini);
}

void TestDataModule::connectionParameters_data()
{
    QTest::addColumn<QString>("databaseSection");
    QTest::addColumn<QStringList>("patientParams");
    QTest::addColumn<QStringList>("configParams");

    const QString charset = QStringLiteral("lc_ctype=ISO8859_1");
    QTest::newRow("no [Database]") << QString()
                                   << QStringList{"user_name=SYSDBA", "password=", charset}
                                   << QStringList{"user_name=SYSDBA", "password=plumtrace", charset};
    QTest::newRow("user only") << "[Database]\nuser=UFFICIO\n"
                               << QStringList{"user_name=UFFICIO", "password=", charset}
                               << QStringList{"user_name=UFFICIO", "password=plumtrace", charset};
    QTest::newRow("user and pwd") << "[Database]\nuser=UFFICIO\npwd=segreta\n"
                                  << QStringList{"user_name=UFFICIO", "password=segreta", charset}
                                  << QStringList{"user_name=UFFICIO", "password=segreta", charset};
    QTest::newRow("empty pwd") << "[Database]\npwd=\n"
                               << QStringList{"user_name=SYSDBA", "password=", charset}
                               << QStringList{"user_name=SYSDBA", "password=", charset};
}

void TestDataModule::connectionParameters()
{
    QFETCH(QString, databaseSection);
    QFETCH(QStringList, patientParams);
    QFETCH(QStringList, configParams);
    TestFolder folder;
    TestPrompter prompter;
    // Keys out of order: the lines' order counts, not the keys.
    folder.writeIni(QStringLiteral("[Config]\nfile=%1\n[File]\n3=a\n1=b\n2=c\n%2").arg(m_config, databaseSection).toUtf8());
    TDataModule1 dm;
    QCOMPARE(prompter.errors, QStringList());
    QVERIFY(dm.cancontinue);

    QVERIFY(dm.listDB && dm.listTR);
    QCOMPARE(dm.listDB->size(), size_t(3));
    QCOMPARE(dm.listTR->size(), size_t(3));
    QStringList names;
    for (size_t i = 0; i < 3; ++i) {
        IBDatabase &db = *(*dm.listDB)[i];
        IBTransaction &tr = *(*dm.listTR)[i];
        names << db.DatabaseName();
        QCOMPARE(db.Params(), patientParams);
        QCOMPARE(tr.Params(), (QStringList{"read_committed", "rec_version", "nowait"}));
        QCOMPARE(db.DefaultTransaction(), &tr);
        QCOMPARE(tr.DefaultDatabase(), &db);
        QVERIFY(!db.Connected()); // built, not opened
    }
    QCOMPARE(names, (QStringList{"a", "b", "c"}));

    QCOMPARE(dm.IBDatabaseConfig->DatabaseName(), m_config);
    QCOMPARE(dm.IBDatabaseConfig->Params(), configParams);
    QVERIFY(dm.IBDatabaseConfig->Connected());
    QCOMPARE(dm.IBTransactionConfig->Params(), QStringList());
    // The headings were read in a snapshot that stays for the whole run.
    QVERIFY(dm.IBTransactionConfig->InTransaction());
    QCOMPARE(dm.MTableAssIntest.size(), 2);
}

// Names that cannot be opened, the password of [Database] and the client's
// message.
void TestDataModule::openFailureRows()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password"); // [Database] pwd; null: no key
    QTest::addColumn<bool>("needsServer");
    QTest::addColumn<QString>("message");

    const QString missing = path(QStringLiteral("missing.fdb"));
    QTest::newRow("missing file") << missing << QString() << false
                                  << QStringLiteral("I/O error during \"open\" operation for file \"%1\"\n"
                                                    "Error while trying to open file\n"
                                                    "No such file or directory").arg(missing);
    QTest::newRow("unreachable host") << QStringLiteral("127.0.0.1/1:") + missing << QString() << false
                                      << QStringLiteral("Unable to complete network request to host \"127.0.0.1\".\n"
                                                        "Failed to establish a connection.");
    QTest::newRow("wrong password") << FbFixture::serverConnectionString(path(QStringLiteral("server.fdb")))
                                    << QStringLiteral("wrong") << true
                                    << QStringLiteral("Your user name and password are not defined. "
                                                      "Ask your database administrator to set up a Firebird login.");
}

// The program folder of a row of openFailureRows(): Tolm.ini with the row's
// name as the configuration database (configuration) or as the one patient
// database, and its password in [Database]; where the row names the test
// server, a database of that kind made there first. The folder stays null
// when the row is skipped (no test server runs) or has failed.
void TestDataModule::openOnFailingDatabase(bool configuration, std::unique_ptr<TestFolder> &folder)
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(bool, needsServer);
    if (needsServer) {
        FB_REQUIRE_SERVER();
        const QString server = path(QStringLiteral("server.fdb"));
        QVERIFY(configuration ? FbFixture::createConfigDatabase(server) : FbFixture::createPatientDatabase(server));
    }
    folder = std::make_unique<TestFolder>();
    const QString database = password.isNull() ? QString() : QStringLiteral("[Database]\npwd=%1\n").arg(password);
    folder->writeIni(settingsFileText(configuration ? name : m_config, {configuration ? m_patients : name},
                                      database + QStringLiteral("[AssSezionale]\n01=1\n")));
}

void TestDataModule::configurationOpenFailure_data()
{
    openFailureRows();
}

void TestDataModule::configurationOpenFailure()
{
    QFETCH(QString, message);
    std::unique_ptr<TestFolder> folder;
    openOnFailingDatabase(true, folder);
    if (!folder)
        return;
    TestPrompter prompter;
    TDataModule1 dm;

    // One error box with the client's text, a full stop added where the text
    // ends with a letter.
    const QString report = message.endsWith(QLatin1Char('.')) ? message : message + QLatin1Char('.');
    QCOMPARE(prompter.errors, QStringList{report});
    QCOMPARE(prompter.all, QStringList{report});
    QVERIFY(!dm.IBDatabaseConfig->Connected());
    QVERIFY(dm.MTableAssIntest.isEmpty());
    QVERIFY(!dm.MTableAssIntest.hasCurrent());
    // The patient connections were built before the failure.
    QCOMPARE(dm.listDB->size(), size_t(1));

    // No heading is selected, so an extraction fills nothing.
    QVERIFY(errorOf([&] { dm.EstraiDati(1, kFrom, kTo); }) != QStringLiteral("<no error>"));
    QVERIFY(dm.dxMemDataFatture.isEmpty());
    QVERIFY(!(*dm.listDB)[0]->Connected());
}

void TestDataModule::patientOpenFailure_data()
{
    openFailureRows();
    QTest::newRow("empty entry") << QString() << QString() << false << QStringLiteral("Database name is missing");
}

void TestDataModule::patientOpenFailure()
{
    QFETCH(QString, name);
    QFETCH(QString, message);
    std::unique_ptr<TestFolder> folder;
    openOnFailingDatabase(false, folder);
    if (!folder)
        return;
    TestPrompter prompter;
    TDataModule1 dm;
    QCOMPARE(prompter.all, QStringList()); // the connection is only built at start-up
    QCOMPARE(dm.listDB->size(), size_t(1));
    IBDatabase &db = *dm.listDB->front();
    QCOMPARE(db.DatabaseName(), name);
    QVERIFY(!db.Connected());

    selectHeading(dm, kHeading);
    // The client's message, after the database's name as listed.
    QCOMPARE(errorOf([&] { dm.EstraiDati(1, kFrom, kTo); }),
             name.isEmpty() ? message : QStringLiteral("%1: %2").arg(name, message));
    QVERIFY(!db.Connected());
    QVERIFY(dm.dxMemDataFatture.isEmpty());
    QCOMPARE(prompter.all, QStringList()); // the caller reports it
}

void TestDataModule::noPatientDatabase_data()
{
    QTest::addColumn<QString>("fileSection");

    QTest::newRow("no [File]") << QString();
    QTest::newRow("empty [File]") << QStringLiteral("[File]\n");
}

void TestDataModule::noPatientDatabase()
{
    QFETCH(QString, fileSection);
    TestFolder folder;
    WatchingPrompter prompter;
    folder.writeIni(QStringLiteral("[Config]\nfile=%1\n%2[AssSezionale]\n01=1\n").arg(m_config, fileSection).toUtf8());
    TDataModule1 dm;
    QCOMPARE(prompter.all, QStringList());
    QVERIFY(dm.listDB && dm.listTR);
    QVERIFY(dm.listDB->empty());
    QCOMPARE(dm.MTableAssIntest.size(), 2);

    // The message box runs its own event loop: the grid's table must be
    // whole by then, not halfway through a reset.
    QSignalSpy aboutToReset(&dm.dxMemDataFatture, &InvoiceTable::aboutToReset);
    QSignalSpy reset(&dm.dxMemDataFatture, &InvoiceTable::reset);
    qsizetype pendingAtMessage = -1;
    prompter.onInformation = [&] { pendingAtMessage = aboutToReset.count() - reset.count(); };
    selectHeading(dm, kHeading);
    dm.EstraiDati(1, kFrom, kTo);
    QCOMPARE(prompter.informations, QStringList{"Nessun database pazienti impostato"});
    QCOMPARE(pendingAtMessage, 0);
    QVERIFY(dm.dxMemDataFatture.isOpen());
    QVERIFY(dm.dxMemDataFatture.isEmpty());
}

void TestDataModule::shutdownClosesAndWritesNothing()
{
    const QString second = path(QStringLiteral("shutdown.fdb"));
    QVERIFY(FbFixture::createPatientDatabase(second));
    TestFolder folder;
    TestPrompter prompter;
    // Hand-written: comments, blanks, other letter case, CR LF, no final
    // line end.
    const QByteArray ini = QStringLiteral("; studio\r\n[config]\r\nFILE = %1\r\n\r\n[File]\r\n1=%2\r\n2=%3\r\n"
                                          "[AssSezionale]\r\n01=1\r\n[Generale]\r\nCreaSottocartelle=0")
                               .arg(m_config, m_patients, second)
                               .toUtf8();
    folder.writeIni(ini);
    {
        TDataModule1 dm;
        QCOMPARE(prompter.all, QStringList());
        selectHeading(dm, kHeading);
        dm.EstraiDati(1, kFrom, kTo);
        QCOMPARE(dm.dxMemDataFatture.size(), 1);
        // Each database is read on an attachment of the read's own, closed
        // when its rows are in.
        for (const auto &db : *dm.listDB)
            QVERIFY(!db->Connected());
        QVERIFY(dm.IBDatabaseConfig->Connected());
    }
    QCOMPARE(prompter.all, QStringList());
    QCOMPARE(folder.readIni(), ini);
    QCOMPARE(entriesOf(folder.path()), QStringList{"Tolm.ini"});
    // Every file is free again: another process can open it.
    for (const QString &database : {m_config, m_patients, second})
        QVERIFY2(FbFixture::runSql(database, QStringLiteral("SELECT 1 FROM rdb$database;")), qPrintable(database));
}

void TestDataModule::listenerStopsTheRead_data()
{
    QTest::addColumn<qint64>("stopAt"); // invoices read; negative: never

    // Reports come as the read begins, as each database ends, every 100 ms
    // while the databases are read and between the steps of the ordering.
    QTest::newRow("at the first report") << qint64(0);
    QTest::newRow("once invoices are read") << qint64(1);
    QTest::newRow("while the table is put in order") << qint64(2 * kManyInvoices);
    QTest::newRow("never") << qint64(-1);
}

void TestDataModule::listenerStopsTheRead()
{
    QFETCH(qint64, stopAt);
    TestFolder folder;
    TestPrompter prompter;
    folder.writeIni(settingsFileText(m_config, manyTwice(), QStringLiteral("[AssSezionale]\n01=1\n")));
    TDataModule1 dm;
    selectHeading(dm, kHeading);
    StoppingListener listener(stopAt);
    dm.EstraiDati(1, kFrom, kTo, &listener);
    QCOMPARE(prompter.all, QStringList());
    // Asked right after each report, which never counts fewer invoices than
    // the one before.
    QCOMPARE(listener.questions, listener.reports.size());
    QCOMPARE(listener.reports.constFirst(), QStringLiteral("1/2 0"));
    QVERIFY(std::is_sorted(listener.counts.cbegin(), listener.counts.cend()));
    QVERIFY(dm.dxMemDataFatture.isOpen());
    if (stopAt < 0) {
        QVERIFY(!dm.extractionStopped());
        QCOMPARE(dm.dxMemDataFatture.size(), 2 * kManyInvoices);
        QCOMPARE(listener.reports.constLast(), QStringLiteral("2/2 10000"));
        QCOMPARE(connectionState(dm), QStringLiteral("0|0"));
        return;
    }
    // Nothing more after the report that stopped it, and nothing kept.
    QVERIFY(listener.counts.constLast() >= stopAt);
    QVERIFY(dm.extractionStopped());
    QVERIFY(dm.dxMemDataFatture.isEmpty());
    // The read's threads end on their own, their connections closed as
    // after a whole read: both files are free for another process.
    QVERIFY(WorkerThreads::waitForAll(std::chrono::seconds(10)));
    QCOMPARE(connectionState(dm), QStringLiteral("0|0"));
    QVERIFY(FbFixture::runSql(m_many, QStringLiteral("SELECT 1 FROM rdb$database;")));

    // The next read reads everything again.
    dm.EstraiDati(1, kFrom, kTo);
    QVERIFY(!dm.extractionStopped());
    QCOMPARE(dm.dxMemDataFatture.size(), 2 * kManyInvoices);
    QCOMPARE(prompter.all, QStringList());
}

// A read stopped just as it ended has already said so; what it said must
// not end the read that follows it.
void TestDataModule::endOfAStoppedReadIsNotTheNext()
{
    TestFolder folder;
    TestPrompter prompter;
    folder.writeIni(settingsFileText(m_config, manyTwice(), QStringLiteral("[AssSezionale]\n01=1\n")));
    TDataModule1 dm;
    selectHeading(dm, kHeading);
    QSignalSpy finished(&dm, &TDataModule1::extractionFinished);
    QVERIFY(dm.beginExtraction(kFrom, kTo));
    // Ended on its threads, its word waiting in the event queue.
    QVERIFY(WorkerThreads::waitForAll(std::chrono::seconds(10)));
    dm.stopExtraction();
    QVERIFY(dm.extractionStopped());
    QVERIFY(dm.beginExtraction(kFrom, kTo));
    QCoreApplication::processEvents();
    QCOMPARE(finished.count(), 0);
    QVERIFY(dm.extractionRunning());
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
    dm.finishExtraction();
    QVERIFY(!dm.extractionStopped());
    QCOMPARE(dm.dxMemDataFatture.size(), 2 * kManyInvoices);
    QCOMPARE(prompter.all, QStringList());
}

void TestDataModule::shortOfMemory_data()
{
    QTest::addColumn<int>("smallest"); // bytes from which operator new fails
    QTest::addColumn<int>("largest");  // up to

    // The table takes its records in blocks of 32 MiB and puts 10 000 of
    // them in order into one vector of 2 240 000 bytes.
    static_assert(sizeof(InvoiceRecord) == 224);
    constexpr int kMiB = 1 << 20;
    QTest::newRow("a block of the filling") << 16 * kMiB << 64 * kMiB;
    QTest::newRow("the ordered table") << 1 * kMiB << 16 * kMiB;
}

void TestDataModule::shortOfMemory()
{
    QFETCH(int, smallest);
    QFETCH(int, largest);
    TestFolder folder;
    TestPrompter prompter;
    folder.writeIni(settingsFileText(m_config, manyTwice(), QStringLiteral("[AssSezionale]\n01=1\n")));
    TDataModule1 dm;
    selectHeading(dm, kHeading);
    QString error;
    {
        const ShortOfMemory shortOfMemory{size_t(smallest), size_t(largest)};
        error = errorOf([&] { dm.EstraiDati(1, kFrom, kTo); });
        QVERIFY(ShortOfMemory::failures() > 0);
    }
    QCOMPARE(error, QStringLiteral("Memoria insufficiente per le fatture estratte: restringere il periodo"));
    QVERIFY(dm.dxMemDataFatture.isOpen());
    QVERIFY(dm.dxMemDataFatture.isEmpty());
    QVERIFY(!dm.extractionStopped());
    QVERIFY(!dm.IBDataSetExport->Active());
    QCOMPARE(prompter.all, QStringList());

    dm.EstraiDati(1, kFrom, kTo);
    QCOMPARE(dm.dxMemDataFatture.size(), 2 * kManyInvoices);
}

void TestDataModule::headingsMergeStoredSezionali()
{
    const QString config = path(QStringLiteral("headings.fdb"));
    QVERIFY(FbFixture::createConfigDatabase(config));
    const QString seventy = QStringLiteral("Poliambulatorio Specialistico della Città di Roma e Provincia - sede 2");
    QCOMPARE(seventy.size(), 70);
    QVERIFY(FbFixture::runSql(config, FbFixture::insertHeading(QStringLiteral("AB"), QStringLiteral("Città"))
                                          + FbFixture::insertHeading(QStringLiteral("cd"), QStringLiteral("Due righe"))
                                          + FbFixture::insertHeading(QStringLiteral("EF"), QStringLiteral("Senza riga"))
                                          + FbFixture::insertHeading(QStringLiteral("GH"), QStringLiteral("Vuota"))
                                          + FbFixture::insertHeading(QStringLiteral("IJK"), QStringLiteral("Tre lettere"))
                                          + FbFixture::insertHeading(QStringLiteral("LM"), seventy)));
    TestFolder folder;
    TestPrompter prompter;
    folder.writeIni(settingsFileText(config, {}, QStringLiteral("[AssSezionale]\n"
                                                                "ABX=8\n" // a longer code is another code
                                                                "ab=1\n"  // letter case does not count
                                                                "CD=2\n"
                                                                "cd=9\n"  // the first line wins
                                                                "GH=\n"
                                                                "IJK=5\n" // the code is cut before the lookup
                                                                "IJ=4\n"
                                                                "LM=123\n")));
    TDataModule1 dm;
    QCOMPARE(prompter.all, QStringList());
    QCOMPARE(headingRows(dm.MTableAssIntest),
             (QList<QByteArray>{"0|AB|Citt\xE0|1", "1|cd|Due righe|2", "2|EF|Senza riga|-1", "3|GH|Vuota|-1",
                                "4|IJ|Tre lettere|4", "5|LM|" + seventy.left(60).toLatin1() + "|12"}));
    QCOMPARE(dm.MTableAssIntest.currentRow(), 5); // the last one appended
}

void TestDataModule::emptyHeadingsTable()
{
    const QString config = path(QStringLiteral("noheadings.fdb"));
    QVERIFY(FbFixture::createConfigDatabase(config));
    TestFolder folder;
    TestPrompter prompter;
    folder.writeIni(settingsFileText(config, {m_patients}, QStringLiteral("[AssSezionale]\n01=1\n")));
    TDataModule1 dm;
    QCOMPARE(prompter.all, QStringList());
    QVERIFY(dm.IBDatabaseConfig->Connected());
    QVERIFY(dm.MTableAssIntest.isEmpty());
    QVERIFY(!dm.MTableAssIntest.hasCurrent());
}

QTEST_GUILESS_MAIN(TestDataModule)
#include "test_datamodule.moc"
