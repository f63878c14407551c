// A read long enough to act during it, through the real program under Xvfb
// driven with xdotool: what is clicked during the read is dropped, never
// delivered once it has ended; Escape stops it in the middle of the
// database's rows; SIGTERM ends the program within a second.
//
// The program reads the patient database through the test server, so that
// the script sees from outside, in the server's monitoring tables, whether
// the program's statement is open, whether its transaction is, and whether
// it is attached at all: every read attaches anew and detaches at its end.
#include "support/FbFixture.h"
#include "support/ProgramUnderXvfb.h"
#include "support/TestFolder.h"

#include <QDate>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Enough for a read of a few seconds through the server, made in a few.
constexpr int kInvoices = 300000;

// $1 the program, $2 the patient database as the server names it, $3 the
// server's SYSDBA password, $4 what to do during the read:
//   click-estrai      "Estrai Dati" twice more
//   click-configura   "Configura"
//   escape            Escape, then "Esporta", then a whole read and export
//   sigterm           SIGTERM
const char kLongReadScript[] = R"SH(
cd "$(dirname "$1")"
database=$2
password=$3
action=$4
# One figure from the program's attachments to the patient database.
monitor() {
  printf "SET HEADING OFF;\n%s\n" "$1" |
    isql-fb -q -user SYSDBA -password "$password" "$database" 2>&1 | tr -d ' \n'
}
# Statements with an open cursor (fetching, or between two fetches).
open_statements() { monitor "SELECT COUNT(*) FROM MON\$STATEMENTS x $ours AND x.MON\$STATE <> 0;"; }
transactions() { monitor "SELECT COUNT(*) FROM MON\$TRANSACTIONS x $ours;"; }
attachments() { monitor "SELECT COUNT(*) FROM MON\$ATTACHMENTS WHERE MON\$REMOTE_PID = $pid;"; }
# Runs the check every 0.1 s until it holds, for 30 s at most.
wait_until() {
  for _ in $(seq 1 300); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}
# The query is open: the read has got to the database's rows.
reading_rows() { [ "$(open_statements)" = 1 ]; }
# The read has ended: the query closed, the transaction committed.
read_ended() { [ "$(open_statements)$(transactions)" = 00 ]; }
LANG=it_IT.UTF-8 LC_ALL= "$1" &
pid=$!
main=$(wait_window "Esportazione Dati Tolm") || fail "the main window did not appear"
ours="JOIN MON\$ATTACHMENTS a ON a.MON\$ATTACHMENT_ID = x.MON\$ATTACHMENT_ID WHERE a.MON\$REMOTE_PID = $pid"
xdotool windowfocus "$main" 2>/dev/null || true
sleep 0.5
xdotool mousemove --window "$main" 44 17 click 1
wait_until reading_rows || fail "the read did not begin"
sleep 0.5
reading_rows || fail "the read had ended before the $action: the database is too small"
case "$action" in
  click-estrai)
    xdotool mousemove --window "$main" 44 17 click 1 sleep 0.2 click 1 ;;
  click-configura)
    xdotool mousemove --window "$main" 712 17 click 1 ;;
  escape)
    xdotool windowfocus "$main" 2>/dev/null || true
    xdotool key Escape ;;
  sigterm)
    kill -TERM "$pid" ;;
esac
case "$action" in
  click-*)
    wait_until read_ended || fail "the read did not end"
    detached() { [ "$(attachments)" = 0 ]; }
    wait_until detached || fail "the read did not detach"
    # Long enough for a click kept for later to start a second read (which
    # attaches for a few seconds) or open the settings.
    sleep 2
    detached || fail "the database was read again"
    read_ended || fail "a second read is running"
    [ "$(window_count)" = 1 ] || fail "a window opened after the read"
    finish
    echo "ONE READ" ;;
  escape)
    sleep 1
    read_ended || fail "still reading 1 s after Escape"
    # "Esporta" is off: nothing to answer.
    xdotool mousemove --window "$main" 44 42 click 1
    sleep 1
    [ "$(window_count)" = 1 ] || fail "Esporta did something after the stop"
    # A new "Estrai Dati" reads the whole database, and "Esporta" writes it.
    xdotool mousemove --window "$main" 44 17 click 1
    wait_until reading_rows || fail "the second read did not begin"
    wait_until read_ended || fail "the second read did not end"
    box=""
    for _ in $(seq 1 30); do
      xdotool mousemove --window "$main" 44 42 click 1
      sleep 1
      box=$(xdotool search --onlyvisible --name "^Tolm Export$" 2>/dev/null | head -n 1 || true)
      [ -n "$box" ] && break
    done
    [ -n "$box" ] || fail "no message after Esporta"
    press_return "$box"
    wait_gone "^Tolm Export$" || fail "the message box did not close"
    finish
    echo "STOPPED AND READ AGAIN" ;;
  sigterm)
    for _ in $(seq 1 10); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && fail "still running 1 s after SIGTERM"
    wait "$pid"
    echo "EXIT $?" ;;
