// The settings dialog on a real settings object and a real Tolm.ini: what it
// shows, what OK stores and saves, what Cancel leaves alone, the typing
// limits, the folder browser, the two actions it starts and a failing save.
#include "dialogs/TConfigDlg.h"

#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"
#include "platform/Today.h"
#include "platform/TolmError.h"
#include "settings/TConfigurazione.h"
#include "support/Immutable.h"
#include "support/TestFolder.h"
// GCC 12 sees a false "maybe uninitialized" in the optional<QString> queues.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "support/TestPrompter.h"
#pragma GCC diagnostic pop

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QWindow>

#include <memory>

namespace {

// A folder as the settings hold and show it: with the platform's separators.
QString native(const char *folder)
{
    return QDir::toNativeSeparators(QString::fromUtf8(folder));
}

// Every setting the dialog edits, and the export folder, as one text list.
QStringList snapshot(const TConfigurazione &c)
{
    return {QString::number(c.FPeriodoSalvataggio), c.CartellaSalvataggio(), c.CreaSottocartelle() ? "1" : "0",
            c.CartellaEsportazione(), c.FEstensioneTXT ? "1" : "0", c.FAttivita, c.FRegistro, c.FSettore,
            c.FContoDare, c.FContoAvere, c.FSettoreBollo, c.FContoDareBollo, c.FContoAvereBollo, c.FIVA,
            c.FInapplicabilita, c.FVoceIva, c.FInapplicabilitaBollo, c.FVoceIvaBollo};
}

void retype(QLineEdit *edit, const QString &text)
{
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

} // namespace

class TestConfigDlg : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void controlsAndCaptions();
    void showsTheSettings();
    void okWithoutChangeRewritesAllKeys();
    void okStoresEachControl_data();
    void okStoresEachControl();
    void cancelChangesNothing_data();
    void cancelChangesNothing();
    void exportFolderAfterOk_data();
    void exportFolderAfterOk();
    void storedPeriodOutOfRange();
    void activityTypedOutsideItems();
    void typingLimits_data();
    void typingLimits();
    void pasteKeepsToLimits();
    void storedValuesShowWholeAndCannotGrow();
    void failedSaveKeepsDialogOpen();
    void lockedFolderSavesInPlace();
    void folderBrowser_data();
    void folderBrowser();
    void actionButtons_data();
    void actionButtons();

private:
    // Writes Tolm.ini, loads the settings and shows the dialog on them.
    void open(const QByteArray &ini);
    QString readGenerale(const QString &key) const;

    std::unique_ptr<TestFolder> folder;
    std::unique_ptr<TestPrompter> prompter;
    std::unique_ptr<TConfigurazione> config;
    std::unique_ptr<TConfigDlg> dialog;
};

void TestConfigDlg::init()
{
    folder = std::make_unique<TestFolder>();
    prompter = std::make_unique<TestPrompter>();
    setToday(QDate(2025, 11, 6));
}

void TestConfigDlg::cleanup()
{
    dialog.reset();
    config.reset();
    prompter.reset();
    folder.reset();
    setToday(QDate());
}

void TestConfigDlg::open(const QByteArray &ini)
{
    folder->writeIni(ini);
    config = std::make_unique<TConfigurazione>();
    dialog = std::make_unique<TConfigDlg>();
    dialog->Config = config.get();
    dialog->show();
}

QString TestConfigDlg::readGenerale(const QString &key) const
{
    return ProfileFile(folder->iniPath()).readString(QStringLiteral("Generale"), key, QStringLiteral("<absent>"));
}

