// Faults met in the office, against the real engine and real files: the
// server going away mid-extraction, a full disk, a settings file that cannot
// be written, files that are not databases, odd and hostile values.
#include "firebird/IBDataSet.h"
#include "firebird/IBDatabase.h"
#include "firebird/IBTransaction.h"
#include "data/TDataModule1.h"
#include "dialogs/DatabaseListAction.h"
#include "dialogs/TDlgOpenFile.h"
#include "platform/ErrorReport.h"
#include "platform/ProfileFile.h"
#include "platform/TolmError.h"
#include "settings/TConfigurazione.h"
#include "support/Immutable.h"
#include "support/SmallDisk.h"
#include "support/DataModuleSteps.h"
#include "support/FbFixture.h"
#include "support/NextDialog.h"
#include "support/TestFolder.h"
// GCC 12 sees a false "maybe uninitialized" in the optional<QString> queues.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "support/TestPrompter.h"
#pragma GCC diagnostic pop

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <chrono>
#include <memory>
#include <thread>

#include <signal.h>

namespace {

const QDate kFrom(2025, 1, 1);
const QDate kTo(2025, 1, 31);
const QString kExportName = QStringLiteral("EsportazioneVelmora - Sezionale1.csv");

// Tolm.ini: the configuration database, the patient databases, heading 01
// on sezionale 1 (sezionale of "O'": 2) and the accounting codes; `more` is
// added at the end.
QByteArray settings(const QString &config, const QStringList &patients, const QString &more = QString())
{
    const QString lineEnd = QStringLiteral("\r\n");
    return settingsFileText(config, patients,
                            QStringLiteral("[AssSezionale]\r\n01=1\r\nO'=2\r\n[Generale]\r\nCreaSottocartelle=0\r\n")
                                + accountingCodeLines(lineEnd) + more,
                            lineEnd);
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

// A Firebird server of the test's own in a folder of its own, so that killing
// it leaves the shared test server alone. Stopped when the object goes.
class PrivateServer
{
public:
    explicit PrivateServer(const QString &folder) : m_folder(folder) { m_started = start(); }
    ~PrivateServer() { script({QStringLiteral("stop")}); }

    bool started() const { return m_started; }
    // "127.0.0.1/<port>"
    const QString &address() const { return m_address; }
    qint64 pid() const { return readWholeFile(m_folder + QStringLiteral("/firebird.pid")).trimmed().toLongLong(); }

    bool start()
    {
        QString out;
        if (!script({QStringLiteral("start")}, &out))
            return false;
        const auto match = QRegularExpression(QStringLiteral("TOLM_TEST_FB_SERVER=(\\S+)")).match(out);
        m_address = match.captured(1);
        return match.hasMatch();
    }

private:
    bool script(const QStringList &arguments, QString *output = nullptr) const
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TOLM_FB_DIR"), m_folder);
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(TOLM_FIXTURES_DIR "/../../scripts/firebird-server"), arguments);
        if (!process.waitForFinished(60000) || process.exitCode() != 0)
            return false;
        if (output)
            *output = QString::fromLocal8Bit(process.readAllStandardOutput());
        return true;
    }

    QString m_folder;
    QString m_address;
    bool m_started = false;
};

// The database list as the settings dialog's button runs it, with its last
// row removed before OK: inside the event handlers' guard, which reports an
// error with a full stop.
const QString kListLessLast = QStringLiteral("database list less its last row");