esac
)SH";

} // namespace

class TestLongRead : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir{QStringLiteral("/tmp/tolm-longread-XXXXXX")};
    QString m_config, m_patients;
    QString path(const QString &name) const { return m_dir.filePath(name); }
    // The program run with the script in a folder of its own, reading
    // m_patients through the server.
    struct Run
    {
        QString folder;
        QByteArray settings; // its Tolm.ini
        QString output;      // what the script printed
    };
    Run run(const QString &action) const;

private slots:
    void initTestCase();
    void clicksDuringAReadAreDropped_data();
    void clicksDuringAReadAreDropped();
    void escapeStopsTheRead();
    void sigtermDuringARead();
};

void TestLongRead::initTestCase()
{
    if (!ProgramUnderXvfb::available())
        QSKIP("xvfb-run or xdotool is missing");
    FB_REQUIRE_SERVER();
    QVERIFY(m_dir.isValid());
    m_config = path(QStringLiteral("config.fdb"));
    QVERIFY(FbFixture::createConfigDatabase(m_config));
    QVERIFY(FbFixture::runSql(m_config, FbFixture::insertHeading(QStringLiteral("01"), QStringLiteral("Studio Uno"))));
    // Dated today: the program starts on today's period.
    m_patients = path(QStringLiteral("pazienti.fdb"));
    QVERIFY(FbFixture::createPatientDatabase(m_patients));
    QVERIFY2(FbFixture::bulkLoad(m_patients, FbFixture::insertInvoices(kInvoices, QStringLiteral("01"),
                                                                        QDate::currentDate(), 1)),
             qPrintable(FbFixture::lastError()));
}

TestLongRead::Run TestLongRead::run(const QString &action) const
{
    Run run;
    run.folder = path(action);
    const QString program = QDir().mkpath(run.folder) ? ProgramUnderXvfb::installProgram(run.folder) : QString();
    if (program.isEmpty()) {
        run.output = QStringLiteral("cannot install the program in ") + run.folder;
        return run;
    }
    run.settings = settingsFileText(m_config, {FbFixture::serverConnectionString(m_patients)},
                                    QStringLiteral("[Database]\r\npwd=%1\r\n[AssSezionale]\r\n01=4\r\n[Generale]\r\n"
                                                   "PeriodoSalvataggio=0\r\nCartellaSalvataggio=%2\r\n"
                                                   "CreaSottocartelle=0\r\n")
                                        .arg(FbFixture::serverPassword(), run.folder + QStringLiteral("/esportazioni")),
                                    QStringLiteral("\r\n"));
    writeWholeFile(run.folder + QStringLiteral("/Tolm.ini"), run.settings);
    run.output = ProgramUnderXvfb::run(kLongReadScript, {program, FbFixture::serverConnectionString(m_patients),
                                                         FbFixture::serverPassword(), action});
    return run;
}

void TestLongRead::clicksDuringAReadAreDropped_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("Estrai Dati twice more") << "click-estrai";
    QTest::newRow("Configura") << "click-configura";
}

void TestLongRead::clicksDuringAReadAreDropped()
{
    QFETCH(QString, action);
    const Run r = run(action);
    QVERIFY2(r.output.contains(QLatin1String("ONE READ")), qPrintable(r.output));
}

void TestLongRead::escapeStopsTheRead()
{
    const Run r = run(QStringLiteral("escape"));
    QVERIFY2(r.output.contains(QLatin1String("STOPPED AND READ AGAIN")), qPrintable(r.output));

    // The export after the second read holds every invoice: a fee row and a
    // stamp-duty row each, after the heading.
    const QString out = r.folder + QStringLiteral("/esportazioni");
    QCOMPARE(QDir(out).entryList(QDir::Files), QStringList{"EsportazioneVelmora - Sezionale4.csv"});
    const QByteArray content = readWholeFile(out + QStringLiteral("/EsportazioneVelmora - Sezionale4.csv"));
    QCOMPARE(content.count("\r\n"), 1 + 2 * kInvoices);
}

void TestLongRead::sigtermDuringARead()
{
    const Run r = run(QStringLiteral("sigterm"));
    QVERIFY2(r.output.contains(QLatin1String("EXIT 0")), qPrintable(r.output));
    QCOMPARE(readWholeFile(r.folder + QStringLiteral("/Tolm.ini")), r.settings);
}

QTEST_GUILESS_MAIN(TestLongRead)
#include "test_longread.moc"
