#include "dialogs/DatabaseListAction.h"
#include "dialogs/TDlgOpenFile.h"
#include "dialogs/TOpenDatabaseDlg.h"
#include "dialogs/TRecordDlg.h"
#include "platform/ErrorReport.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"

#include "support/NextDialog.h"
#include "support/TestFolder.h"
// GCC 12 reports a false "maybe uninitialized" inside std::optional<QString>.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "support/TestPrompter.h"
#pragma GCC diagnostic pop

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>

namespace {
void click(QAbstractButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

QStringList rowsOf(const QListWidget &list)
{
    QStringList rows;
    for (int i = 0; i < list.count(); ++i)
        rows << list.item(i)->text();
    return rows;
}

QStringList rowsOf(const TDlgOpenFile &list)
{
    QStringList rows;
    for (const ConnectionParts &row : list.rows())
        rows << row.host + QLatin1Char('|') + row.file;
    return rows;
}

void makeCurrent(TDlgOpenFile &list, int row)
{
    QTableView *grid = list.DBGrid1;
    const QRect cell = grid->visualRect(grid->model()->index(row, 1));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
}

void addThroughLocationDialog(TDlgOpenFile &list, const QString &host, const QString &file)
{
    answerNextDialog<TOpenDatabaseDlg>([host, file](TOpenDatabaseDlg &location) {
        location.EditHost->setText(host);
        location.EditFile->setText(file);
        click(location.OKBtn);
    });
    click(list.SpeedButton1);
}

const QByteArray kTypicalSettings = "[Config]\r\nDatabase=cfg.fdb\r\n"
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
    QVERIFY2(!missedDialog(), "a scripted dialog answer found no dialog or left it open");
    clearMissedDialogs();
    QVERIFY(!QApplication::activeModalWidget());
}

// --- Record dialog -----------------------------------------------------

void TestDatabaseDialogs::recordDialog_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("closing");
    QTest::addColumn<QStringList>("rows");

    const QStringList before{"a=1", "b=2", "c=3"};
    QTest::newRow("A adds") << "A" << "1" << "x" << "ok" << QStringList{"a=1", "b=2", "c=3", "1=x"};
    QTest::newRow("A empty fields") << "A" << "" << "" << "ok" << QStringList{"a=1", "b=2", "c=3", "="};
    QTest::newRow("M replaces in place") << "M" << "k" << "v" << "ok" << QStringList{"a=1", "k=v", "c=3"};
    QTest::newRow("M joins signs as they are") << "M" << "x=y" << " z=" << "ok"
                                               << QStringList{"a=1", "x=y= z=", "c=3"};
    for (const char *code : {"a", "m", "", "X"})
        QTest::addRow("code '%s' does nothing", code) << code << "k" << "v" << "ok" << before;
    for (const char *code : {"A", "M"}) {
        for (const char *closing : {"cancel", "escape", "close"})
            QTest::addRow("%s %s", code, closing) << code << "k" << "v" << closing << before;
    }
}

void TestDatabaseDialogs::recordDialog()
{
    QFETCH(QString, code);
    QFETCH(QString, name);
    QFETCH(QString, value);
    QFETCH(QString, closing);
    QFETCH(QStringList, rows);

    TestPrompter prompter;
    QListWidget list;
    list.addItems({"a=1", "b=2", "c=3"});
    list.setCurrentRow(1);

    TRecordDlg dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Gestione Record"));
    QCOMPARE(dialog.LabelName->text(), QStringLiteral("LabelName"));
    QCOMPARE(dialog.LabelValue->text(), QStringLiteral("LabelValue"));
    dialog.ListBox = &list;
    dialog.TipoAzione = code;
    dialog.EditName->setText(name);
    dialog.EditValue->setText(value);

    answerNextDialog<TRecordDlg>([closing](TRecordDlg &d) {
        if (closing == QLatin1String("ok"))
            click(d.OKBtn);
        else if (closing == QLatin1String("cancel"))
            click(d.CancelBtn);
        else if (closing == QLatin1String("escape"))
            QTest::keyClick(&d, Qt::Key_Escape);
        else
            d.close();
    });
    const int result = dialog.exec();

    QCOMPARE(result, closing == QLatin1String("ok") ? int(QDialog::Accepted) : int(QDialog::Rejected));
    QCOMPARE(rowsOf(list), rows);
    QCOMPARE(list.currentRow(), 1);
    QVERIFY(list.item(1)->isSelected());
    QVERIFY(prompter.all.isEmpty());
}