// One of the writers of Tolm.ini at work: the settings dialog's save
// (Attivita=9), the database list confirmed as it is or less its last row,
// or the association of heading 01 changed to 7 and written back. The error
// it raised or reported, or "<no error>".
QString writeSettings(TDataModule1 &dm, const QString &action, const TestPrompter &prompter)
{
    if (action == QLatin1String("save settings")) {
        dm.configurazione->FAttivita = QStringLiteral("9");
        return errorOf([&] { dm.configurazione->salvaconfig(); });
    }
    if (action == QLatin1String("database list")) {
        answerNextDialog<TDlgOpenFile>([](TDlgOpenFile &list) { QTest::mouseClick(list.OKBtn, Qt::LeftButton); });
        return errorOf([] { runDatabaseListDialog(nullptr); });
    }
    if (action == kListLessLast) {
        answerNextDialog<TDlgOpenFile>([](TDlgOpenFile &list) {
            QTest::mouseClick(list.SpeedButton2, Qt::LeftButton);
            QTest::mouseClick(list.OKBtn, Qt::LeftButton);
        });
        return guarded([] { runDatabaseListDialog(nullptr); }) ? QStringLiteral("<no error>")
                                                                : prompter.errors.join(u'\n');
    }
    selectHeading(dm, "01");
    dm.MTableAssIntest.setField(dm.MTableAssIntest.currentRow(), AssociationTable::ColSezionale, QStringLiteral("7"));
    return errorOf([&] { dm.Riscriviintestazioni(); });
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir{QStringLiteral("/tmp/tolm-faults-XXXXXX")};
    QString m_config;
    QString path(const QString &name) const { return m_dir.filePath(name); }
    // A patient database of its own with the invoices of sql.
    QString patients(const QString &name, const QString &sql);

private slots:
    void initTestCase();

    void serverStopsDuringExtraction();
    void diskFullDuringExport();
    void settingsCannotBeWritten_data();
    void settingsCannotBeWritten();
    void settingsInLockedFolder_data();
    void settingsInLockedFolder();
    void notADatabase_data();
    void notADatabase();
    void quoteInHeadingCode();
    void passwordNotInMessages();
    void exportStaysInItsFolder_data();
    void exportStaysInItsFolder();
    void noTransactionLeftOpen();
};

QString TestFaults::patients(const QString &name, const QString &sql)
{
    const QString file = path(name);
    if (!FbFixture::createPatientDatabase(file) || !FbFixture::runSql(file, sql))
        return QString();
    return file;
}

void TestFaults::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_config = path(QStringLiteral("config.fdb"));
    QVERIFY(FbFixture::createConfigDatabase(m_config));
    QVERIFY(FbFixture::runSql(m_config, FbFixture::insertHeading(QStringLiteral("01"), QStringLiteral("Studio Uno"))
                                            + FbFixture::insertHeading(QStringLiteral("O'"), QStringLiteral("Studio O"))));
}

void TestFaults::serverStopsDuringExtraction()
{
    FB_REQUIRE_SERVER();
    constexpr int kCount = 300000;
    const QString database = patients(QStringLiteral("server-stops.fdb"), FbFixture::insertInvoices(kCount));
    QVERIFY2(!database.isEmpty(), qPrintable(FbFixture::lastError()));
    PrivateServer server(path(QStringLiteral("private-server")));
    QVERIFY(server.started());

    TestFolder folder;
    TestPrompter prompter;
    folder.writeIni(settings(m_config, {server.address() + u':' + database},
                             QStringLiteral("[Database]\r\npwd=%1\r\n").arg(FbFixture::serverPassword())));
    TDataModule1 dm;
    selectHeading(dm, "01");
    QElapsedTimer clock;
    clock.start();
    dm.EstraiDati(1, kFrom, kTo);
    const qint64 fullRead = clock.elapsed();
    QCOMPARE(dm.dxMemDataFatture.size(), kCount);

    // The server is killed a third of a full reading into the next one. Should
    // the reading end first, the extraction after it meets the dead server.
    const qint64 pid = server.pid();
    QVERIFY(pid > 0);
    std::thread killer([pid, fullRead] {
        std::this_thread::sleep_for(std::chrono::milliseconds(fullRead / 3 + 1));
        ::kill(pid_t(pid), SIGKILL);
    });
    QString error = errorOf([&] { dm.EstraiDati(1, kFrom, kTo); });
    killer.join();
    if (error == QStringLiteral("<no error>")) {
        qInfo("the reading ended before the server did");
        error = errorOf([&] { dm.EstraiDati(1, kFrom, kTo); });
    }
    QVERIFY2(error.contains(QLatin1String("connection"), Qt::CaseInsensitive)
                 || error.contains(QLatin1String("network"), Qt::CaseInsensitive),
             qPrintable(error));
    QVERIFY(dm.dxMemDataFatture.size() < kCount);

    // Back up: the same connection reads everything again.
    QVERIFY(server.start());
    (*dm.listDB)[0]->setDatabaseName(server.address() + u':' + database); // the port may have changed
    QCOMPARE(errorOf([&] { dm.EstraiDati(1, kFrom, kTo); }), QStringLiteral("<no error>"));
    QCOMPARE(dm.dxMemDataFatture.size(), kCount);
    QCOMPARE(prompter.all, QStringList());
}

