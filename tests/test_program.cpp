// The real program as a separate process, copied into a folder of its own
// beside a Tolm.ini and real Firebird databases, driven under Xvfb with
// xdotool as a user drives it: mouse clicks on the buttons and Return on the
// message boxes.
#include "support/ExportSamples.h"
#include "support/FbFixture.h"
#include "support/ProgramUnderXvfb.h"
#include "support/TestFolder.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using FbFixture::Invoice;

namespace {

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

using ExportSamples::kHeader;

} // namespace

class TestProgram : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void extractAndExport();
    void withoutSettingsFileShowsMessageAndEnds();
};

void TestProgram::init()
{
    if (!ProgramUnderXvfb::available())
        QSKIP("xvfb-run or xdotool is missing");
}

void TestProgram::extractAndExport()
{
    QTemporaryDir dir(QStringLiteral("/tmp/tolm-program-XXXXXX"));
    QVERIFY(dir.isValid());
    const QString program = ProgramUnderXvfb::installProgram(dir.path());
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
                   settingsFileText(config, {patients},
                                    QStringLiteral("[AssSezionale]\n01=4\n[Generale]\n"
                                                   "PeriodoSalvataggio=0\nCartellaSalvataggio=%1\nCreaSottocartelle=0\n"
                                                   "Attivita=2\nRegistro=V\nIVA=22\nInapplicabilita=E1\nVoceIva=V1\n"
                                                   "Settore=S\nContoDare=D\nContoAvere=A\nInapplicabilitaBollo=EB\n"
                                                   "VoceIvaBollo=VB\nSettoreBollo=SB\nContoDareBollo=DB\n"
                                                   "ContoAvereBollo=AB\n")
                                        .arg(out)));

    const QString output = ProgramUnderXvfb::run(kExportScript, {program});
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
    const QString program = ProgramUnderXvfb::installProgram(dir.path());
    QVERIFY(!program.isEmpty());

    const QString output = ProgramUnderXvfb::run(kNoSettingsScript, {program});
    QVERIFY2(output.contains(QLatin1String("EXIT 0")), qPrintable(output));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("Tolm.ini"))));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{"tolm-export"});
}

QTEST_GUILESS_MAIN(TestProgram)
#include "test_program.moc"