void TestConfigDlg::controlsAndCaptions()
{
    TConfigDlg dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Configurazione"));
    dlg.winId();
    QCOMPARE(dlg.windowHandle()->title(), QStringLiteral("Configurazione"));
    QCOMPARE(dlg.size(), QSize(346, 291));
    QCOMPARE(dlg.minimumSize(), dlg.maximumSize());

    // Every control is inside the client area and the labels name them.
    const QHash<QString, QString> labels = {
        {"ComboBoxPeriodo", "Periodo Esportazione Predefinito"},
        {"EditFolder", "Destinazione"},
        {"ComboAttivita", "Attività"},
        {"ComboRegistro", "Registro"},
        {"SpeedButton2", "Sezionali"},
        {"EditIVA", "Aliq. Iva"},
        {"EditInapplicabilita", "Tit. Inapplicabilità"},
        {"EditVoceIva", "Voce Iva"},
        {"EditSettore", "Settore"},
        {"EditCD", "Conto Dare"},
        {"EditCA", "Conto Avere"},
        {"EditInapplicabilitaBollo", "Tit. Inapplicabilità Bollo"},
        {"EditVoceIvaBollo", "Voce Iva Bollo"},
        {"EditSettoreBollo", "Settore Bollo"},
        {"EditCDBollo", "C. Dare Bollo"},
        {"EditCABollo", "C. Avere Bollo"},
    };
    QHash<QString, QString> found;
    for (QLabel *label : dlg.findChildren<QLabel *>()) {
        QVERIFY(label->buddy());
        found.insert(label->buddy()->objectName(), label->text());
    }
    QCOMPARE(found, labels);

    const QHash<QString, QString> captions = {
        {"SpeedButton7", "..."},
        {"SpeedButton1", "File su cui operare"},
        {"SpeedButton2", "..."},
        {"CheckBoxSottocartelle", "Crea Sottocartelle Periodo"},
        {"CheckBoxEstensionetxt", "Aggiungi estensione txt ai file"},
        {"CancelBtn", "Cancel"},
        {"OKBtn", "OK"},
    };
    for (auto it = captions.begin(); it != captions.end(); ++it) {
        auto *button = dlg.findChild<QAbstractButton *>(it.key());
        QVERIFY2(button, qPrintable(it.key()));
        QCOMPARE(button->text(), it.value());
    }
    QCOMPARE(dlg.SpeedButton1->toolTip(), QStringLiteral("Imposta database per sezionale"));
    QVERIFY(dlg.OKBtn->isDefault());

    const QRect client(QPoint(0, 0), dlg.size());
    for (QWidget *child : dlg.findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        QVERIFY2(client.contains(child->geometry()), qPrintable(child->objectName()));

    auto items = [](QComboBox *combo) {
        QStringList list;
        for (int i = 0; i < combo->count(); ++i)
            list << combo->itemText(i);
        return list;
    };
    QCOMPARE(items(dlg.ComboBoxPeriodo),
             (QStringList{"Giorno Corrente", "Settimana Corrente", "Mese Corrente", "Anno Corrente",
                          "Giorno Precedente", "Settimana Precedente", "Mese Precedente"}));
    QVERIFY(!dlg.ComboBoxPeriodo->isEditable());
    QCOMPARE(items(dlg.ComboAttivita), (QStringList{"0", "1", "2", "3", "4", "5", "6", "7", "8"}));
    QVERIFY(dlg.ComboAttivita->isEditable());
    QCOMPARE(items(dlg.ComboRegistro), (QStringList{"A", "E", "F"}));
    QVERIFY(dlg.ComboRegistro->isEditable());
}

void TestConfigDlg::showsTheSettings()
{
    open("[Generale]\n"
         "PeriodoSalvataggio=5\nCartellaSalvataggio=/srv/export\nCreaSottocartelle=0\nEstensioneTXT=1\n"
         "Attivita=3\nRegistro=E\nSettore=101\nContoDare=110100\nContoAvere=410100\n"
         "SettoreBollo=102\nContoDareBollo=110200\nContoAvereBollo=410200\n"
         "IVA=10\nInapplicabilita=N1\nVoceIva=V1\nInapplicabilitaBollo=N2\nVoceIvaBollo=V2\n");
    QCOMPARE(dialog->EditFolder->text(), native("/srv/export"));
    QCOMPARE(dialog->ComboBoxPeriodo->currentIndex(), 5);
    QVERIFY(!dialog->CheckBoxSottocartelle->isChecked());
    QVERIFY(dialog->CheckBoxEstensionetxt->isChecked());
    QCOMPARE(dialog->ComboAttivita->currentText(), QStringLiteral("3"));
    QCOMPARE(dialog->ComboRegistro->currentText(), QStringLiteral("E"));
    const QList<QPair<QLineEdit *, const char *>> edits = {
        {dialog->EditSettore, "101"},          {dialog->EditCD, "110100"},
        {dialog->EditCA, "410100"},            {dialog->EditSettoreBollo, "102"},
        {dialog->EditCDBollo, "110200"},       {dialog->EditCABollo, "410200"},
        {dialog->EditIVA, "10"},               {dialog->EditInapplicabilita, "N1"},
        {dialog->EditVoceIva, "V1"},           {dialog->EditInapplicabilitaBollo, "N2"},
        {dialog->EditVoceIvaBollo, "V2"},
    };
    for (const auto &[edit, text] : edits)
        QCOMPARE(edit->text(), QLatin1String(text));
}

void TestConfigDlg::okWithoutChangeRewritesAllKeys()
{
    const QString out = folder->filePath("out");
    open("[Config]\nfile=/db/config.fdb\n[File]\ndb1=/db/a.fdb\n[AssSezionale]\nAA=1\n"
         "[Generale]\nPeriodoSalvataggio=2\nCartellaSalvataggio=" + out.toUtf8() + "\nContoDare=12345678\n");
    const QStringList before = snapshot(*config);

    QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(snapshot(*config), before);

    const ProfileFile ini(folder->iniPath());
    QCOMPARE(ini.sectionLines(QStringLiteral("Generale")),
             (QStringList{"PeriodoSalvataggio=2", "CartellaSalvataggio=" + QDir::toNativeSeparators(out), "ContoDare=12345678",
                          "CreaSottocartelle=1", "EstensioneTXT=0", "Attivita=0", "Registro=A", "Settore=",
                          "ContoAvere=", "SettoreBollo=", "ContoDareBollo=12345678", "ContoAvereBollo=", "IVA=22",
                          "Inapplicabilita=", "VoceIva=", "InapplicabilitaBollo=", "VoceIvaBollo="}));
    QCOMPARE(ini.sectionLines(QStringLiteral("Config")), QStringList{"file=/db/config.fdb"});
    QCOMPARE(ini.sectionLines(QStringLiteral("File")), QStringList{"db1=/db/a.fdb"});
    QCOMPARE(ini.sectionLines(QStringLiteral("AssSezionale")), QStringList{"AA=1"});
}

void TestConfigDlg::okStoresEachControl_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("key");

    QTest::newRow("EditFolder") << "EditFolder" << "/srv/nuova" << "CartellaSalvataggio";
    QTest::newRow("ComboRegistro") << "ComboRegistro" << "F" << "Registro";
    QTest::newRow("EditIVA") << "EditIVA" << "4" << "IVA";
    QTest::newRow("EditInapplicabilita") << "EditInapplicabilita" << "N3" << "Inapplicabilita";
    QTest::newRow("EditVoceIva") << "EditVoceIva" << "Voce 22" << "VoceIva";
    QTest::newRow("EditSettore") << "EditSettore" << "7" << "Settore";
    QTest::newRow("EditCD") << "EditCD" << "1101" << "ContoDare";
    QTest::newRow("EditCA") << "EditCA" << "4101" << "ContoAvere";
    QTest::newRow("EditInapplicabilitaBollo") << "EditInapplicabilitaBollo" << "N5" << "InapplicabilitaBollo";
    QTest::newRow("EditVoceIvaBollo") << "EditVoceIvaBollo" << "B" << "VoceIvaBollo";
    QTest::newRow("EditSettoreBollo") << "EditSettoreBollo" << "8" << "SettoreBollo";
    QTest::newRow("EditCDBollo") << "EditCDBollo" << "1102" << "ContoDareBollo";
    QTest::newRow("EditCABollo") << "EditCABollo" << "4102" << "ContoAvereBollo";
}