void TestFaults::diskFullDuringExport()
{
    const QString database = patients(QStringLiteral("export-disk.fdb"), FbFixture::insertInvoices(2000));
    QVERIFY2(!database.isEmpty(), qPrintable(FbFixture::lastError()));
    const QString out = path(QStringLiteral("small-disk"));
    QVERIFY(QDir().mkpath(out));
    SmallDisk disk(out);
    if (!disk.isMounted())
        QSKIP("cannot mount a tmpfs here");
    const QByteArray earlier("ATT;REG\r\nearlier export\r\n");
    writeWholeFile(out + u'/' + kExportName, earlier);

    TestFolder folder;
    TestPrompter prompter;
    folder.writeIni(settings(m_config, {database}, QStringLiteral("CartellaSalvataggio=%1\r\n").arg(out)));
    TDataModule1 dm;
    selectHeading(dm, "01");
    QCOMPARE(errorOf([&] { dm.EstraiDati(0, kFrom, kTo); }), QStringLiteral("Stream write error: No space left on device"));
    QCOMPARE(dm.dxMemDataFatture.size(), 2000); // the extraction stands
    QCOMPARE(readWholeFile(out + u'/' + kExportName), earlier);
    QCOMPARE(entriesOf(out), QStringList{kExportName});
}

void TestFaults::settingsCannotBeWritten_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::addColumn<QString>("action");
    for (const char *obstacle : {"read-only", "immutable file", "immutable file and folder", "folder", "full disk"}) {
        for (const char *action : {"save settings", "database list", "associations"})
            QTest::addRow("%s, %s", obstacle, action) << QString::fromLatin1(obstacle) << QString::fromLatin1(action);
    }
    QTest::newRow("immutable file, database list less its last row") << QStringLiteral("immutable file")
                                                                      << kListLessLast;
}

