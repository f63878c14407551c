// SIGTERM, SIGINT and SIGHUP end the real program as closing its main window
// does, whatever is on screen: status 0, Tolm.ini untouched, an export that
// had begun written whole. A signal that comes with the end of the display
// (a logout) ends it too, without a crash or a hang.
#include "support/FbFixture.h"
#include "support/ProgramUnderXvfb.h"
#include "support/TestFolder.h"

#include <QDate>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {

// $1 the program, $2 the signal, $3 what is on screen when it comes:
// startup (the main window), extracted (after "Estrai Dati"), settings (the
// settings dialog), messagebox ("Esportazione Terminata" after "Esporta"),
// startuperror (the error box of a configuration database that is missing,
// before the event loop runs).
const char kSignalScript[] = R"SH(
cd "$(dirname "$1")"
sig=$2
state=$3
# Waits until the program shows at least $1 windows; prints the first.
wait_count() {
  for _ in $(seq 1 300); do
    if [ "$(window_count)" -ge "$1" ]; then
      xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n 1
      return 0
    fi
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
"$1" &
pid=$!
w=$(wait_count 1) || fail "no window"
sleep 0.5
case "$state" in
  extracted)
    xdotool mousemove --window "$w" 44 17 click 1
    sleep 2 ;;
  settings)
    xdotool mousemove --window "$w" 712 17 click 1
    wait_count 2 >/dev/null || fail "no settings dialog" ;;
  messagebox)
    xdotool mousemove --window "$w" 44 17 click 1
    # "Esporta" turns on when the extraction has ended.
    for _ in $(seq 1 15); do
      sleep 1
      xdotool mousemove --window "$w" 44 42 click 1
      sleep 1
      [ "$(window_count)" -ge 2 ] && break
    done
    [ "$(window_count)" -ge 2 ] || fail "no message after Esporta" ;;
esac
kill -"$sig" "$pid"
for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "still running 10 s after SIG$sig"
wait "$pid"
echo "EXIT $?"
)SH";

// $1 the program. After an extraction, SIGTERM to the program and to the X
// server at once, as a logout does. When Qt's exit() comes first, nothing is
// freed, so a sanitizer build would only count every object as leaked.
const char kDisplayLossScript[] = R"SH(
cd "$(dirname "$1")"
ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" "$1" &
pid=$!
w=$(wait_window "Esportazione Dati Tolm") || fail "the main window did not appear"
sleep 0.5
xdotool mousemove --window "$w" 44 17 click 1
sleep 2
xserver=$(pgrep -P "$PPID" -x Xvfb) || fail "no X server"
kill -TERM "$pid" "$xserver"
for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2>/dev/null; then
  echo "HUNG"
  kill -KILL "$pid"
fi
wait "$pid"
echo "EXIT $?"
)SH";

// A folder with the program, a configuration database with heading 01
// (sezionale 4), a patient database with one invoice of today and Tolm.ini;
// configExists false names a configuration database that is not there.
QString prepareFolder(const QTemporaryDir &dir, bool configExists)
{
    const QString program = ProgramUnderXvfb::installProgram(dir.path());
    const QString config = dir.filePath(QStringLiteral("config.fdb"));
    const QString patients = dir.filePath(QStringLiteral("pazienti.fdb"));
    if (program.isEmpty() || !FbFixture::createPatientDatabase(patients))
        return QString();
    if (configExists
        && (!FbFixture::createConfigDatabase(config)
            || !FbFixture::runSql(config, FbFixture::insertHeading(QStringLiteral("01"), QStringLiteral("Studio Uno")))))
        return QString();
    FbFixture::Invoice invoice;
    invoice.data = QDate::currentDate(); // the program starts on today's period
    invoice.cognome = QStringLiteral("Rossi");
    invoice.cf = QStringLiteral("RSSMRA80A01H501U");
    invoice.importo = QStringLiteral("100.00");
    if (!FbFixture::runSql(patients, FbFixture::insertInvoice(invoice)))
        return QString();
    writeWholeFile(dir.filePath(QStringLiteral("Tolm.ini")),
                   settingsFileText(configExists ? config : dir.filePath(QStringLiteral("missing.fdb")), {patients},
                                    QStringLiteral("[AssSezionale]\r\n01=4\r\n[Generale]\r\nPeriodoSalvataggio=0\r\n"
                                                   "CartellaSalvataggio=%1\r\nCreaSottocartelle=0\r\n")
                                        .arg(dir.filePath(QStringLiteral("esportazioni"))),
                                    QStringLiteral("\r\n")));
    return program;
}

} // namespace