void TestConfigDlg::okStoresEachControl()
{
    QFETCH(QString, control);
    QFETCH(QString, typed);
    QFETCH(QString, key);

    open("[Generale]\nCreaSottocartelle=0\n");
    QWidget *widget = dialog->findChild<QWidget *>(control);
    QVERIFY(widget);
    auto *edit = qobject_cast<QLineEdit *>(widget);
    if (auto *combo = qobject_cast<QComboBox *>(widget))
        edit = combo->lineEdit();
    QVERIFY(edit);
    retype(edit, typed);
    const QStringList before = snapshot(*config);

    dialog->accept();
    QVERIFY(!dialog->isVisible());
    // A folder is stored with the platform's separators.
    const QString stored = key == "CartellaSalvataggio" ? QDir::toNativeSeparators(typed) : typed;
    QCOMPARE(readGenerale(key), stored);
    // That setting alone changed; a new folder also gives a new export folder.
    const QStringList after = snapshot(*config);
    int changed = 0;
    for (int i = 0; i < after.size(); ++i)
        changed += after[i] != before[i];
    QCOMPARE(changed, key == "CartellaSalvataggio" ? 2 : 1);
    QVERIFY(after.contains(stored));
}

void TestConfigDlg::cancelChangesNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel button") << "button";
    QTest::newRow("Escape key") << "escape";
    QTest::newRow("close box") << "close";
}