// --- Location dialog -----------------------------------------------------

void TestDatabaseDialogs::browse_data()
{
    QTest::addColumn<std::optional<QString>>("chosen");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("file");

    using Choice = std::optional<QString>;
    // The fields hold host "prima" and file "vecchio.fdb" before browsing.
    QTest::newRow("drive path keeps the host") << Choice("C:\\dati\\x.fdb") << "prima" << "C:\\dati\\x.fdb";
    QTest::newRow("mapped drive is local") << Choice("Z:\\dati\\x.fdb") << "prima" << "Z:\\dati\\x.fdb";
    QTest::newRow("unix path is local") << Choice("/srv/dati/x.fdb") << "prima" << "/srv/dati/x.fdb";
    QTest::newRow("network share") << Choice("\\\\srv\\d\\dati\\x.fdb") << "srv" << "d:\\dati\\x.fdb";
    QTest::newRow("long share name") << Choice("\\\\srv\\dati\\x.fdb") << "srv" << "d:ati\\x.fdb";
    QTest::newRow("share already a drive") << Choice("\\\\srv\\d:\\x.fdb") << "srv" << "d:\\x.fdb";
    QTest::newRow("cancelled") << Choice() << "prima" << "vecchio.fdb";
}

void TestDatabaseDialogs::browse()
{
    QFETCH(std::optional<QString>, chosen);
    QFETCH(QString, host);
    QFETCH(QString, file);

    TestPrompter prompter;
    prompter.fileAnswers.push_back(chosen);
    TOpenDatabaseDlg dialog;
    QCOMPARE(dialog.SpeedButton1->toolTip(), QStringLiteral("Seleziona il database da aprire"));
    dialog.EditHost->setText(QStringLiteral("prima"));
    dialog.EditFile->setText(QStringLiteral("vecchio.fdb"));
    dialog.show();

    click(dialog.SpeedButton1);

    QCOMPARE(prompter.fileFilters, QStringList{
        "Tutti i file|*.fdb;*.gdb|File Interbase (*.gdb)|*.gdb|File Firebird (*.fdb)|*.fdb"});
    QCOMPARE(prompter.fileSuffixes, QStringList{"fdb"});
    QCOMPARE(dialog.EditHost->text(), host);
    QCOMPARE(dialog.EditFile->text(), file);
    QVERIFY(prompter.all.isEmpty());
}

void TestDatabaseDialogs::hostButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<std::optional<QString>>("computerName");
    QTest::addColumn<QString>("host");

    using Name = std::optional<QString>;
    QTest::newRow("N with a name") << "N" << Name("PC01") << "PC01";
    QTest::newRow("N without COMPUTERNAME") << "N" << Name() << "";
    QTest::newRow("IP of a name that resolves") << "IP" << Name("localhost") << "127.0.0.1";
    QTest::newRow("IP without COMPUTERNAME") << "IP" << Name() << "";
    QTest::newRow("IP of a name that does not resolve") << "IP" << Name("nessuno.invalid") << "srv";
}

