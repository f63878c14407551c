#include "dialogs/DatabaseListAction.h"
#include "dialogs/TDlgOpenFile.h"
#include "dialogs/TOpenDatabaseDlg.h"
#include "dialogs/TRecordDlg.h"
#include "platform/ErrorReport.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"

#include "support/TestFolder.h"
// GCC 12 reports a false "maybe uninitialized" inside std::optional<QString>.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "support/TestPrompter.h"
#pragma GCC diagnostic pop

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;

namespace {
// Set when a scripted answer found no dialog of the expected kind, or left
// the dialog open.
bool dialogoMancato = false;

// Answers the next modal dialog: runs `azione` on it once its event loop
// runs. The action is expected to close it.
template <typename Dialog, typename Azione>
void alProssimoDialogo(Azione azione)
{
    QTimer::singleShot(0, qApp, [azione]() mutable {
        QPointer<QDialog> attivo = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (auto *atteso = qobject_cast<Dialog *>(attivo.data()))
            azione(*atteso);
        else
            dialogoMancato = true;
        if (attivo && attivo->isVisible()) {
            dialogoMancato = true;
            attivo->reject();
        }
    });
}

void clicca(QAbstractButton *pulsante)
{
    QTest::mouseClick(pulsante, Qt::LeftButton);
}

QStringList righeDi(const QListWidget &lista)
{
    QStringList righe;
    for (int i = 0; i < lista.count(); ++i)
        righe << lista.item(i)->text();
    return righe;
}

QStringList righeDi(const TDlgOpenFile &elenco)
{
    QStringList righe;
    for (const ConnectionParts &riga : elenco.rows())
        righe << riga.host + QLatin1Char('|') + riga.file;
    return righe;
}

void makeCurrent(TDlgOpenFile &elenco, int riga)
{
    QTableView *griglia = elenco.DBGrid1;
    const QRect cella = griglia->visualRect(griglia->model()->index(riga, 1));
    QTest::mouseClick(griglia->viewport(), Qt::LeftButton, {}, cella.center());
}

void aggiungiConPosizione(TDlgOpenFile &elenco, const QString &host, const QString &file)
{
    alProssimoDialogo<TOpenDatabaseDlg>([host, file](TOpenDatabaseDlg &posizione) {
        posizione.EditHost->setText(host);
        posizione.EditFile->setText(file);
        clicca(posizione.OKBtn);
    });
    clicca(elenco.SpeedButton1);
}

bool chattr(const QString &flag, const QString &path)
{
    return QProcess::execute(QStringLiteral("chattr"), {flag, path}) == 0;
}

// Removes an immutable flag when the test ends, however it ends.
struct Immutabile
{
    explicit Immutabile(const QString &p) : path(p), attivo(chattr(QStringLiteral("+i"), p)) {}
    ~Immutabile() { if (attivo) chattr(QStringLiteral("-i"), path); }
    QString path;
    bool attivo;
};

const QByteArray iniTipico = "[Config]\r\nDatabase=cfg.fdb\r\n"
                             "[File]\r\ndb1=srv:C:\\dati\\a.fdb\r\ndb7=b.fdb\r\n"
                             "[Generale]\r\nPeriodoSalvataggio=2\r\n";
} // namespace

class TestDatabaseDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void recordDialog_data();
    void recordDialog();

    void browse_data();
    void browse();
    void hostButtons_data();
    void hostButtons();
    void bareNameCompletion_data();
    void bareNameCompletion();

    void listAddsThroughLocationDialog();
    void listRemoveMovesCurrent_data();
    void listRemoveMovesCurrent();
    void listRemoveOnEmptyReportsError();
    void listCtrlDelete_data();
    void listCtrlDelete();

    void actionRenumbersOnOk();
    void actionWritesEveryFormBack();
    void actionRemovesSecondOfThree();
    void actionEmptyListRemovesSection();
    void actionCancelLeavesFileAlone();
    void actionWriteFailureKeepsSection_data();
    void actionWriteFailureKeepsSection();

private:
    QByteArray m_computerName;
    bool m_computerNameSet = false;
};

void TestDatabaseDialogs::initTestCase()
{
    m_computerNameSet = qEnvironmentVariableIsSet("COMPUTERNAME");
    m_computerName = qgetenv("COMPUTERNAME");
}