void TestConfigDlg::cancelChangesNothing()
{
    QFETCH(QString, how);

    open("[Generale]\nPeriodoSalvataggio=1\nCartellaSalvataggio=/srv/out\nCreaSottocartelle=1\n"
         "Attivita=2\nContoDare=110100\n");
    const QByteArray file = folder->readIni();
    const QStringList before = snapshot(*config);

    dialog->ComboBoxPeriodo->setCurrentIndex(6);
    for (QLineEdit *edit : dialog->findChildren<QLineEdit *>())
        QTest::keyClicks(edit, "9");
    QTest::mouseClick(dialog->CheckBoxSottocartelle, Qt::LeftButton);
    QTest::mouseClick(dialog->CheckBoxEstensionetxt, Qt::LeftButton);
    QVERIFY(!dialog->CheckBoxSottocartelle->isChecked());
    QCOMPARE(dialog->ComboAttivita->currentText(), QStringLiteral("29"));

    if (how == "button")
        QTest::mouseClick(dialog->CancelBtn, Qt::LeftButton);
    else if (how == "escape")
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
    else
        dialog->close();
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QCOMPARE(snapshot(*config), before);
    QCOMPARE(folder->readIni(), file);
}

void TestConfigDlg::exportFolderAfterOk_data()
{
    QTest::addColumn<QString>("newFolder");
    QTest::addColumn<bool>("tickBox");
    QTest::addColumn<QString>("exportFolder");

    // The program ends each folder it builds with the platform's separator.
    const QString sep = pathSeparator();
    QTest::newRow("nothing changed") << QString() << false << native("/scelta") + sep;
    QTest::newRow("box ticked") << QString() << true << native("/srv/out") + sep + "061125" + sep;
    QTest::newRow("folder changed") << "/srv/nuova" << false << native("/srv/nuova") + sep;
    QTest::newRow("both changed") << "/srv/nuova" << true << native("/srv/nuova") + sep + "061125" + sep;
}

void TestConfigDlg::exportFolderAfterOk()
{
    QFETCH(QString, newFolder);
    QFETCH(bool, tickBox);
    QFETCH(QString, exportFolder);

    folder->writeIni("[Generale]\nCartellaSalvataggio=/srv/out\nCreaSottocartelle=0\n");
    config = std::make_unique<TConfigurazione>();
    // A folder chosen in the main window.
    config->setCartellaEsportazione(QStringLiteral("/scelta"));
    dialog = std::make_unique<TConfigDlg>();
    dialog->Config = config.get();
    dialog->show();

    if (!newFolder.isEmpty())
        retype(dialog->EditFolder, newFolder);
    if (tickBox)
        QTest::mouseClick(dialog->CheckBoxSottocartelle, Qt::LeftButton);
    QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(config->CartellaEsportazione(), exportFolder);
    QCOMPARE(readGenerale("CreaSottocartelle"), tickBox ? "1" : "0");
    QCOMPARE(readGenerale("CartellaSalvataggio"), native(newFolder.isEmpty() ? "/srv/out" : qPrintable(newFolder)));
}

void TestConfigDlg::storedPeriodOutOfRange()
{
    open("[Generale]\nPeriodoSalvataggio=9\n");
    QCOMPARE(dialog->ComboBoxPeriodo->currentIndex(), -1);
    QCOMPARE(dialog->ComboBoxPeriodo->currentText(), QString());
    dialog->accept();
    QCOMPARE(config->FPeriodoSalvataggio, -1);
    QCOMPARE(readGenerale("PeriodoSalvataggio"), QStringLiteral("-1"));
}

