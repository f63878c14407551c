// The real program as a separate process, copied into a folder of its own
// beside a Tolm.ini and real Firebird databases, driven under Xvfb with
// xdotool as a user drives it: mouse clicks on the buttons and Return on the
// message boxes.
#include "support/FbFixture.h"
#include "support/TestFolder.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using FbFixture::Invoice;

namespace {

// Shell functions shared by the scripts; they run inside xvfb-run, with the
// program started in the background as $pid.
const char kHelpers[] = R"SH(
set -u
# Prints the id of the first visible window whose title matches $1; fails
# after 30 s or as soon as the program has ended.
wait_window() {
  for _ in $(seq 1 300); do
    w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
    if [ -n "$w" ]; then echo "$w"; return 0; fi
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
# Waits up to 30 s until no visible window's title matches $1.
wait_gone() {
  for _ in $(seq 1 300); do
    [ -z "$(xdotool search --onlyvisible --name "$1" 2>/dev/null || true)" ] && return 0
    sleep 0.1
  done
  return 1
}
# Answers the message box $1 with Return, as a user at the keyboard.
press_return() {
  xdotool mousemove --window "$1" 20 20
  xdotool windowfocus "$1" 2>/dev/null || true
  sleep 0.3
  xdotool key Return
}
# The embedded database engine may hold SIGTERM back: SIGKILL after 1 s.
finish() {
  kill -TERM "$pid" 2>/dev/null || true
  for _ in $(seq 1 10); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
fail() { echo "FAILED: $1"; finish; exit 1; }
)SH";

// Starts the program, opens and closes the settings dialog, extracts,
// exports and answers "Esportazione Terminata". Every window has exactly its
// own title on the window system: the message box the program title alone.
const char kExportScript[] = R"SH(
cd "$(dirname "$1")"
LANG=it_IT.UTF-8 LC_ALL= LC_NUMERIC= LC_MONETARY= "$1" &
pid=$!
main=$(wait_window "Esportazione Dati Tolm") || fail "the main window did not appear"
title=$(xdotool getwindowname "$main")
[ "$title" = "Esportazione Dati Tolm" ] || fail "the main window is titled '$title'"
sleep 1
# "Configura", then Escape: the dialog closes as Cancel.
xdotool mousemove 712 17 click 1
dialog=$(wait_window "^Configurazione") || fail "the settings dialog did not appear"
title=$(xdotool getwindowname "$dialog")
[ "$title" = "Configurazione" ] || fail "the settings dialog is titled '$title'"
xdotool windowfocus "$dialog" 2>/dev/null || true
sleep 0.3
xdotool key Escape
wait_gone "^Configurazione" || fail "the settings dialog did not close"
xdotool mousemove 0 300 mousemove 44 17 click 1
# "Esporta" turns on when the extraction has ended: press it until the
# closing message shows up.
box=""
for _ in $(seq 1 15); do
  sleep 1
  xdotool mousemove 44 42 click 1
  sleep 1
  box=$(xdotool search --onlyvisible --name "^Tolm Export$" 2>/dev/null | head -n 1 || true)
  [ -n "$box" ] && break
done
[ -n "$box" ] || fail "no message after Esporta"
title=$(xdotool getwindowname "$box")
[ "$title" = "Tolm Export" ] || fail "the message box is titled '$title'"
press_return "$box"
wait_gone "^Tolm Export$" || fail "the message box did not close"
kill -0 "$pid" 2>/dev/null || fail "the program ended"
finish
echo "DONE"
)SH";

// Starts the program without Tolm.ini: it shows its message and, once the
// message is answered, ends by itself.
const char kNoSettingsScript[] = R"SH(
cd "$(dirname "$1")"
"$1" &
pid=$!
box=$(wait_window "^Tolm Export$") || fail "no message"
sleep 0.5
press_return "$box"
for _ in $(seq 1 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "the program did not end"
wait "$pid"
echo "EXIT $?"
)SH";

const QByteArray kHeader = "ATT;REG;SEZ;DATA OPER;N.PROTO;PROG.P;RIGA;DATA DOC;N.DOC;CLIFOR;ALIQ;TIT.INAP;IMPONIB;"
                           "IVA;SETT.;DARE;AVERE;VOCE IVA;FUNZ;DESCR CLIFOR;NOTE;CODFISCALE;PARTITAIVA;NOMINATIVO;"
                           "INDIRIZZO;CAP;COMUNE;PROV;TIPO CLIFOR;SOGG 770;ESCLUDI DA SPESOMETRO;NUM STATO EST;"
                           "COD STATO;TEL;FAX;EMAIL\r\n";

// Copies the program into folder; returns its path there.
QString installProgram(const QString &folder)
{
    const QString target = QDir(folder).filePath(QStringLiteral("tolm-export"));
    if (!QFile::copy(QStringLiteral(TOLM_BINARY_PATH), target))
        return QString();
    return target;
}

} // namespace

class TestProgram : public QObject
{
    Q_OBJECT

private:
    // Runs one of the scripts around the program under a fresh Xvfb server;
    // returns what it printed.
    QString runUnderXvfb(const char *script, const QString &program);

private slots:
    void init();
    void extractAndExport();
    void withoutSettingsFileShowsMessageAndEnds();
};

