// The office network as it is: a server PC switched off (every packet to
// 127.0.0.2 dropped) and a server stopped in the middle of a read. Run
// inside a network namespace of its own by tests/support/office-network,
// with a Firebird server of its own on 127.0.0.1: the data module and the
// window in this process, and the real program under Xvfb.
#include "app/TFormMain.h"
#include "data/ConnectionWait.h"
#include "data/TDataModule1.h"
#include "data/WorkerThreads.h"
#include "firebird/IBDatabase.h"
#include "support/DataModuleSteps.h"
#include "support/FbFixture.h"
#include "support/ProgramUnderXvfb.h"
#include "support/TestFolder.h"
// GCC 12 sees a false "maybe uninitialized" in the optional<QString> queues.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "support/TestPrompter.h"
#pragma GCC diagnostic pop

#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>

namespace {

const QDate kFrom(2025, 1, 1);
const QDate kTo(2025, 1, 31);
// The client's message for a host that does not answer.
const QString kNoAnswer = QStringLiteral("Unable to complete network request to host \"127.0.0.2\"");
// Longer than the connect time-out (15 s), shorter than what a client waits
// without one (more than two minutes).
constexpr int kToldWithinMs = 20000;

QString offlineDatabase(const QString &file)
{
    return qEnvironmentVariable("TOLM_OFFLINE_HOST") + QLatin1Char(':') + file;
}

// Waits as the program's small window does, and notes when it was asked to.
class RecordingWait : public ConnectionWait
{
public:
    void wait(const QString &database, const std::function<bool(std::chrono::milliseconds)> &waitFor) override
    {
        askedAfterMs = clock.elapsed();
        name = database;
        while (!waitFor(std::chrono::milliseconds(50))) {
        }
    }
    QElapsedTimer clock;
    qint64 askedAfterMs = -1;
    QString name;
};

// Stops or starts the namespace's own server.
bool server(const QString &command)
{
    return QProcess::execute(qEnvironmentVariable("TOLM_FB_SCRIPT"), {command}) == 0;
}

// The program started on Tolm.ini with the configuration database on the
// host that does not answer: the small window within two seconds, the
// client's message within twenty, then the main window.
const char kStartUpScript[] = R"SH(
cd "$(dirname "$1")"
start=$(date +%s%N)
ms() { echo $(( ($(date +%s%N) - start) / 1000000 )); }
"$1" &
pid=$!
first=$(wait_window "^Tolm Export$") || fail "no window while connecting"
[ "$(ms)" -lt 2000 ] || fail "the connecting window came after $(ms) ms"
echo "connecting window after $(ms) ms"
for _ in $(seq 1 250); do
  box=$(xdotool search --onlyvisible --name "^Tolm Export$" 2>/dev/null | grep -vx "$first" | head -n 1 || true)
  [ -n "$box" ] && break
  sleep 0.1
done
[ -n "$box" ] || fail "no message"
[ "$(ms)" -lt 20000 ] || fail "the message came after $(ms) ms"
echo "message after $(ms) ms"
press_return "$box"
wait_window "Esportazione Dati Tolm" >/dev/null || fail "the main window did not appear"
finish
echo "STARTED"
)SH";

// "Estrai Dati" with the second patient database on the host that does not
// answer: the window keeps painting (grown, it paints its new part), Escape
// gives it back at once (the settings open at the next click), and a second
// read tells the client's message within twenty seconds; SIGTERM during a
// third ends the program at once.
const char kExtractionScript[] = R"SH(
cd "$(dirname "$1")"
cp Tolm.ini Tolm.ini.before
"$1" &
pid=$!
main=$(wait_window "Esportazione Dati Tolm") || fail "the main window did not appear"
xdotool windowfocus "$main" 2>/dev/null || true
sleep 0.5
xdotool mousemove --window "$main" 44 17 click 1
sleep 3
xdotool windowsize "$main" 900 700
sleep 0.5
pixel=$(import -window "$main" png:- | /usr/bin/convert png:- -crop 1x1+890+690 -format '%[fx:int(255*(r+g+b))]' info:)
[ "$pixel" -gt 100 ] || fail "the window did not paint while reading ($pixel)"
# Escape, then "Configura" (which keeps its distance from the right edge of
# the wider window): the settings open. On a busy machine a key can go
# astray before the window has the focus, and the dialog may take seconds
# to come: a second try only after ten seconds without it.
settings() {
  for _ in $(seq 1 100); do
    dialog=$(xdotool search --onlyvisible --name "^Configurazione" 2>/dev/null | head -n 1 || true)
    [ -n "$dialog" ] && return 0
    sleep 0.1
  done
  return 1
}
dialog=""
for _ in 1 2; do
  xdotool windowfocus "$main" 2>/dev/null || true
  sleep 0.2
  xdotool key Escape
  sleep 0.5
  xdotool mousemove --window "$main" 855 17 click 1
  settings && break