void TestConfigDlg::activityTypedOutsideItems()
{
    open("[Generale]\nAttivita=3\n");
    retype(dialog->ComboAttivita->lineEdit(), QStringLiteral("12"));
    QTest::keyClick(dialog->ComboAttivita->lineEdit(), Qt::Key_Tab);
    QCOMPARE(dialog->ComboAttivita->count(), 9);
    dialog->accept();
    QCOMPARE(config->FAttivita, QStringLiteral("12"));
    QCOMPARE(readGenerale("Attivita"), QStringLiteral("12"));
}

void TestConfigDlg::typingLimits_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");

    QTest::newRow("account stops at 6") << "EditCD" << "1234567" << "123456";
    QTest::newRow("account refuses letters") << "EditCABollo" << "1a2-b3 " << "123";
    QTest::newRow("sector stops at 3") << "EditSettoreBollo" << "98765" << "987";
    QTest::newRow("VAT rate: 2 digits") << "EditIVA" << "x104" << "10";
    QTest::newRow("exemption: 2 of anything") << "EditInapplicabilitaBollo" << "N2x" << "N2";
    QTest::newRow("VAT item: no limit") << "EditVoceIva" << "Voce iva 22% esente" << "Voce iva 22% esente";
    QTest::newRow("folder: no limit") << "EditFolder" << "/a/very/long/path/of/folders" << "/a/very/long/path/of/folders";
}

void TestConfigDlg::typingLimits()
{
    QFETCH(QString, control);
    QFETCH(QString, typed);
    QFETCH(QString, shown);

    open("[Generale]\nCartellaSalvataggio=\nSettore=\nContoDare=\nContoAvere=\nIVA=\n");
    auto *edit = dialog->findChild<QLineEdit *>(control);
    QVERIFY(edit);
    retype(edit, typed);
    QCOMPARE(edit->text(), shown);
}