void TestDatabaseDialogs::hostButtons()
{
    QFETCH(QString, button);
    QFETCH(std::optional<QString>, computerName);
    QFETCH(QString, host);

    if (computerName)
        qputenv("COMPUTERNAME", computerName->toLocal8Bit());
    else
        qunsetenv("COMPUTERNAME");

    TestPrompter prompter;
    TOpenDatabaseDlg dialog;
    QCOMPARE(dialog.ButtonIp->toolTip(), QStringLiteral("Ricava indirizo IP"));
    QCOMPARE(dialog.Button1->toolTip(), QStringLiteral("Ricava nome computer"));
    dialog.EditHost->setText(QStringLiteral("srv"));
    dialog.show();

    click(button == QLatin1String("N") ? dialog.Button1 : dialog.ButtonIp);

    QCOMPARE(dialog.EditHost->text(), host);
    QVERIFY(prompter.all.isEmpty());
}

void TestDatabaseDialogs::bareNameCompletion_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("shown");

    QTest::newRow("bare name") << "" << "pazienti.fdb" << "<folder>database" + pathSeparator() + "pazienti.fdb";
    QTest::newRow("with a host") << "srv" << "pazienti.fdb" << "pazienti.fdb";
    QTest::newRow("with a backslash") << "" << "dati\\pazienti.fdb" << "dati\\pazienti.fdb";
    QTest::newRow("with a slash") << "" << "dati/pazienti.fdb" << "dati/pazienti.fdb";
    QTest::newRow("both empty") << "" << "" << "";
}

void TestDatabaseDialogs::bareNameCompletion()
{
    QFETCH(QString, host);
    QFETCH(QString, file);
    QFETCH(QString, shown);
    TestFolder folder;
    shown.replace(QLatin1String("<folder>"), programFolder());
    TestPrompter prompter;
    TOpenDatabaseDlg dialog;
    dialog.EditHost->setText(host);
    dialog.EditFile->setText(file);

    QString shownFile;
    bool focusOnFile = false;
    answerNextDialog<TOpenDatabaseDlg>([&](TOpenDatabaseDlg &d) {
        shownFile = d.EditFile->text();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        focusOnFile = d.focusWidget() == d.EditFile;
        QCOMPARE(d.windowTitle(), QStringLiteral("Database"));
        click(d.OKBtn);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));

    QCOMPARE(shownFile, shown);
    QVERIFY(focusOnFile);
    QCOMPARE(dialog.EditHost->text(), host);
    QCOMPARE(dialog.EditFile->text(), shown);
    QVERIFY(prompter.all.isEmpty());
}

// --- List dialog ------------------------------------------------------------