done
[ -n "$dialog" ] || fail "the settings did not open after Escape"
xdotool windowfocus "$dialog" 2>/dev/null || true
sleep 0.3
xdotool key Escape
wait_gone "^Configurazione" || fail "the settings did not close"
start=$(date +%s%N)
xdotool mousemove --window "$main" 44 17 click 1
box=$(wait_window "^Tolm Export$") || fail "no message"
ms=$(( ($(date +%s%N) - start) / 1000000 ))
[ "$ms" -lt 20000 ] || fail "the message came after $ms ms"
echo "message after $ms ms"
press_return "$box"
wait_gone "^Tolm Export$" || fail "the message did not close"
# SIGTERM while an attach waits: the program ends within two seconds (a
# second for the read's threads at most), with status 0, Tolm.ini as it was.
xdotool mousemove --window "$main" 44 17 click 1
sleep 1
kill -TERM "$pid"
for _ in $(seq 1 20); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "still running 2 s after SIGTERM"
wait "$pid"
status=$?
[ "$status" = 0 ] || fail "exit status $status"
cmp -s Tolm.ini Tolm.ini.before || fail "Tolm.ini was written"
echo "TOLD"
)SH";

} // namespace

class TestNetwork : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir{QStringLiteral("/tmp/tolm-network-XXXXXX")};
    QString m_config;
    QString m_patients; // a few invoices of January
    QString m_many;     // enough for a read of a few seconds through the server
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QByteArray settings(const QString &config, const QStringList &patients) const
    {
        return settingsFileText(config, patients,
                                QStringLiteral("[Database]\npwd=%1\n[AssSezionale]\n01=1\n[Generale]\n"
                                               "CreaSottocartelle=0\nCartellaSalvataggio=%2\n")
                                    .arg(FbFixture::serverPassword(), path(QStringLiteral("out"))));
    }

    // The real program in a folder of its own with ini as its Tolm.ini,
    // driven by script under Xvfb, which prints done at its end.
    void runProgram(const QString &name, const QByteArray &ini, const char *script, const QString &done);

private slots:
    void initTestCase();
    void cleanupTestCase();
    void configurationDatabaseOffline();
    void patientDatabaseOffline();
    void serverStoppedDuringARead();
    void programStartsWithConfigurationOffline();
    void programReadsWithDatabaseOffline();
};

void TestNetwork::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("TOLM_OFFLINE_HOST"))
        QSKIP("run through tests/support/office-network");
    FB_REQUIRE_SERVER();
    QVERIFY(m_dir.isValid());
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    m_config = path(QStringLiteral("config.fdb"));
    QVERIFY(FbFixture::createConfigDatabase(m_config));
    QVERIFY(FbFixture::runSql(m_config, FbFixture::insertHeading(QStringLiteral("01"), QStringLiteral("Studio Uno"))));
    m_patients = path(QStringLiteral("pazienti.fdb"));
    QVERIFY(FbFixture::createPatientDatabase(m_patients));
    QVERIFY(FbFixture::runSql(m_patients, FbFixture::insertInvoices(3, QStringLiteral("01"), kFrom, 20)));
    m_many = path(QStringLiteral("molti.fdb"));
    QVERIFY(FbFixture::createPatientDatabase(m_many));
    QVERIFY2(FbFixture::bulkLoad(m_many, FbFixture::insertInvoices(300000, QStringLiteral("01"), kFrom, 28)),
             qPrintable(FbFixture::lastError()));
}

void TestNetwork::cleanupTestCase()
{
    // The reads left waiting on the switched-off host end by their connect
    // time-out; the process ends after them.
    QVERIFY(WorkerThreads::waitForAll(std::chrono::milliseconds(kToldWithinMs)));
}

void TestNetwork::configurationDatabaseOffline()
{
    TestFolder folder;
    TestPrompter prompter;
    folder.writeIni(settings(offlineDatabase(QStringLiteral("/srv/tolm/config.fdb")),
                             {FbFixture::serverConnectionString(m_patients)}));
    RecordingWait wait;
    wait.clock.start();
    TDataModule1 dm(&wait);
    const qint64 elapsed = wait.clock.elapsed();
    // Told to whoever waits once a second has gone, not before; the
    // client's message before twenty seconds.
    QVERIFY2(wait.askedAfterMs >= 1000 && wait.askedAfterMs < 2000, qPrintable(QString::number(wait.askedAfterMs)));
    QCOMPARE(wait.name, offlineDatabase(QStringLiteral("/srv/tolm/config.fdb")));
    QVERIFY2(elapsed < kToldWithinMs, qPrintable(QString::number(elapsed)));
    QCOMPARE(prompter.errors.size(), 1);
    QVERIFY2(prompter.errors[0].startsWith(kNoAnswer), qPrintable(prompter.errors[0]));
    QVERIFY(!dm.IBDatabaseConfig->Connected());
    QVERIFY(dm.MTableAssIntest.isEmpty());
}