void TestDatabaseDialogs::cleanup()
{
    if (m_computerNameSet)
        qputenv("COMPUTERNAME", m_computerName);
    else
        qunsetenv("COMPUTERNAME");
    QVERIFY2(!dialogoMancato, "a scripted dialog answer found no dialog or left it open");
    dialogoMancato = false;
    QVERIFY(!QApplication::activeModalWidget());
}

// --- Record dialog -----------------------------------------------------

void TestDatabaseDialogs::recordDialog_data()
{
    QTest::addColumn<QString>("codice");
    QTest::addColumn<QString>("nome");
    QTest::addColumn<QString>("valore");
    QTest::addColumn<QString>("chiusura");
    QTest::addColumn<QStringList>("righe");

    const QStringList prima{"a=1", "b=2", "c=3"};
    QTest::newRow("A adds") << "A" << "1" << "x" << "ok" << QStringList{"a=1", "b=2", "c=3", "1=x"};
    QTest::newRow("A empty fields") << "A" << "" << "" << "ok" << QStringList{"a=1", "b=2", "c=3", "="};
    QTest::newRow("M replaces in place") << "M" << "k" << "v" << "ok" << QStringList{"a=1", "k=v", "c=3"};
    QTest::newRow("M joins signs as they are") << "M" << "x=y" << " z=" << "ok"
                                               << QStringList{"a=1", "x=y= z=", "c=3"};
    for (const char *codice : {"a", "m", "", "X"})
        QTest::addRow("code '%s' does nothing", codice) << codice << "k" << "v" << "ok" << prima;
    for (const char *codice : {"A", "M"}) {
        for (const char *chiusura : {"cancel", "escape", "close"})
            QTest::addRow("%s %s", codice, chiusura) << codice << "k" << "v" << chiusura << prima;
    }
}

void TestDatabaseDialogs::recordDialog()
{
    QFETCH(QString, codice);
    QFETCH(QString, nome);
    QFETCH(QString, valore);
    QFETCH(QString, chiusura);
    QFETCH(QStringList, righe);

    TestPrompter prompter;
    QListWidget lista;
    lista.addItems({"a=1", "b=2", "c=3"});
    lista.setCurrentRow(1);

    TRecordDlg dialogo;
    QCOMPARE(dialogo.windowTitle(), QStringLiteral("Gestione Record"));
    QCOMPARE(dialogo.LabelName->text(), QStringLiteral("LabelName"));
    QCOMPARE(dialogo.LabelValue->text(), QStringLiteral("LabelValue"));
    dialogo.ListBox = &lista;
    dialogo.TipoAzione = codice;
    dialogo.EditName->setText(nome);
    dialogo.EditValue->setText(valore);

    alProssimoDialogo<TRecordDlg>([chiusura](TRecordDlg &d) {
        if (chiusura == QLatin1String("ok"))
            clicca(d.OKBtn);
        else if (chiusura == QLatin1String("cancel"))
            clicca(d.CancelBtn);
        else if (chiusura == QLatin1String("escape"))
            QTest::keyClick(&d, Qt::Key_Escape);
        else
            d.close();
    });
    const int esito = dialogo.exec();

    QCOMPARE(esito, chiusura == QLatin1String("ok") ? int(QDialog::Accepted) : int(QDialog::Rejected));
    QCOMPARE(righeDi(lista), righe);
    QCOMPARE(lista.currentRow(), 1);
    QVERIFY(lista.item(1)->isSelected());
    QVERIFY(prompter.all.isEmpty());
}

// --- Location dialog -----------------------------------------------------

void TestDatabaseDialogs::browse_data()
{
    QTest::addColumn<std::optional<QString>>("scelto");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("file");

    using Scelta = std::optional<QString>;
    // The fields hold host "prima" and file "vecchio.fdb" before browsing.
    QTest::newRow("drive path keeps the host") << Scelta("C:\\dati\\x.fdb") << "prima" << "C:\\dati\\x.fdb";
    QTest::newRow("mapped drive is local") << Scelta("Z:\\dati\\x.fdb") << "prima" << "Z:\\dati\\x.fdb";
    QTest::newRow("unix path is local") << Scelta("/srv/dati/x.fdb") << "prima" << "/srv/dati/x.fdb";
    QTest::newRow("network share") << Scelta("\\\\srv\\d\\dati\\x.fdb") << "srv" << "d:\\dati\\x.fdb";
    QTest::newRow("long share name") << Scelta("\\\\srv\\dati\\x.fdb") << "srv" << "d:ati\\x.fdb";
    QTest::newRow("share already a drive") << Scelta("\\\\srv\\d:\\x.fdb") << "srv" << "d:\\x.fdb";
    QTest::newRow("cancelled") << Scelta() << "prima" << "vecchio.fdb";
}