void TestConfigDlg::pasteKeepsToLimits()
{
    open("[Generale]\nContoDare=12\nSettore=\n");
    QApplication::clipboard()->setText(QStringLiteral("345678901"));
    QTest::keyClick(dialog->EditCD, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(dialog->EditCD->text(), QStringLiteral("123456"));

    QApplication::clipboard()->setText(QStringLiteral("1b"));
    QTest::keyClick(dialog->EditSettore, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(dialog->EditSettore->text(), QString());
}

void TestConfigDlg::storedValuesShowWholeAndCannotGrow()
{
    open("[Generale]\nContoDare=12345678\nSettore=1A\n");
    QLineEdit *edit = dialog->EditCD;
    QCOMPARE(edit->text(), QStringLiteral("12345678"));
    // Digits-only edits show what was stored, letters included.
    QCOMPARE(dialog->EditSettore->text(), QStringLiteral("1A"));

    edit->end(false);
    QTest::keyClick(edit, '9');
    QCOMPARE(edit->text(), QStringLiteral("12345678"));
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClick(edit, '9');
    QCOMPARE(edit->text(), QStringLiteral("1234567"));
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClick(edit, '9');
    QCOMPARE(edit->text(), QStringLiteral("123459"));
    // Typing over a selection does not lengthen it.
    edit->setText(QStringLiteral("12345678"));
    edit->setSelection(2, 2);
    QTest::keyClick(edit, '0');
    QCOMPARE(edit->text(), QStringLiteral("1205678"));

    dialog->accept();
    QCOMPARE(readGenerale("ContoDare"), QStringLiteral("1205678"));
    QCOMPARE(readGenerale("Settore"), QStringLiteral("1A"));
}

void TestConfigDlg::failedSaveKeepsDialogOpen()
{
#ifdef Q_OS_WIN
    QSKIP("The lock is chattr's immutable flag, which only Linux file systems have");
#endif
    open("[Generale]\nAttivita=1\n");
    retype(dialog->ComboAttivita->lineEdit(), QStringLiteral("5"));
    const QByteArray file = folder->readIni();
    {
        Immutable locked(folder->iniPath());
        QVERIFY(locked.ok());
        QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
        QVERIFY(dialog->isVisible());
        QCOMPARE(prompter->errors, QStringList{"Unable to write to " + settingsFilePath() + "."});
        QCOMPARE(dialog->ComboAttivita->currentText(), QStringLiteral("5"));
        // The settings hold the new values already.
        QCOMPARE(config->FAttivita, QStringLiteral("5"));
    }
    QCOMPARE(folder->readIni(), file);

    // OK again retries the save.
    QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(readGenerale("Attivita"), QStringLiteral("5"));
}

void TestConfigDlg::lockedFolderSavesInPlace()
{
#ifdef Q_OS_WIN
    QSKIP("The lock is chattr's immutable flag, which only Linux file systems have");
#endif
    // A folder that lets the office edit Tolm.ini but create no file.
    open("[Config]\nfile=/db/c.fdb\n[Generale]\nAttivita=1\n");
    retype(dialog->ComboAttivita->lineEdit(), QStringLiteral("5"));
    const quint64 inode = inodeOf(folder->iniPath());
    {
        Immutable locked(folder->path());
        QVERIFY(locked.ok());
        QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(prompter->errors, QStringList());
    }
    QCOMPARE(inodeOf(folder->iniPath()), inode);
    QCOMPARE(readGenerale("Attivita"), QStringLiteral("5"));
    QVERIFY(folder->readIni().startsWith("[Config]\nfile=/db/c.fdb\n[Generale]\nAttivita=5\n"));
    QCOMPARE(QDir(folder->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"Tolm.ini"});
}

void TestConfigDlg::folderBrowser_data()
{
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("confirmed") << true;
    QTest::newRow("cancelled") << false;
}

void TestConfigDlg::folderBrowser()
{
    QFETCH(bool, confirmed);

    open("[Generale]\nCartellaSalvataggio=/srv/out\n");
    if (confirmed)
        prompter->folderAnswers.push_back(QStringLiteral("/srv/scelta"));
    else
        prompter->folderAnswers.push_back(std::nullopt);
    QTest::mouseClick(dialog->SpeedButton7, Qt::LeftButton);
    QCOMPARE(prompter->folderStarts, QStringList{native("/srv/out")});
    QCOMPARE(dialog->EditFolder->text(), confirmed ? "/srv/scelta" : native("/srv/out"));

    // The choice reaches the settings only through OK.
    QCOMPARE(config->CartellaSalvataggio(), native("/srv/out"));
    dialog->reject();
    QCOMPARE(config->CartellaSalvataggio(), native("/srv/out"));
}

void TestConfigDlg::actionButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("fails");
    QTest::newRow("database list") << "SpeedButton1" << false;
    QTest::newRow("database list failing") << "SpeedButton1" << true;
    QTest::newRow("association") << "SpeedButton2" << false;
    QTest::newRow("association failing") << "SpeedButton2" << true;
}

void TestConfigDlg::actionButtons()
{
    QFETCH(QString, button);
    QFETCH(bool, fails);

    open("[AssSezionale]\nAA=1\n[Generale]\nAttivita=1\n");
    QStringList ran;
    // Each action writes its own section at once, as the real ones do.
    auto action = [&](const QString &name, const QString &section) {
        return [&, name, section] {
            ran << name;
            ProfileFile(settingsFilePath()).writeString(section, QStringLiteral("BB"), QStringLiteral("2"));
            if (fails)
                throw TolmError(QStringLiteral("Unable to write to x"));
        };
    };
    dialog->databaseListAction = action(QStringLiteral("SpeedButton1"), QStringLiteral("File"));
    dialog->associationAction = action(QStringLiteral("SpeedButton2"), QStringLiteral("AssSezionale"));

    QTest::mouseClick(dialog->findChild<QToolButton *>(button), Qt::LeftButton);
    QCOMPARE(ran, QStringList{button});
    QCOMPARE(prompter->errors, fails ? QStringList{"Unable to write to x."} : QStringList());
    QVERIFY(dialog->isVisible());

    // Cancel afterwards leaves the action's write in place.
    const QByteArray written = folder->readIni();
    retype(dialog->ComboAttivita->lineEdit(), QStringLiteral("4"));
    dialog->reject();
    QCOMPARE(folder->readIni(), written);
    QCOMPARE(ProfileFile(folder->iniPath()).readString(button == "SpeedButton1" ? "File" : "AssSezionale", "BB", ""),
             QStringLiteral("2"));
}

QTEST_MAIN(TestConfigDlg)
#include "test_configdlg.moc"