void TestFaults::settingsCannotBeWritten()
{
    QFETCH(QString, obstacle);
    QFETCH(QString, action);
    TestFolder folder;
    std::unique_ptr<SmallDisk> disk;
    if (obstacle == QLatin1String("full disk")) {
        disk = std::make_unique<SmallDisk>(folder.path());
        if (!disk->isMounted())
            QSKIP("cannot mount a tmpfs here");
    }
    TestPrompter prompter;
    const QByteArray ini = settings(m_config, {path(QStringLiteral("a.fdb")), path(QStringLiteral("b.fdb"))});
    folder.writeIni(ini);
    auto dm = std::make_unique<TDataModule1>();
    QCOMPARE(dm->MTableAssIntest.size(), 2);

    std::unique_ptr<Immutable> lockedFile, lockedFolder;
    if (obstacle == QLatin1String("read-only")) {
        QVERIFY(QFile::setPermissions(folder.iniPath(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    } else if (obstacle.startsWith(QLatin1String("immutable file"))) {
        lockedFile = std::make_unique<Immutable>(folder.iniPath());
        QVERIFY(lockedFile->ok());
        if (obstacle.endsWith(QLatin1String("folder"))) {
            lockedFolder = std::make_unique<Immutable>(folder.path());
            QVERIFY(lockedFolder->ok());
        }
    } else if (obstacle == QLatin1String("folder")) {
        QVERIFY(QFile::remove(folder.iniPath()));
        QVERIFY(QDir().mkdir(folder.iniPath()));
    } else {
        disk->fill();
    }

    const QString error = writeSettings(*dm, action, prompter);
    // The guard's report ends with a full stop.
    const QString stop = action == kListLessLast ? QStringLiteral(".") : QString();
    QCOMPARE(error, QStringLiteral("Unable to write to ") + folder.iniPath() + stop);
    lockedFolder.reset();
    lockedFile.reset();
    if (obstacle == QLatin1String("folder"))
        QVERIFY(QFileInfo(folder.iniPath()).isDir());
    else
        QCOMPARE(folder.readIni(), ini);
    QStringList expectedEntries{QStringLiteral("Tolm.ini")};
    if (disk)
        expectedEntries.prepend(QStringLiteral(".filler"));
    QCOMPARE(entriesOf(folder.path()), expectedEntries); // no temporary file left
    dm.reset();
    disk.reset();
}

void TestFaults::settingsInLockedFolder_data()
{
    QTest::addColumn<bool>("locked");
    QTest::addColumn<QString>("action");
    for (const bool locked : {false, true}) {
        for (const char *action : {"save settings", "database list", "associations"})
            QTest::addRow("%s, %s", locked ? "folder refuses new files" : "free folder", action)
                << locked << QString::fromLatin1(action);
    }
    QTest::newRow("folder refuses new files, database list less its last row") << true << kListLessLast;
}

void TestFaults::settingsInLockedFolder()
{
    QFETCH(bool, locked);
    QFETCH(QString, action);
    TestFolder folder;
    TestPrompter prompter;
    const QString a = path(QStringLiteral("a.fdb"));
    const QString b = path(QStringLiteral("b.fdb"));
    folder.writeIni(settings(m_config, {a, b}));
    auto dm = std::make_unique<TDataModule1>();
    QCOMPARE(dm->MTableAssIntest.size(), 2);
    const quint64 inode = inodeOf(folder.iniPath());
    // Held open, the first file keeps its inode number from being given to
    // one of the files that replace it, one save after the other.
    QFile first(folder.iniPath());
    QVERIFY(first.open(QIODevice::ReadOnly));
    std::unique_ptr<Immutable> lock;
    if (locked) {
        // Tolm.ini itself stays writable.
        lock = std::make_unique<Immutable>(folder.path());
        QVERIFY(lock->ok());
    }

    const QString error = writeSettings(*dm, action, prompter);
    QCOMPARE(error, QStringLiteral("<no error>"));
    lock.reset();

    const QByteArray written = folder.readIni();
    ProfileFile ini(folder.iniPath());
    if (action == QLatin1String("save settings")) {
        QVERIFY(written.startsWith(settings(m_config, {a, b}).replace("Attivita=1", "Attivita=9")));
        QCOMPARE(ini.sectionKeys(QStringLiteral("Generale")).size(), 17);
    } else if (action == QLatin1String("database list")) {
        QVERIFY2(written.endsWith(QStringLiteral("[File]\r\n1=%1\r\n2=%2\r\n").arg(a, b).toUtf8()),
                 written.constData());
    } else if (action == kListLessLast) {
        // [File] erased, then written anew at the end.
        const QByteArray files = QStringLiteral("[File]\r\n1=%1\r\n2=%2\r\n").arg(a, b).toUtf8();
        QCOMPARE(written, settings(m_config, {a, b}).replace(files, QByteArray())
                              + QStringLiteral("[File]\r\n1=%1\r\n").arg(a).toUtf8());
    } else {
        QVERIFY2(written.endsWith("[AssSezionale]\r\n01=7\r\nO'=2\r\n"), written.constData());
        QVERIFY(dm->configurazione->listasez.contains(QStringLiteral("01=7")));
    }
    QCOMPARE(ini.readString(QStringLiteral("Config"), QStringLiteral("file"), QString()), m_config);
    QCOMPARE(ini.sectionValues(QStringLiteral("File")),
             (action == kListLessLast ? QStringList{a} : QStringList{a, b}));
    QCOMPARE(ini.readString(QStringLiteral("Generale"), QStringLiteral("Registro"), QString()), QStringLiteral("V"));
    // Replaced whole wherever the folder allows it, else rewritten in place.
    QCOMPARE(inodeOf(folder.iniPath()) == inode, locked);
    QCOMPARE(entriesOf(folder.path()), QStringList{QStringLiteral("Tolm.ini")});
    QCOMPARE(prompter.all, QStringList());
}

void TestFaults::notADatabase_data()
{
    QTest::addColumn<QByteArray>("damage"); // "text", "empty" or "header"
    QTest::addColumn<QString>("expected");  // a part of the client's message
    QTest::newRow("a text file") << QByteArray("text") << QStringLiteral("not a valid database");
    QTest::newRow("an empty file") << QByteArray("empty") << QStringLiteral("File size is less than expected");
    QTest::newRow("a damaged header page") << QByteArray("header") << QStringLiteral("not a valid database");
}

void TestFaults::notADatabase()
{
    QFETCH(QByteArray, damage);
    QFETCH(QString, expected);
    const QString tag = QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-');
    const QString before = patients(tag + QStringLiteral("-before.fdb"), FbFixture::insertInvoices(2));
    const QString after = patients(tag + QStringLiteral("-after.fdb"), FbFixture::insertInvoices(3));
    const QString fixed = patients(tag + QStringLiteral("-fixed.fdb"), FbFixture::insertInvoices(4));
    QVERIFY2(!before.isEmpty() && !after.isEmpty() && !fixed.isEmpty(), qPrintable(FbFixture::lastError()));
    const QString bad = path(tag + QStringLiteral("-bad.fdb"));
    if (damage == "text") {
        writeWholeFile(bad, QByteArray("[File]\r\n1=C:\\dati\\pazienti.fdb\r\n").repeated(1000));
    } else if (damage == "empty") {
        writeWholeFile(bad, QByteArray());
    } else {
        QVERIFY(FbFixture::createPatientDatabase(bad));
        QFile file(bad);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.write(QByteArray(64, '\xA5')) == 64);
    }

    TestFolder folder;
    TestPrompter prompter;
    folder.writeIni(settings(m_config, {before, bad, after}));
    TDataModule1 dm;
    selectHeading(dm, "01");
    const QString error = errorOf([&] { dm.EstraiDati(1, kFrom, kTo); });
    QVERIFY2(error.contains(expected), qPrintable(error));
    QVERIFY2(error.contains(bad), qPrintable(error));
    QCOMPARE(dm.dxMemDataFatture.size(), 2); // the database listed before it was read

    // The file replaced by a real database: everything is read.
    QVERIFY(QFile::remove(bad));
    QVERIFY(QFile::rename(fixed, bad));
    QCOMPARE(errorOf([&] { dm.EstraiDati(1, kFrom, kTo); }), QStringLiteral("<no error>"));
    QCOMPARE(dm.dxMemDataFatture.size(), 2 + 4 + 3);
    QCOMPARE(prompter.all, QStringList());
}

void TestFaults::quoteInHeadingCode()
{
    // Invoices of "O'", and of a heading that would match if the code were
    // pasted into the query text.
    const QString database = patients(QStringLiteral("quote.fdb"), FbFixture::insertInvoices(3, QStringLiteral("O'"))
                                                                       + FbFixture::insertInvoices(5, QStringLiteral("O")));
    QVERIFY2(!database.isEmpty(), qPrintable(FbFixture::lastError()));
    TestFolder folder;
    TestPrompter prompter;
    folder.writeIni(settings(m_config, {database}));
    TDataModule1 dm;
    selectHeading(dm, "O'");
    QCOMPARE(dm.MTableAssIntest.currentSezionale(), QStringLiteral("2"));
    QCOMPARE(errorOf([&] { dm.EstraiDati(1, kFrom, kTo); }), QStringLiteral("<no error>"));
    QCOMPARE(dm.dxMemDataFatture.size(), 3);
    QCOMPARE(prompter.all, QStringList());
}

void TestFaults::passwordNotInMessages()
{
    FB_REQUIRE_SERVER();
    const QString password = QStringLiteral("Segreto-4711");
    const QString database = patients(QStringLiteral("password.fdb"), FbFixture::insertInvoices(1));
    QVERIFY2(!database.isEmpty(), qPrintable(FbFixture::lastError()));
    TestFolder folder;
    TestPrompter prompter;
    // The configuration database through the server too: its failure goes to
    // the error report at start-up.
    folder.writeIni(settings(FbFixture::serverConnectionString(m_config), {FbFixture::serverConnectionString(database)},
                             QStringLiteral("[Database]\r\npwd=%1\r\n").arg(password)));
    TDataModule1 dm;
    QCOMPARE(prompter.errors.size(), 1);
    QVERIFY2(prompter.errors.front().contains(QLatin1String("password")), qPrintable(prompter.errors.front()));

    // The patient database with the same wrong password.
    IBDatabase &patient = *dm.listDB->front();
    const QString error = errorOf([&] { patient.Open(); });
    QVERIFY2(error.contains(QLatin1String("user name and password")), qPrintable(error));
    for (const QString &text : prompter.all + QStringList{error})
        QVERIFY2(!text.contains(password), qPrintable(text));
}

void TestFaults::exportStaysInItsFolder_data()
{
    QTest::addColumn<QString>("sezionale"); // as stored in [AssSezionale]
    QTest::addColumn<QString>("error");     // empty: exported

    QTest::newRow("plain") << QStringLiteral("1") << QString();
    QTest::newRow("parent folder") << QStringLiteral("..") << QStringLiteral("'..' is not a valid integer value");
    QTest::newRow("parent path, cut to two") << QStringLiteral("../../x")
                                             << QStringLiteral("'..' is not a valid integer value");
    QTest::newRow("root") << QStringLiteral("/x") << QStringLiteral("'/x' is not a valid integer value");
}

void TestFaults::exportStaysInItsFolder()
{
    QFETCH(QString, sezionale);
    QFETCH(QString, error);
    QTemporaryDir root;
    // The folder is named through "..": the file goes where the name leads,
    // never anywhere the sezionale points.
    const QString named = root.filePath(QStringLiteral("a/../b"));
    TestFolder folder;
    TestPrompter prompter;
    QByteArray ini = settings(m_config, {}, QStringLiteral("CartellaSalvataggio=%1\r\n").arg(named));
    ini.replace("01=1", "01=" + sezionale.toUtf8());
    folder.writeIni(ini);
    TDataModule1 dm;
    selectHeading(dm, "01");
    QCOMPARE(errorOf([&] { dm.EstraiDati(2, kFrom, kTo); }), error.isEmpty() ? QStringLiteral("<no error>") : error);

    QStringList everything;
    QDir::Filters all = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden;
    for (const QString &entry : {QStringLiteral("a"), QStringLiteral("b")})
        for (const QString &name : QDir(root.filePath(entry)).entryList(all))
            everything << entry + u'/' + name;
    QCOMPARE(everything, error.isEmpty() ? QStringList{QStringLiteral("b/") + kExportName} : QStringList());
    QCOMPARE(entriesOf(root.path()), error.isEmpty() ? (QStringList{"a", "b"}) : QStringList());
    QCOMPARE(entriesOf(folder.path()), QStringList{"Tolm.ini"});
}

void TestFaults::noTransactionLeftOpen()
{
    FB_REQUIRE_SERVER();
    const QString database = patients(QStringLiteral("transactions.fdb"), FbFixture::insertInvoices(10));
    QVERIFY2(!database.isEmpty(), qPrintable(FbFixture::lastError()));
    TestFolder folder;
    TestPrompter prompter;
    folder.writeIni(settings(m_config, {FbFixture::serverConnectionString(database)},
                             QStringLiteral("[Database]\r\npwd=%1\r\n").arg(FbFixture::serverPassword())));
    TDataModule1 dm;
    selectHeading(dm, "01");
    dm.EstraiDati(1, kFrom, kTo);
    QCOMPARE(dm.dxMemDataFatture.size(), 10);

    // Seen from another attachment: the read's attachment is gone with its
    // transaction, so the oldest active transaction can move on.
    IBDatabase monitor;
    IBTransaction transaction;
    monitor.setDatabaseName(FbFixture::serverConnectionString(database));
    monitor.Params() = {QStringLiteral("user_name=SYSDBA"), QStringLiteral("password=") + FbFixture::serverPassword()};
    transaction.setDefaultDatabase(&monitor);
    monitor.Open();
    IBDataSet query(&monitor);
    query.setTransaction(&transaction);
    query.setSQL(QStringLiteral(
        "select (select count(*) from mon$attachments a where a.mon$attachment_id <> current_connection"
        "          and a.mon$system_flag = 0) as attachments,"
        "       (select count(*) from mon$transactions t join mon$attachments a"
        "          on a.mon$attachment_id = t.mon$attachment_id"
        "        where a.mon$attachment_id <> current_connection and a.mon$system_flag = 0) as transactions"
        " from rdb$database"));
    query.Open();
    QCOMPARE(query.asInteger(QStringLiteral("ATTACHMENTS")), qint64(0));
    QCOMPARE(query.asInteger(QStringLiteral("TRANSACTIONS")), qint64(0));
    query.Close();
    monitor.Close();
}

QTEST_MAIN(TestFaults)
#include "test_faults.moc"