void TestDatabaseDialogs::listAddsThroughLocationDialog()
{
    TestPrompter prompter;
    TDlgOpenFile list;
    QAbstractItemModelTester tester(list.DBGrid1->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    list.appendRow({"", "a.fdb"});

    answerNextDialog<TDlgOpenFile>([](TDlgOpenFile &e) {
        QCOMPARE(e.windowTitle(), QStringLiteral("Elenco File"));
        QCOMPARE(e.DBGrid1->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Host"));
        QCOMPARE(e.DBGrid1->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("File"));
        QVERIFY(!(e.DBGrid1->model()->flags(e.DBGrid1->model()->index(0, 1)) & Qt::ItemIsEditable));

        addThroughLocationDialog(e, QStringLiteral("srv"), QStringLiteral("C:\\x.fdb"));
        QCOMPARE(e.currentRow(), 1);
        makeCurrent(e, 0);
        // Cancel in the location dialog adds nothing.
        answerNextDialog<TOpenDatabaseDlg>([](TOpenDatabaseDlg &p) {
            p.EditFile->setText(QStringLiteral("no.fdb"));
            click(p.CancelBtn);
        });
        click(e.SpeedButton1);
        QCOMPARE(e.currentRow(), 0);
        // Both fields empty: an empty row, taken as it is.
        addThroughLocationDialog(e, QString(), QString());
        QCOMPARE(e.currentRow(), 2);
        click(e.OKBtn);
    });
    QCOMPARE(list.exec(), int(QDialog::Accepted));

    QCOMPARE(rowsOf(list), (QStringList{"|a.fdb", "srv|C:\\x.fdb", "|"}));
    QVERIFY(prompter.all.isEmpty());
}

void TestDatabaseDialogs::listRemoveMovesCurrent_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("current");

    QTest::newRow("first") << 0 << QStringList{"|b", "|c"} << 0;
    QTest::newRow("middle: the next becomes current") << 1 << QStringList{"|a", "|c"} << 1;
    QTest::newRow("last: the new last becomes current") << 2 << QStringList{"|a", "|b"} << 1;
}

void TestDatabaseDialogs::listRemoveMovesCurrent()
{
    QFETCH(int, row);
    QFETCH(QStringList, rows);
    QFETCH(int, current);

    TestPrompter prompter;
    TDlgOpenFile list;
    for (const char *file : {"a", "b", "c"})
        list.appendRow({"", file});
    list.show();
    QCOMPARE(list.currentRow(), 2);

    makeCurrent(list, row);
    QCOMPARE(list.currentRow(), row);
    click(list.SpeedButton2);

    QCOMPARE(rowsOf(list), rows);
    QCOMPARE(list.currentRow(), current);
    QVERIFY(prompter.all.isEmpty());
}

void TestDatabaseDialogs::listRemoveOnEmptyReportsError()
{
    TestPrompter prompter;
    TDlgOpenFile list;
    list.appendRow({"", "a"});

    bool stillOpen = false;
    answerNextDialog<TDlgOpenFile>([&](TDlgOpenFile &e) {
        click(e.SpeedButton2);
        QVERIFY(prompter.all.isEmpty());
        click(e.SpeedButton2);
        click(e.SpeedButton2);
        stillOpen = e.isVisible();
        click(e.CancelBtn);
    });
    list.exec();

    QVERIFY(stillOpen);
    QCOMPARE(prompter.errors, QStringList(2, "Cannot perform this operation on an empty dataset."));
    QVERIFY(list.rows().isEmpty());
    QCOMPARE(list.currentRow(), -1);
}

void TestDatabaseDialogs::listCtrlDelete_data()
{
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QStringList>("rows");

    QTest::newRow("OK removes") << true << QStringList{"|a", "|c"};
    QTest::newRow("Cancel keeps") << false << QStringList{"|a", "|b", "|c"};
}

void TestDatabaseDialogs::listCtrlDelete()
{
    QFETCH(bool, answer);
    QFETCH(QStringList, rows);

    TestPrompter prompter;
    prompter.okCancelAnswers.push_back(answer);
    TDlgOpenFile list;
    QAbstractItemModelTester tester(list.DBGrid1->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (const char *file : {"a", "b", "c"})
        list.appendRow({"", file});
    list.show();
    makeCurrent(list, 1);

    QTest::keyClick(list.DBGrid1, Qt::Key_Delete, Qt::ControlModifier);

    QCOMPARE(prompter.questions, QStringList{"Delete record?"});
    QCOMPARE(rowsOf(list), rows);
    QCOMPARE(list.currentRow(), 1);
    QVERIFY(list.isVisible());
}

// --- The "File su cui operare" action -------------------------------------

void TestDatabaseDialogs::actionRenumbersOnOk()
{
    TestFolder folder;
    TestPrompter prompter;
    folder.writeIni(kTypicalSettings);

    QStringList shownRows;
    int current = -2;
    answerNextDialog<TDlgOpenFile>([&](TDlgOpenFile &e) {
        shownRows = rowsOf(e);
        current = e.currentRow();
        click(e.OKBtn);
    });
    QVERIFY(guarded([] { runDatabaseListDialog(nullptr); }));

    QCOMPARE(shownRows, (QStringList{"srv|C:\\dati\\a.fdb", "|b.fdb"}));
    QCOMPARE(current, 1);
    const ProfileFile ini(folder.iniPath());
    QCOMPARE(ini.sectionLines("File"), (QStringList{"1=srv:C:\\dati\\a.fdb", "2=b.fdb"}));
    QCOMPARE(ini.sectionLines("Config"), QStringList{"Database=cfg.fdb"});
    QCOMPARE(ini.sectionLines("Generale"), QStringList{"PeriodoSalvataggio=2"});
    QVERIFY(prompter.all.isEmpty());
}

void TestDatabaseDialogs::actionWritesEveryFormBack()
{
    TestFolder folder;
    TestPrompter prompter;
    folder.writeIni("[File]\r\n"
                      "a=\\\\srv\\C:\\dati\\x.fdb\r\n"
                      "b=srv@C:\\dati\\x.fdb\r\n"
                      "c=\\\\senzapercorso\r\n"
                      "d=srv:C:\\dati\\a@b.fdb\r\n"
                      "e=\r\n"
                      "f=srv:\r\n"
                      "g=a:C:\\x.fdb\r\n");

    QStringList messagesBeforeList;
    answerNextDialog<TDlgOpenFile>([&](TDlgOpenFile &e) {
        messagesBeforeList = prompter.all;
        click(e.OKBtn);
    });
    QVERIFY(guarded([] { runDatabaseListDialog(nullptr); }));

    QCOMPARE(messagesBeforeList, QStringList{"Errore"});
    QCOMPARE(ProfileFile(folder.iniPath()).sectionLines("File"),
             (QStringList{"1=srv:C:\\dati\\x.fdb", "2=srv:C:\\dati\\x.fdb", "3=\\\\senzapercorso",
                          "4=srv:C:\\dati\\a@b.fdb", "5=", "6=srv:", "7=a:C:\\x.fdb"}));
    QCOMPARE(prompter.all, QStringList{"Errore"});
}

void TestDatabaseDialogs::actionRemovesSecondOfThree()
{
    TestFolder folder;
    TestPrompter prompter;
    folder.writeIni("[File]\r\n1=uno.fdb\r\n2=srv:due.fdb\r\n3=tre.fdb\r\n");

    answerNextDialog<TDlgOpenFile>([](TDlgOpenFile &e) {
        makeCurrent(e, 1);
        click(e.SpeedButton2);
        click(e.OKBtn);
    });
    QVERIFY(guarded([] { runDatabaseListDialog(nullptr); }));

    QCOMPARE(ProfileFile(folder.iniPath()).sectionLines("File"), (QStringList{"1=uno.fdb", "2=tre.fdb"}));
}

void TestDatabaseDialogs::actionEmptyListRemovesSection()
{
    TestFolder folder;
    TestPrompter prompter;
    folder.writeIni(kTypicalSettings);

    answerNextDialog<TDlgOpenFile>([](TDlgOpenFile &e) {
        click(e.SpeedButton2);
        click(e.SpeedButton2);
        click(e.OKBtn);
    });
    QVERIFY(guarded([] { runDatabaseListDialog(nullptr); }));

    const QByteArray after = folder.readIni();
    QVERIFY2(!after.contains("[File]"), after.constData());
    QVERIFY(!after.contains("db1"));
    const ProfileFile ini(folder.iniPath());
    QCOMPARE(ini.sectionLines("Config"), QStringList{"Database=cfg.fdb"});
    QCOMPARE(ini.sectionLines("Generale"), QStringList{"PeriodoSalvataggio=2"});
    QVERIFY(prompter.all.isEmpty());
}

void TestDatabaseDialogs::actionCancelLeavesFileAlone()
{
    TestFolder folder;
    TestPrompter prompter;
    folder.writeIni(kTypicalSettings);

    answerNextDialog<TDlgOpenFile>([](TDlgOpenFile &e) {
        addThroughLocationDialog(e, QStringLiteral("srv"), QStringLiteral("nuovo.fdb"));
        makeCurrent(e, 0);
        click(e.SpeedButton2);
        e.close();
    });
    QVERIFY(guarded([] { runDatabaseListDialog(nullptr); }));

    QCOMPARE(folder.readIni(), kTypicalSettings);
    QVERIFY(prompter.all.isEmpty());
}

QTEST_MAIN(TestDatabaseDialogs)
#include "test_databasedialogs.moc"