void TestDatabaseDialogs::browse()
{
    QFETCH(std::optional<QString>, scelto);
    QFETCH(QString, host);
    QFETCH(QString, file);

    TestPrompter prompter;
    prompter.fileAnswers.push_back(scelto);
    TOpenDatabaseDlg dialogo;
    QCOMPARE(dialogo.SpeedButton1->toolTip(), QStringLiteral("Seleziona il database da aprire"));
    dialogo.EditHost->setText(QStringLiteral("prima"));
    dialogo.EditFile->setText(QStringLiteral("vecchio.fdb"));
    dialogo.show();

    clicca(dialogo.SpeedButton1);

    QCOMPARE(prompter.fileFilters, QStringList{
        "Tutti i file|*.fdb;*.gdb|File Interbase (*.gdb)|*.gdb|File Firebird (*.fdb)|*.fdb"});
    QCOMPARE(prompter.fileSuffixes, QStringList{"fdb"});
    QCOMPARE(dialogo.EditHost->text(), host);
    QCOMPARE(dialogo.EditFile->text(), file);
    QVERIFY(prompter.all.isEmpty());
}

void TestDatabaseDialogs::hostButtons_data()
{
    QTest::addColumn<QString>("pulsante");
    QTest::addColumn<std::optional<QString>>("nomeComputer");
    QTest::addColumn<QString>("host");

    using Nome = std::optional<QString>;
    QTest::newRow("N with a name") << "N" << Nome("PC01") << "PC01";
    QTest::newRow("N without COMPUTERNAME") << "N" << Nome() << "";
    QTest::newRow("IP of a name that resolves") << "IP" << Nome("localhost") << "127.0.0.1";
    QTest::newRow("IP without COMPUTERNAME") << "IP" << Nome() << "";
    QTest::newRow("IP of a name that does not resolve") << "IP" << Nome("nessuno.invalid") << "srv";
}

void TestDatabaseDialogs::hostButtons()
{
    QFETCH(QString, pulsante);
    QFETCH(std::optional<QString>, nomeComputer);
    QFETCH(QString, host);

    if (nomeComputer)
        qputenv("COMPUTERNAME", nomeComputer->toLocal8Bit());
    else
        qunsetenv("COMPUTERNAME");

    TestPrompter prompter;
    TOpenDatabaseDlg dialogo;
    QCOMPARE(dialogo.ButtonIp->toolTip(), QStringLiteral("Ricava indirizo IP"));
    QCOMPARE(dialogo.Button1->toolTip(), QStringLiteral("Ricava nome computer"));
    dialogo.EditHost->setText(QStringLiteral("srv"));
    dialogo.show();

    clicca(pulsante == QLatin1String("N") ? dialogo.Button1 : dialogo.ButtonIp);

    QCOMPARE(dialogo.EditHost->text(), host);
    QVERIFY(prompter.all.isEmpty());
}

void TestDatabaseDialogs::bareNameCompletion_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("mostrato");

    QTest::newRow("bare name") << "" << "pazienti.fdb" << "<folder>database/pazienti.fdb";
    QTest::newRow("with a host") << "srv" << "pazienti.fdb" << "pazienti.fdb";
    QTest::newRow("with a backslash") << "" << "dati\\pazienti.fdb" << "dati\\pazienti.fdb";
    QTest::newRow("with a slash") << "" << "dati/pazienti.fdb" << "dati/pazienti.fdb";
    QTest::newRow("both empty") << "" << "" << "";
}