void TestProgram::init()
{
    if (QStandardPaths::findExecutable(QStringLiteral("xvfb-run")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        QSKIP("xvfb-run or xdotool is missing");
}

QString TestProgram::runUnderXvfb(const char *script, const QString &program)
{
    QTemporaryDir scriptDir;
    if (!scriptDir.isValid())
        return QStringLiteral("no temporary folder");
    const QString scriptPath = scriptDir.filePath(QStringLiteral("drive.sh"));
    writeWholeFile(scriptPath, QByteArray(kHelpers) + script);

    QProcess xvfb;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM")); // the real window system
    env.remove(QStringLiteral("DISPLAY"));
    xvfb.setProcessEnvironment(env);
    xvfb.setProcessChannelMode(QProcess::MergedChannels);
    xvfb.start(QStringLiteral("xvfb-run"), {QStringLiteral("-a"), QStringLiteral("-s"),
                                            QStringLiteral("-screen 0 1024x768x24"), QStringLiteral("bash"),
                                            scriptPath, program});
    if (!xvfb.waitForFinished(60000)) {
        // Ends xvfb-run, which takes its X server down; the script's own
        // program is ended by the script's bounded waits.
        xvfb.kill();
        xvfb.waitForFinished(5000);
        return QStringLiteral("timed out: ") + QString::fromLocal8Bit(xvfb.readAll());
    }
    return QString::fromLocal8Bit(xvfb.readAll());
}

void TestProgram::extractAndExport()
{
    QTemporaryDir dir(QStringLiteral("/tmp/tolm-program-XXXXXX"));
    QVERIFY(dir.isValid());
    const QString program = installProgram(dir.path());
    QVERIFY(!program.isEmpty());

    const QString config = dir.filePath(QStringLiteral("config.fdb"));
    QVERIFY(FbFixture::createConfigDatabase(config));
    QVERIFY(FbFixture::runSql(config, FbFixture::insertHeading(QStringLiteral("01"), QStringLiteral("Studio Uno"))));
    // Dated today: the program starts on today's period and has no clock
    // of the tests'.
    const QDate today = QDate::currentDate();
    const QString patients = dir.filePath(QStringLiteral("pazienti.fdb"));
    QVERIFY(FbFixture::createPatientDatabase(patients));
    Invoice rossi;
    rossi.numero = 7;
    rossi.data = today;
    rossi.cognome = QStringLiteral("Rossi");
    rossi.nome = QStringLiteral("Niccolò");
    rossi.cf = QStringLiteral("RSSNCC80A01H501U");
    rossi.citta = QStringLiteral("Forlì");
    rossi.importo = QStringLiteral("100.50");
    rossi.importoTasse = QStringLiteral("2.00");
    Invoice bianchi;
    bianchi.numero = 3;
    bianchi.data = today;
    bianchi.cognome = QStringLiteral("Bianchi");
    bianchi.cf = QStringLiteral("BNCGVN80A01H501X");
    bianchi.importo = QStringLiteral("80.00");
    bianchi.importoIva = QStringLiteral("17.60");
    QVERIFY(FbFixture::runSql(patients, FbFixture::insertInvoice(rossi) + FbFixture::insertInvoice(bianchi)
                                            + FbFixture::insertPatient(QStringLiteral("BNCGVN80A01H501X"),
                                                                       QStringLiteral("01234567890"))));

    const QString out = dir.filePath(QStringLiteral("esportazioni"));
    writeWholeFile(dir.filePath(QStringLiteral("Tolm.ini")),
                   QStringLiteral("[Config]\nfile=%1\n[File]\n1=%2\n[AssSezionale]\n01=4\n[Generale]\n"
                                  "PeriodoSalvataggio=0\nCartellaSalvataggio=%3\nCreaSottocartelle=0\nAttivita=2\n"
                                  "Registro=V\nIVA=22\nInapplicabilita=E1\nVoceIva=V1\nSettore=S\nContoDare=D\n"
                                  "ContoAvere=A\nInapplicabilitaBollo=EB\nVoceIvaBollo=VB\nSettoreBollo=SB\n"
                                  "ContoDareBollo=DB\nContoAvereBollo=AB\n")
                       .arg(config, patients, out)
                       .toUtf8());

    const QString output = runUnderXvfb(kExportScript, program);
    QVERIFY2(output.contains(QLatin1String("DONE")), qPrintable(output));

    const QByteArray day = today.toString(QStringLiteral("ddMMyy")).toLatin1();
    QByteArray expected = kHeader;
    expected += "2;V;4;" + day + ";3;;1;" + day + ";00000;;22;;80;17,6;S;D;A;V1;;;;BNCGVN80A01H501X;01234567890;"
                "Bianchi=;;;;;N;N;;;;\r\n";
    expected += "2;V;4;" + day + ";7;;1;" + day + ";00000;;0;E1;100,5;;S;D;A;V1;;;;RSSNCC80A01H501U;;"
                "Rossi=Niccol\xF2;;;Forl\xEC;;P;N;;;;\r\n";
    expected += "2;V;4;" + day + ";7;;2;" + day + ";00000;;0;EB;2;;SB;DB;AB;VB;;;;RSSNCC80A01H501U;;"
                "Rossi=Niccol\xF2;;;Forl\xEC;;P;N;;;;\r\n";
    QCOMPARE(readWholeFile(out + QStringLiteral("/EsportazioneVelmora - Sezionale4.csv")), expected);
    QCOMPARE(QDir(out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{"EsportazioneVelmora - Sezionale4.csv"});
}

void TestProgram::withoutSettingsFileShowsMessageAndEnds()
{
    QTemporaryDir dir(QStringLiteral("/tmp/tolm-program-XXXXXX"));
    QVERIFY(dir.isValid());
    const QString program = installProgram(dir.path());
    QVERIFY(!program.isEmpty());

    const QString output = runUnderXvfb(kNoSettingsScript, program);
    QVERIFY2(output.contains(QLatin1String("EXIT 0")), qPrintable(output));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("Tolm.ini"))));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{"tolm-export"});
}

QTEST_GUILESS_MAIN(TestProgram)
#include "test_program.moc"