void TestNetwork::patientDatabaseOffline()
{
    TestFolder folder;
    TestPrompter prompter;
    const QString offline = offlineDatabase(QStringLiteral("/srv/tolm/pazienti2.fdb"));
    folder.writeIni(settings(m_config, {FbFixture::serverConnectionString(m_patients), offline}));
    TDataModule1 dm;
    TFormMain w(dm);
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.DateTimePickerDal->setDate(kFrom);
    w.DateTimePickerAl->setDate(kTo);

    // While the second database's attach waits, the window is idle but for
    // "Interrompi"; Escape gives it back at once.
    QTest::mouseClick(w.Button1, Qt::LeftButton);
    QTest::qWait(1500);
    QVERIFY(w.isReading());
    QTest::keyClick(&w, Qt::Key_Escape);
    QVERIFY(!w.isReading());
    QVERIFY(dm.extractionStopped());
    QCOMPARE(w.LabelRiepilogo->text(), QStringLiteral("Estrazione interrotta"));
    QVERIFY(!w.Button3->isEnabled());
    QVERIFY(w.Panel1->isEnabled());

    // Not stopped: the client's message after the database's name, in
    // seconds, and nothing to export.
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(w.Button1, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w.isReading(), kToldWithinMs);
    QVERIFY2(clock.elapsed() < kToldWithinMs, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(prompter.errors.size(), 1);
    QVERIFY2(prompter.errors[0].startsWith(offline + QStringLiteral(": ") + kNoAnswer), qPrintable(prompter.errors[0]));
    QVERIFY(!w.Button3->isEnabled());
}

void TestNetwork::serverStoppedDuringARead()
{
    TestFolder folder;
    TestPrompter prompter;
    folder.writeIni(settings(m_config, {FbFixture::serverConnectionString(m_many)}));
    TDataModule1 dm;
    TFormMain w(dm);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.DateTimePickerDal->setDate(kFrom);
    w.DateTimePickerAl->setDate(kTo);

    // The server goes while the rows come.
    QTest::mouseClick(w.Button1, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w.LabelRiepilogo->text().endsWith(QStringLiteral("Fatture lette: 0")), 30000);
    QVERIFY(w.isReading());
    QVERIFY(server(QStringLiteral("stop")));
    QTRY_VERIFY_WITH_TIMEOUT(!w.isReading(), kToldWithinMs);
    QCOMPARE(prompter.errors.size(), 1);
    QVERIFY2(prompter.errors[0].startsWith(FbFixture::serverConnectionString(m_many) + QStringLiteral(": ")),
             qPrintable(prompter.errors[0]));
    qInfo("the server stopped: %s", qPrintable(prompter.errors[0]));
    QVERIFY(!w.Button3->isEnabled());
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("out"))));

    // Once the server is back, a new read reads everything.
    QVERIFY(server(QStringLiteral("start")));
    QTest::mouseClick(w.Button1, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w.isReading(), 60000);
    QCOMPARE(prompter.errors.size(), 1);
    QCOMPARE(dm.dxMemDataFatture.size(), 300000);
    QVERIFY(w.Button3->isEnabled());
}

void TestNetwork::programStartsWithConfigurationOffline()
{
    runProgram(QStringLiteral("start-up"), settings(offlineDatabase(QStringLiteral("/srv/tolm/config.fdb")), {}),
               kStartUpScript, QStringLiteral("STARTED"));
}

void TestNetwork::programReadsWithDatabaseOffline()
{
    runProgram(QStringLiteral("read"),
               settings(m_config, {FbFixture::serverConnectionString(m_patients),
                                   offlineDatabase(QStringLiteral("/srv/tolm/pazienti2.fdb"))}),
               kExtractionScript, QStringLiteral("TOLD"));
}

void TestNetwork::runProgram(const QString &name, const QByteArray &ini, const char *script, const QString &done)
{
    if (!ProgramUnderXvfb::available())
        QSKIP("xvfb-run or xdotool is missing");
    const QString folder = path(name);
    QVERIFY(QDir().mkpath(folder));
    const QString program = ProgramUnderXvfb::installProgram(folder);
    QVERIFY(!program.isEmpty());
    writeWholeFile(folder + QStringLiteral("/Tolm.ini"), ini);
    const QString output = ProgramUnderXvfb::run(script, {program});
    QVERIFY2(output.contains(done), qPrintable(output));
    qInfo("%s", qPrintable(output.trimmed()));
}

QTEST_MAIN(TestNetwork)
#include "test_network.moc"