class TestSignals : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void signalEndsProgram_data();
    void signalEndsProgram();
    void signalWithDisplayLoss();
};

void TestSignals::init()
{
    if (!ProgramUnderXvfb::available())
        QSKIP("xvfb-run or xdotool is missing");
}

void TestSignals::signalEndsProgram_data()
{
    QTest::addColumn<QString>("signalName");
    QTest::addColumn<QString>("state");

    for (const char *state : {"startup", "extracted", "settings", "messagebox", "startuperror"})
        QTest::addRow("TERM %s", state) << QStringLiteral("TERM") << QString::fromLatin1(state);
    for (const char *signalName : {"INT", "HUP"}) {
        for (const char *state : {"extracted", "settings", "messagebox"})
            QTest::addRow("%s %s", signalName, state) << QString::fromLatin1(signalName)
                                                       << QString::fromLatin1(state);
    }
}

void TestSignals::signalEndsProgram()
{
    QFETCH(QString, signalName);
    QFETCH(QString, state);

    QTemporaryDir dir(QStringLiteral("/tmp/tolm-signals-XXXXXX"));
    QVERIFY(dir.isValid());
    const QString program = prepareFolder(dir, state != QLatin1String("startuperror"));
    QVERIFY2(!program.isEmpty(), qPrintable(FbFixture::lastError()));
    const QString ini = dir.filePath(QStringLiteral("Tolm.ini"));
    const QByteArray settings = readWholeFile(ini);

    const QString output = ProgramUnderXvfb::run(kSignalScript, {program, signalName, state});
    QVERIFY2(output.contains(QLatin1String("EXIT 0")), qPrintable(output));
    QCOMPARE(readWholeFile(ini), settings);

    // An export that had begun is there whole, and nothing beside it.
    const QDir out(dir.filePath(QStringLiteral("esportazioni")));
    const QStringList written = out.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    if (state == QLatin1String("messagebox")) {
        QCOMPARE(written, QStringList{"EsportazioneVelmora - Sezionale4.csv"});
        const QByteArray content = readWholeFile(out.filePath(written.constFirst()));
        QVERIFY(content.startsWith("ATT;REG;SEZ;"));
        QCOMPARE(content.count("\r\n"), 2); // heading and the one fee row
        QVERIFY(content.endsWith("\r\n"));
    } else {
        QCOMPARE(written, QStringList());
    }
}

void TestSignals::signalWithDisplayLoss()
{
    QTemporaryDir dir(QStringLiteral("/tmp/tolm-signals-XXXXXX"));
    QVERIFY(dir.isValid());
    const QString program = prepareFolder(dir, true);
    QVERIFY2(!program.isEmpty(), qPrintable(FbFixture::lastError()));
    const QString ini = dir.filePath(QStringLiteral("Tolm.ini"));
    const QByteArray settings = readWholeFile(ini);

    // Which of the two the program meets first differs from run to run.
    for (int run = 0; run < 4; ++run) {
        const QString output = ProgramUnderXvfb::run(kDisplayLossScript, {program});
        QVERIFY2(!output.contains(QLatin1String("HUNG")), qPrintable(output));
        const qsizetype at = output.indexOf(QLatin1String("EXIT "));
        QVERIFY2(at >= 0, qPrintable(output));
        // 0 when the signal was served first, 1 from Qt when the display
        // went first; 128 and above is a death by a signal (a crash).
        const int status = output.mid(at + 5).section(QLatin1Char('\n'), 0, 0).toInt();
        QVERIFY2(status < 128, qPrintable(output));
        QVERIFY2(!output.contains(QLatin1String("AddressSanitizer")), qPrintable(output));
        QCOMPARE(readWholeFile(ini), settings);
    }
}

QTEST_GUILESS_MAIN(TestSignals)
#include "test_signals.moc"