void TestDatabaseDialogs::bareNameCompletion()
{
    QFETCH(QString, host);
    QFETCH(QString, file);
    QFETCH(QString, mostrato);
    TestFolder cartella;
    mostrato.replace(QLatin1String("<folder>"), programFolder());
    TestPrompter prompter;
    TOpenDatabaseDlg dialogo;
    dialogo.EditHost->setText(host);
    dialogo.EditFile->setText(file);

    QString fileMostrato;
    bool fuocoSulFile = false;
    alProssimoDialogo<TOpenDatabaseDlg>([&](TOpenDatabaseDlg &d) {
        fileMostrato = d.EditFile->text();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        fuocoSulFile = d.focusWidget() == d.EditFile;
        QCOMPARE(d.windowTitle(), QStringLiteral("Database"));
        clicca(d.OKBtn);
    });
    QCOMPARE(dialogo.exec(), int(QDialog::Accepted));

    QCOMPARE(fileMostrato, mostrato);
    QVERIFY(fuocoSulFile);
    QCOMPARE(dialogo.EditHost->text(), host);
    QCOMPARE(dialogo.EditFile->text(), mostrato);
    QVERIFY(prompter.all.isEmpty());
}

// --- List dialog ------------------------------------------------------------

void TestDatabaseDialogs::listAddsThroughLocationDialog()
{
    TestPrompter prompter;
    TDlgOpenFile elenco;
    QAbstractItemModelTester tester(elenco.DBGrid1->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    elenco.appendRow({"", "a.fdb"});

    alProssimoDialogo<TDlgOpenFile>([](TDlgOpenFile &e) {
        QCOMPARE(e.windowTitle(), QStringLiteral("Elenco File"));
        QCOMPARE(e.DBGrid1->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Host"));
        QCOMPARE(e.DBGrid1->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("File"));
        QVERIFY(!(e.DBGrid1->model()->flags(e.DBGrid1->model()->index(0, 1)) & Qt::ItemIsEditable));

        aggiungiConPosizione(e, QStringLiteral("srv"), QStringLiteral("C:\\x.fdb"));
        QCOMPARE(e.currentRow(), 1);
        makeCurrent(e, 0);
        // Cancel in the location dialog adds nothing.
        alProssimoDialogo<TOpenDatabaseDlg>([](TOpenDatabaseDlg &p) {
            p.EditFile->setText(QStringLiteral("no.fdb"));
            clicca(p.CancelBtn);
        });
        clicca(e.SpeedButton1);
        QCOMPARE(e.currentRow(), 0);
        // Both fields empty: an empty row, taken as it is.
        aggiungiConPosizione(e, QString(), QString());
        QCOMPARE(e.currentRow(), 2);
        clicca(e.OKBtn);
    });
    QCOMPARE(elenco.exec(), int(QDialog::Accepted));

    QCOMPARE(righeDi(elenco), (QStringList{"|a.fdb", "srv|C:\\x.fdb", "|"}));
    QVERIFY(prompter.all.isEmpty());
}

void TestDatabaseDialogs::listRemoveMovesCurrent_data()
{
    QTest::addColumn<int>("riga");
    QTest::addColumn<QStringList>("righe");
    QTest::addColumn<int>("corrente");

    QTest::newRow("first") << 0 << QStringList{"|b", "|c"} << 0;
    QTest::newRow("middle: the next becomes current") << 1 << QStringList{"|a", "|c"} << 1;
    QTest::newRow("last: the new last becomes current") << 2 << QStringList{"|a", "|b"} << 1;
}

void TestDatabaseDialogs::listRemoveMovesCurrent()
{
    QFETCH(int, riga);
    QFETCH(QStringList, righe);
    QFETCH(int, corrente);

    TestPrompter prompter;
    TDlgOpenFile elenco;
    for (const char *file : {"a", "b", "c"})
        elenco.appendRow({"", file});
    elenco.show();
    QCOMPARE(elenco.currentRow(), 2);

    makeCurrent(elenco, riga);
    QCOMPARE(elenco.currentRow(), riga);
    clicca(elenco.SpeedButton2);

    QCOMPARE(righeDi(elenco), righe);
    QCOMPARE(elenco.currentRow(), corrente);
    QVERIFY(prompter.all.isEmpty());
}

void TestDatabaseDialogs::listRemoveOnEmptyReportsError()
{
    TestPrompter prompter;
    TDlgOpenFile elenco;
    elenco.appendRow({"", "a"});

    bool ancoraAperto = false;
    alProssimoDialogo<TDlgOpenFile>([&](TDlgOpenFile &e) {
        clicca(e.SpeedButton2);
        QVERIFY(prompter.all.isEmpty());
        clicca(e.SpeedButton2);
        clicca(e.SpeedButton2);
        ancoraAperto = e.isVisible();
        clicca(e.CancelBtn);
    });
    elenco.exec();

    QVERIFY(ancoraAperto);
    QCOMPARE(prompter.errors, QStringList(2, "Cannot perform this operation on an empty dataset."));
    QVERIFY(elenco.rows().isEmpty());
    QCOMPARE(elenco.currentRow(), -1);
}

void TestDatabaseDialogs::listCtrlDelete_data()
{
    QTest::addColumn<bool>("risposta");
    QTest::addColumn<QStringList>("righe");

    QTest::newRow("OK removes") << true << QStringList{"|a", "|c"};
    QTest::newRow("Cancel keeps") << false << QStringList{"|a", "|b", "|c"};
}

void TestDatabaseDialogs::listCtrlDelete()
{
    QFETCH(bool, risposta);
    QFETCH(QStringList, righe);

    TestPrompter prompter;
    prompter.okCancelAnswers.push_back(risposta);
    TDlgOpenFile elenco;
    QAbstractItemModelTester tester(elenco.DBGrid1->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (const char *file : {"a", "b", "c"})
        elenco.appendRow({"", file});
    elenco.show();
    makeCurrent(elenco, 1);

    QTest::keyClick(elenco.DBGrid1, Qt::Key_Delete, Qt::ControlModifier);

    QCOMPARE(prompter.questions, QStringList{"Delete record?"});
    QCOMPARE(righeDi(elenco), righe);
    QCOMPARE(elenco.currentRow(), 1);
    QVERIFY(elenco.isVisible());
}

// --- The "File su cui operare" action -------------------------------------

void TestDatabaseDialogs::actionRenumbersOnOk()
{
    TestFolder cartella;
    TestPrompter prompter;
    cartella.writeIni(iniTipico);

    QStringList mostrate;
    int corrente = -2;
    alProssimoDialogo<TDlgOpenFile>([&](TDlgOpenFile &e) {
        mostrate = righeDi(e);
        corrente = e.currentRow();
        clicca(e.OKBtn);
    });
    QVERIFY(guarded([] { runDatabaseListDialog(nullptr); }));

    QCOMPARE(mostrate, (QStringList{"srv|C:\\dati\\a.fdb", "|b.fdb"}));
    QCOMPARE(corrente, 1);
    const ProfileFile ini(cartella.iniPath());
    QCOMPARE(ini.sectionLines("File"), (QStringList{"1=srv:C:\\dati\\a.fdb", "2=b.fdb"}));
    QCOMPARE(ini.sectionLines("Config"), QStringList{"Database=cfg.fdb"});
    QCOMPARE(ini.sectionLines("Generale"), QStringList{"PeriodoSalvataggio=2"});
    QVERIFY(prompter.all.isEmpty());
}

void TestDatabaseDialogs::actionWritesEveryFormBack()
{
    TestFolder cartella;
    TestPrompter prompter;
    cartella.writeIni("[File]\r\n"
                      "a=\\\\srv\\C:\\dati\\x.fdb\r\n"
                      "b=srv@C:\\dati\\x.fdb\r\n"
                      "c=\\\\senzapercorso\r\n"
                      "d=srv:C:\\dati\\a@b.fdb\r\n"
                      "e=\r\n"
                      "f=srv:\r\n"
                      "g=a:C:\\x.fdb\r\n");

    QStringList messaggiPrimaDellElenco;
    alProssimoDialogo<TDlgOpenFile>([&](TDlgOpenFile &e) {
        messaggiPrimaDellElenco = prompter.all;
        clicca(e.OKBtn);
    });
    QVERIFY(guarded([] { runDatabaseListDialog(nullptr); }));

    QCOMPARE(messaggiPrimaDellElenco, QStringList{"Errore"});
    QCOMPARE(ProfileFile(cartella.iniPath()).sectionLines("File"),
             (QStringList{"1=srv:C:\\dati\\x.fdb", "2=srv:C:\\dati\\x.fdb", "3=\\\\senzapercorso",
                          "4=srv:C:\\dati\\a@b.fdb", "5=", "6=srv:", "7=a:C:\\x.fdb"}));
    QCOMPARE(prompter.all, QStringList{"Errore"});
}

void TestDatabaseDialogs::actionRemovesSecondOfThree()
{
    TestFolder cartella;
    TestPrompter prompter;
    cartella.writeIni("[File]\r\n1=uno.fdb\r\n2=srv:due.fdb\r\n3=tre.fdb\r\n");

    alProssimoDialogo<TDlgOpenFile>([](TDlgOpenFile &e) {
        makeCurrent(e, 1);
        clicca(e.SpeedButton2);
        clicca(e.OKBtn);
    });
    QVERIFY(guarded([] { runDatabaseListDialog(nullptr); }));

    QCOMPARE(ProfileFile(cartella.iniPath()).sectionLines("File"), (QStringList{"1=uno.fdb", "2=tre.fdb"}));
}

void TestDatabaseDialogs::actionEmptyListRemovesSection()
{
    TestFolder cartella;
    TestPrompter prompter;
    cartella.writeIni(iniTipico);

    alProssimoDialogo<TDlgOpenFile>([](TDlgOpenFile &e) {
        clicca(e.SpeedButton2);
        clicca(e.SpeedButton2);
        clicca(e.OKBtn);
    });
    QVERIFY(guarded([] { runDatabaseListDialog(nullptr); }));

    const QByteArray dopo = cartella.readIni();
    QVERIFY2(!dopo.contains("[File]"), dopo.constData());
    QVERIFY(!dopo.contains("db1"));
    const ProfileFile ini(cartella.iniPath());
    QCOMPARE(ini.sectionLines("Config"), QStringList{"Database=cfg.fdb"});
    QCOMPARE(ini.sectionLines("Generale"), QStringList{"PeriodoSalvataggio=2"});
    QVERIFY(prompter.all.isEmpty());
}

void TestDatabaseDialogs::actionCancelLeavesFileAlone()
{
    TestFolder cartella;
    TestPrompter prompter;
    cartella.writeIni(iniTipico);

    alProssimoDialogo<TDlgOpenFile>([](TDlgOpenFile &e) {
        aggiungiConPosizione(e, QStringLiteral("srv"), QStringLiteral("nuovo.fdb"));
        makeCurrent(e, 0);
        clicca(e.SpeedButton2);
        e.close();
    });
    QVERIFY(guarded([] { runDatabaseListDialog(nullptr); }));

    QCOMPARE(cartella.readIni(), iniTipico);
    QVERIFY(prompter.all.isEmpty());
}

void TestDatabaseDialogs::actionWriteFailureKeepsSection_data()
{
    QTest::addColumn<bool>("cartellaBloccata");
    QTest::addColumn<QByteArray>("saved"); // empty: the write fails
    // Tolm.ini itself may be written: it is rewritten in place.
    QTest::newRow("immutable folder")
        << true
        << "[Config]\r\nDatabase=cfg.fdb\r\n[Generale]\r\nPeriodoSalvataggio=2\r\n[File]\r\n1=srv:C:\\dati\\a.fdb\r\n"_ba;
    QTest::newRow("immutable file") << false << QByteArray();
}

void TestDatabaseDialogs::actionWriteFailureKeepsSection()
{
    QFETCH(bool, cartellaBloccata);
    QFETCH(QByteArray, saved);

    TestFolder cartella;
    TestPrompter prompter;
    cartella.writeIni(iniTipico);
    const quint64 inode = inodeOf(cartella.iniPath());
    const Immutabile blocco(cartellaBloccata ? cartella.path() : cartella.iniPath());
    QVERIFY(blocco.attivo);

    alProssimoDialogo<TDlgOpenFile>([](TDlgOpenFile &e) {
        clicca(e.SpeedButton2);
        clicca(e.OKBtn);
    });
    if (!saved.isEmpty()) {
        QVERIFY(guarded([] { runDatabaseListDialog(nullptr); }));
        QVERIFY(prompter.all.isEmpty());
        QCOMPARE(cartella.readIni(), saved);
        QCOMPARE(inodeOf(cartella.iniPath()), inode);
        QCOMPARE(QDir(cartella.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Tolm.ini"});
        return;
    }
    QVERIFY(!guarded([] { runDatabaseListDialog(nullptr); }));

    QCOMPARE(prompter.errors, QStringList{"Unable to write to " + settingsFilePath() + "."});
    QCOMPARE(cartella.readIni(), iniTipico);
    QCOMPARE(QDir(cartella.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Tolm.ini"});
}

QTEST_MAIN(TestDatabaseDialogs)
#include "test_databasedialogs.moc"
