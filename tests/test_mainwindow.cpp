// The main window end to end: real buttons clicked on the offscreen platform,
// a real data module started on its own program folder, real Firebird
// databases (embedded engine) and the export file read back from disk.
#include "app/TFormMain.h"
#include "data/TDataModule1.h"
#include "firebird/IBDatabase.h"
#include "platform/ErrorReport.h"
#include "platform/Today.h"
#include "dialogs/TConfigDlg.h"
#include "settings/TConfigurazione.h"
#include "support/ExportSamples.h"
#include "support/FbFixture.h"
#include "support/Immutable.h"
#include "support/NextDialog.h"
#include "support/Peer.h"
#include "support/ShortOfMemory.h"
#include "support/TestFolder.h"
#include "support/TestProgram.h"
// GCC 12 sees a false "maybe uninitialized" in the optional<QString> queues.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "support/TestPrompter.h"
#pragma GCC diagnostic pop

#include <QAbstractItemModelTester>
#include <QColor>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStringDecoder>
#include <QTableView>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <memory>

using FbFixture::Invoice;
using FbFixture::invoice;

namespace {

const QString kExportFile = QStringLiteral("EsportazioneVelmora - Sezionale1.csv");
const QString kQuestion = QStringLiteral("ci sono uno o più CF mancanti. Continuare con l'esportazione?");
const QString kDone = QStringLiteral("Esportazione Terminata");
const QString kJournalTitles = QStringLiteral("Intestazione;Sezionale;Anno;Numero;Apice;Data;Totale;File;Esportata il");
// The marks of invoices exported before: the same total, another total.
const QString kLightBlue = QStringLiteral("#add8e6");
const QString kViolet = QStringLiteral("#b080ff");

QString alreadyExported(int invoices)
{
    return QStringLiteral("%1 fatture sono già state esportate. Esportarle di nuovo?").arg(invoices);
}

using ExportSamples::kHeader;

// The accounting codes of the export tests.
const QString kCodes = accountingCodeLines();

// A program started on its own folder: Tolm.ini naming the databases, the
// data module, then the main window, as the program starts them. The export
// folder is <program folder>/out unless `generale` names another one.
// `encode` gives the file's bytes from its text (default: UTF-8).
struct Program : TestProgram
{
    Program(const QString &config, const QStringList &patients, const QString &generale,
            const std::function<QByteArray(const QString &)> &encode = {})
    {
        QByteArray ini;
        if (!config.isNull()) {
            ini = settingsFileText(
                config, patients,
                QStringLiteral("[AssSezionale]\n01=1\n[Generale]\nCreaSottocartelle=0\nCartellaSalvataggio=%1\n")
                        .arg(outFolder())
                    + generale);
            if (encode)
                ini = encode(QString::fromUtf8(ini));
        }
        start(ini);
        openWindow();
    }
    QString outFolder() const { return folder.filePath(QStringLiteral("out")); }
    QString exportFile() const { return outFolder() + QLatin1Char('/') + kExportFile; }
    QString journal() const { return folder.filePath(QStringLiteral("TolmRegistro.csv")); }
    QString dataTip(int row) const
    {
        return window->DBGrid1->model()->index(row, InvoiceTable::ColData).data(Qt::ToolTipRole).toString();
    }
    void show()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void extract(QDate from, QDate to)
    {
        window->DateTimePickerDal->setDate(from);
        window->DateTimePickerAl->setDate(to);
        clickAndWait(window->Button1);
    }
    // Clicks "Estrai Dati" (or another button) and waits until a read it
    // started has ended and its invoices are in the grid.
    void clickAndWait(QWidget *button)
    {
        QTest::mouseClick(button, Qt::LeftButton);
        waitForRead();
    }
    void waitForRead()
    {
        QTRY_VERIFY_WITH_TIMEOUT(!window->isReading(), 60000);
    }
    int gridRows() const { return window->DBGrid1->model()->rowCount(); }
    // Clicks the cell, so that it becomes current and selected; an invalid
    // index when the window could not be made active.
    QModelIndex clickCell(int row, int column)
    {
        TFormMain &w = *window;
        w.activateWindow();
        if (!QTest::qWaitForWindowActive(&w))
            return {};
        w.DBGrid1->setFocus();
        const QModelIndex cell = w.DBGrid1->model()->index(row, column);
        w.DBGrid1->scrollTo(cell);
        QTest::mouseClick(w.DBGrid1->viewport(), Qt::LeftButton, {}, w.DBGrid1->visualRect(cell).center());
        return cell;
    }
    // The colour painted beside the cell's text (right of it, or left of it
    // where the text stands on the right), inside the focus frame.
    QString paintedColour(const QModelIndex &cell) const
    {
        const QRect rect = window->DBGrid1->visualRect(cell);
        const bool textOnTheRight = cell.data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight;
        const QPoint probe(textOnTheRight ? rect.left() + 4 : rect.right() - 4, rect.center().y());
        const QImage pixels = window->DBGrid1->viewport()->grab().toImage();
        const qreal scale = pixels.devicePixelRatio();
        return pixels.pixelColor(QPoint(int(probe.x() * scale), int(probe.y() * scale))).name();
    }
    // The background of each cell of a column; "none" where it has none of
    // its own.
    QStringList colours(int column) const
    {
        QStringList colours;
        const QAbstractItemModel *model = window->DBGrid1->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            const QVariant colour = model->index(row, column).data(Qt::BackgroundRole);
            colours << (colour.isValid() ? colour.value<QColor>().name() : QStringLiteral("none"));
        }
        return colours;
    }
    QStringList cfColours() const { return colours(InvoiceTable::ColCf); }
    QStringList dataColours() const { return colours(InvoiceTable::ColData); }
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir{QStringLiteral("/tmp/tolm-mainwindow-XXXXXX")};
    QString m_config, m_noHeadings, m_patients;
    QString path(const QString &name) const { return m_dir.filePath(name); }
    static QByteArray januaryFile();
    static QByteArray februaryFile();

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void windowAtStart();
    void startWithoutSettingsFile();
    void defaultPeriod_data();
    void defaultPeriod();
    void noHeadings();
    void headingWithoutSezionale();
    void extractAndExport_data();
    void extractAndExport();
    void unreachableSecondDatabase();
    void headingChangeEmptiesGrid();
    void settingsDialogEmptiesGrid_data();
    void settingsDialogEmptiesGrid();
    void chooseExportFolder();
    void exportFolderCannotBeCreated();
    void unicodeSettingsFile();
    void dateChangeEmptiesGrid_data();
    void dateChangeEmptiesGrid();
    void taxCodeCellKeepsItsColourWhenSelected_data();
    void taxCodeCellKeepsItsColourWhenSelected();
    void columnsFitTheirTexts();
    void sezionaleStandsClearOfItsCaption();
    void summaryLineShowsProgress();
    void inputDuringAReadIsDropped_data();
    void inputDuringAReadIsDropped();
    void stopDuringARead_data();
    void stopDuringARead();
    void shortOfMemoryDuringARead();
    void checksMarkTheGrid_data();
    void checksMarkTheGrid();
    void sameDatabaseUnderTwoNames();
    void exportedInvoicesAreMarked_data();
    void exportedInvoicesAreMarked();
    void totalChangedAfterExport();
    void journalCannotBeWritten_data();
    void journalCannotBeWritten();
    void journalEditedByHandThenDeleted();
};

// January: every invoice has a tax code; the first carries VAT and stamp duty.
QByteArray TestMainWindow::januaryFile()
{
    return kHeader
           + "1;V;1;150125;1;;1;150125;00000;;22;;100;22;S;D;A;V1;;;;RSSMRA80A01H501U;;Rossi=Mario;;;;;P;N;;;;\r\n"
             "1;V;1;150125;1;;2;150125;00000;;0;EB;2;;SB;DB;AB;VB;;;;RSSMRA80A01H501U;;Rossi=Mario;;;;;P;N;;;;\r\n"
             "1;V;1;200125;2;;1;200125;00000;;0;E1;50,5;;S;D;A;V1;;;;BNCGVN80A01H501J;;Bianchi=;;;;;P;N;;;;\r\n";
}

// February: Verdi has no tax code.
QByteArray TestMainWindow::februaryFile()
{
    return kHeader
           + "1;V;1;100225;3;;1;100225;00000;;0;E1;30,25;;S;D;A;V1;;;;;;Verdi=;;;;;P;N;;;;\r\n"
             "1;V;1;110225;4;;1;110225;00000;;0;E1;40;;S;D;A;V1;;;;NRENRE80A01H501H;;Neri=;;;;;P;N;;;;\r\n";
}

void TestMainWindow::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));

    m_config = path(QStringLiteral("config.fdb"));
    QVERIFY(FbFixture::createConfigDatabase(m_config));
    QVERIFY(FbFixture::runSql(m_config, FbFixture::insertHeading(QStringLiteral("01"), QStringLiteral("Studio Uno"))
                                            + FbFixture::insertHeading(QStringLiteral("02"), QStringLiteral("Studio Due"))));
    m_noHeadings = path(QStringLiteral("noheadings.fdb"));
    QVERIFY(FbFixture::createConfigDatabase(m_noHeadings));

    m_patients = path(QStringLiteral("patients.fdb"));
    // March: tax codes as wide as the font can make them.
    Invoice wide = invoice(5, QDate(2025, 3, 3), QStringLiteral("Bianchi"), QStringLiteral("WMWMWM88W88M888W"),
                           QStringLiteral("99999.99"));

    QVERIFY(FbFixture::createPatientDatabase(m_patients));
    Invoice rossi = invoice(1, QDate(2025, 1, 15), QStringLiteral("Rossi"), QStringLiteral("RSSMRA80A01H501U"),
                            QStringLiteral("100.00"));
    rossi.nome = QStringLiteral("Mario");
    rossi.importoIva = QStringLiteral("22.00");
    rossi.importoTasse = QStringLiteral("2.00");
    Invoice otherHeading = invoice(9, QDate(2025, 1, 16), QStringLiteral("Altro"), std::nullopt, QStringLiteral("1"));
    otherHeading.intestazione = QStringLiteral("02");
    QString sql;
    for (const Invoice &i :
         {rossi, invoice(2, QDate(2025, 1, 20), QStringLiteral("Bianchi"), QStringLiteral("BNCGVN80A01H501J"),
                         QStringLiteral("50.50")),
          otherHeading,
          invoice(4, QDate(2025, 2, 11), QStringLiteral("Neri"), QStringLiteral("NRENRE80A01H501H"), QStringLiteral("40")),
          invoice(3, QDate(2025, 2, 10), QStringLiteral("Verdi"), std::nullopt, QStringLiteral("30.25")), wide})
        sql += FbFixture::insertInvoice(i);
    // April: invoice 7 twice, invoice 8 with a wrong check letter; then 8
    // again with an Apice (the same protocol in the import), a tax code and a
    // VAT number that the database holds longer than the table's fields, a
    // tax code followed by blanks in the database, and invoice 11 three times
    // and once more with an Apice.
    Invoice apice = invoice(8, QDate(2025, 4, 22), QStringLiteral("Apice"), QStringLiteral("BNCGVN80A01H501J"),
                            QStringLiteral("10"));
    apice.apice = QStringLiteral("bis");
    const Invoice thrice = invoice(11, QDate(2025, 4, 29), QStringLiteral("Triplo"),
                                   QStringLiteral("BNCGVN80A01H501J"), QStringLiteral("10"));
    Invoice ter = thrice;
    ter.data = QDate(2025, 4, 30);
    ter.apice = QStringLiteral("ter");
    for (const Invoice &i : {invoice(7, QDate(2025, 4, 2), QStringLiteral("Doppio"), QStringLiteral("RSSMRA85T10A562S"),
                                     QStringLiteral("10")),
                             invoice(8, QDate(2025, 4, 10), QStringLiteral("Errato"),
                                     QStringLiteral("RSSMRA85T10A562T"), QStringLiteral("10")),
                             invoice(7, QDate(2025, 4, 20), QStringLiteral("Doppio"), QStringLiteral("RSSMRA85T10A562S"),
                                     QStringLiteral("10")),
                             apice,
                             invoice(9, QDate(2025, 4, 25), QStringLiteral("Lungo"),
                                     QStringLiteral("RSSMRA85T10A562SXY"), QStringLiteral("10")),
                             invoice(10, QDate(2025, 4, 28), QStringLiteral("Spazi"),
                                     QStringLiteral("RSSMRA85T10A562S   "), QStringLiteral("10")),
                             thrice, thrice, thrice, ter})
        sql += FbFixture::insertInvoice(i);
    sql += FbFixture::insertPatient(QStringLiteral("WMWMWM88W88M888W"), QStringLiteral("MWMWMW88M88W888M"));
    sql += FbFixture::insertPatient(QStringLiteral("RSSMRA85T10A562SXY"), QStringLiteral("IT0123456789012345"));
    QVERIFY(FbFixture::runSql(m_patients, sql));
}

void TestMainWindow::init()
{
    clearMissedDialogs();
}

void TestMainWindow::cleanup()
{
    setToday(QDate());
}

void TestMainWindow::windowAtStart()
{
    Program p(m_config, {m_patients}, QString());
    p.show();
    TFormMain &w = *p.window;
    QVERIFY(!w.quitRequested());
    QCOMPARE(w.windowTitle(), QStringLiteral("Esportazione Dati Tolm"));
    QCOMPARE(w.windowHandle()->title(), QStringLiteral("Esportazione Dati Tolm"));
    QCOMPARE(w.size(), QSize(758, 586));
    QCOMPARE(w.LabelConfig->text(),
             QStringLiteral("Attività '0'     Registro 'A'     Aliquota Iva '22'     Conto Dare ''     Conto Avere ''"));
    QCOMPARE(w.Label3->text(), p.outFolder() + QLatin1Char('/'));
    QCOMPARE(w.ComboBoxSezionale->count(), 2);
    QCOMPARE(w.ComboBoxSezionale->currentText(), QStringLiteral("Studio Uno"));
    QCOMPARE(w.DBTextSezionale->text(), QStringLiteral("1"));
    QVERIFY(!w.Button3->isEnabled());
    QCOMPARE(w.DBGrid1->horizontalHeader()->count(), 0);

    // Keyboard order within the panel.
    const QList<QWidget *> order{w.Button1, w.Button2, w.Button3, w.DateTimePickerAl, w.DateTimePickerDal,
                                 w.ComboBoxSezionale};
    QList<QWidget *> seen{w.Button1};
    for (QWidget *next = w.Button1->nextInFocusChain(); next != w.Button1 && seen.size() < order.size();
         next = next->nextInFocusChain()) {
        if (order.contains(next))
            seen << next;
        else if ((next->focusPolicy() & Qt::TabFocus) && next->isVisibleTo(&w) && !next->focusProxy()
                 && !order.contains(next->parentWidget()))
            QFAIL(qPrintable(QStringLiteral("%1 takes focus among the panel's controls").arg(next->objectName())));
    }
    QCOMPARE(seen, order);

    // The first extraction gives the grid its columns, titled from the fields.
    p.extract(QDate(2025, 1, 1), QDate(2025, 1, 31));
    QStringList titles;
    for (int c = 0; c < w.DBGrid1->horizontalHeader()->count(); ++c)
        titles << w.DBGrid1->model()->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(titles, (QStringList{"Data", "Numero", "Apice", "Cognome", "Nome", "C.F.", "Importo", "Bollo", "Iva",
                                  "R.A.", "Totale", "P.Iva", "Descrizione", "indirizzo", "cap", "citta", "provincia"}));
    QCOMPARE(p.prompter.all, QStringList());
}

void TestMainWindow::startWithoutSettingsFile()
{
    Program p(QString(), {}, QString());
    QCOMPARE(p.prompter.all, QStringList{"Impostare il file di configurazione"});
    QVERIFY(p.window->quitRequested());
    QCOMPARE(p.window->ComboBoxSezionale->count(), 0);
    QVERIFY(!QFileInfo::exists(p.folder.iniPath()));
}

void TestMainWindow::defaultPeriod_data()
{
    QTest::addColumn<int>("preset");
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");

    // Today is Thursday 6 November 2025.
    QTest::newRow("0 today") << 0 << QDate(2025, 11, 6) << QDate(2025, 11, 6);
    QTest::newRow("2 this month") << 2 << QDate(2025, 11, 1) << QDate(2025, 11, 6);
    QTest::newRow("6 last month") << 6 << QDate(2025, 10, 1) << QDate(2025, 10, 31);
    QTest::newRow("unknown") << 9 << QDate(2013, 1, 1) << QDate(2013, 1, 1);
}

void TestMainWindow::defaultPeriod()
{
    QFETCH(int, preset);
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    setToday(QDate(2025, 11, 6));
    Program p(m_config, {m_patients}, QStringLiteral("PeriodoSalvataggio=%1\n").arg(preset));
    QCOMPARE(p.window->DateTimePickerDal->date(), from);
    QCOMPARE(p.window->DateTimePickerAl->date(), to);
}

void TestMainWindow::noHeadings()
{
    Program p(m_noHeadings, {m_patients}, kCodes);
    p.show();
    QCOMPARE(p.window->ComboBoxSezionale->count(), 0);
    p.extract(QDate(2025, 1, 1), QDate(2025, 1, 31));
    QCOMPARE(p.prompter.all, QStringList());
    QVERIFY(!p.window->Button3->isEnabled());
    QTest::mouseClick(p.window->Button3, Qt::LeftButton);
    QVERIFY(!QFileInfo::exists(p.outFolder()));
}

void TestMainWindow::headingWithoutSezionale()
{
    Program p(m_config, {m_patients}, kCodes);
    p.show();
    TFormMain &w = *p.window;
    QTest::keyClick(w.ComboBoxSezionale, Qt::Key_Down);
    QCOMPARE(w.ComboBoxSezionale->currentText(), QStringLiteral("Studio Due"));
    QCOMPARE(w.DBTextSezionale->text(), QStringLiteral("-1"));
    p.extract(QDate(2025, 1, 1), QDate(2025, 1, 31));
    QCOMPARE(p.prompter.all, QStringList{"Nessun Sezionale impostato"});
    QVERIFY(!w.Button3->isEnabled());
    QCOMPARE(p.gridRows(), 0);
}

void TestMainWindow::extractAndExport_data()
{
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QStringList>("colours");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QByteArray>("file"); // empty: no file

    const QString white = QStringLiteral("#ffffff");
    const QString red = QStringLiteral("#ff0000");
    QTest::newRow("every tax code present") << QDate(2025, 1, 1) << QDate(2025, 1, 31) << false
                                            << QStringList{white, white} << QStringList{kDone} << januaryFile();
    QTest::newRow("one missing, Yes") << QDate(2025, 2, 1) << QDate(2025, 2, 28) << true << QStringList{red, white}
                                      << QStringList{kQuestion, kDone} << februaryFile();
    QTest::newRow("one missing, No") << QDate(2025, 2, 1) << QDate(2025, 2, 28) << false << QStringList{red, white}
                                     << QStringList{kQuestion} << QByteArray();
}

void TestMainWindow::extractAndExport()
{
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(bool, answer);
    QFETCH(QStringList, colours);
    QFETCH(QStringList, messages);
    QFETCH(QByteArray, file);
    Program p(m_config, {m_patients}, kCodes);
    p.show();
    TFormMain &w = *p.window;

    p.extract(from, to);
    QCOMPARE(p.prompter.all, QStringList());
    QVERIFY(w.Button3->isEnabled());
    QCOMPARE(p.cfColours(), colours);

    p.prompter.yesNoAnswers = {answer};
    QTest::mouseClick(w.Button3, Qt::LeftButton);
    QCOMPARE(p.prompter.all, messages);
    if (file.isEmpty())
        QVERIFY(!QFileInfo::exists(p.outFolder()));
    else
        QCOMPARE(readWholeFile(p.exportFile()), file);
    // The export leaves the table and the button as they were.
    QVERIFY(w.Button3->isEnabled());
    QCOMPARE(p.gridRows(), colours.size());

    // An empty period leaves nothing to export.
    p.extract(QDate(2025, 7, 1), QDate(2025, 7, 31));
    QVERIFY(!w.Button3->isEnabled());
    QCOMPARE(p.gridRows(), 0);
}

void TestMainWindow::unreachableSecondDatabase()
{
    const QString missing = path(QStringLiteral("missing.fdb"));
    Program p(m_config, {m_patients, missing}, kCodes);
    p.show();
    p.extract(QDate(2025, 1, 1), QDate(2025, 1, 31));
    // Reported once, with the database's name as listed, the client's text
    // and the closing full stop.
    QCOMPARE(p.prompter.errors, QStringList{QStringLiteral("%1: I/O error during \"open\" operation for file \"%1\"\n"
                                                           "Error while trying to open file\n"
                                                           "No such file or directory.")
                                                .arg(missing)});
    QCOMPARE(p.prompter.all.size(), 1);
    QVERIFY(!p.window->Button3->isEnabled());
    // The first database's invoices stay in the grid.
    QCOMPARE(p.gridRows(), 2);
}

void TestMainWindow::headingChangeEmptiesGrid()
{
    Program p(m_config, {m_patients}, kCodes);
    p.show();
    TFormMain &w = *p.window;
    p.extract(QDate(2025, 1, 1), QDate(2025, 1, 31));
    QCOMPARE(p.gridRows(), 2);
    QVERIFY(w.Button3->isEnabled());

    QTest::keyClick(w.ComboBoxSezionale, Qt::Key_Down);
    QCOMPARE(p.gridRows(), 0);
    QVERIFY(!w.Button3->isEnabled());
    QCOMPARE(w.DBTextSezionale->text(), QStringLiteral("-1"));

    // Back to the first heading: the next extraction fills the grid again.
    QTest::keyClick(w.ComboBoxSezionale, Qt::Key_Up);
    QCOMPARE(w.DBTextSezionale->text(), QStringLiteral("1"));
    QCOMPARE(p.gridRows(), 0);
    p.extract(QDate(2025, 1, 1), QDate(2025, 1, 31));
    QCOMPARE(p.gridRows(), 2);
    QCOMPARE(p.prompter.all, QStringList());
}

void TestMainWindow::settingsDialogEmptiesGrid_data()
{
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QString>("labelConfig");

    QTest::newRow("OK") << true
                        << QStringLiteral("Attività '1'     Registro 'V'     Aliquota Iva '22'     Conto Dare 'C9'     "
                                          "Conto Avere 'A'");
    QTest::newRow("Cancel") << false
                            << QStringLiteral("Attività '1'     Registro 'V'     Aliquota Iva '22'     Conto Dare 'D'     "
                                              "Conto Avere 'A'");
}

void TestMainWindow::settingsDialogEmptiesGrid()
{
    QFETCH(bool, accept);
    QFETCH(QString, labelConfig);
    Program p(m_config, {m_patients}, kCodes);
    p.show();
    TFormMain &w = *p.window;
    p.extract(QDate(2025, 1, 1), QDate(2025, 1, 31));
    QCOMPARE(p.gridRows(), 2);
    QVERIFY(w.Button3->isEnabled());

    answerNextDialog<TConfigDlg>([accept](TConfigDlg &dialog) {
        dialog.EditCD->setText(QStringLiteral("C9"));
        QTest::mouseClick(accept ? dialog.OKBtn : dialog.CancelBtn, Qt::LeftButton);
    });
    QTest::mouseClick(w.Button2, Qt::LeftButton);
    QVERIFY(!missedDialog());

    QCOMPARE(w.LabelConfig->text(), labelConfig);
    QCOMPARE(p.gridRows(), 0);
    QVERIFY(!w.Button3->isEnabled());
    QCOMPARE(w.Label3->text(), p.outFolder() + QLatin1Char('/'));
    QCOMPARE(w.DBTextSezionale->text(), QStringLiteral("1"));
    QCOMPARE(p.prompter.all, QStringList());
}

void TestMainWindow::chooseExportFolder()
{
    Program p(m_config, {m_patients}, kCodes);
    p.show();
    TFormMain &w = *p.window;
    const QString chosen = path(QStringLiteral("scelta/nuova"));
    const QString start = w.Label3->text();

    p.prompter.folderAnswers = {chosen};
    QTest::mouseClick(w.Label3, Qt::LeftButton);
    QCOMPARE(p.prompter.folderStarts, QStringList{start});
    QCOMPARE(w.Label3->text(), chosen);
    QCOMPARE(p.dm->configurazione->CartellaEsportazione(), chosen + QLatin1Char('/'));

    // Cancelling the browser keeps the choice.
    QTest::mouseClick(w.Label3, Qt::LeftButton);
    QCOMPARE(p.prompter.folderStarts, (QStringList{start, chosen}));
    QCOMPARE(w.Label3->text(), chosen);
    QCOMPARE(p.dm->configurazione->CartellaEsportazione(), chosen + QLatin1Char('/'));

    p.extract(QDate(2025, 1, 1), QDate(2025, 1, 31));
    QTest::mouseClick(w.Button3, Qt::LeftButton);
    QCOMPARE(p.prompter.all, QStringList{kDone});
    QCOMPARE(readWholeFile(chosen + QLatin1Char('/') + kExportFile), januaryFile());
    QVERIFY(!QFileInfo::exists(p.outFolder()));
    // Nothing of the choice reaches the settings file.
    QVERIFY(!p.folder.readIni().contains("scelta"));
}

void TestMainWindow::exportFolderCannotBeCreated()
{
    Program p(m_config, {m_patients}, kCodes);
    p.show();
    TFormMain &w = *p.window;
    const QString locked = path(QStringLiteral("bloccata"));
    QVERIFY(QDir().mkpath(locked));
    const QString out = locked + QStringLiteral("/sub");
    p.prompter.folderAnswers = {out};
    QTest::mouseClick(w.Label3, Qt::LeftButton);
    p.extract(QDate(2025, 1, 1), QDate(2025, 1, 31));
    QVERIFY(w.Button3->isEnabled());

    Immutable immutable(locked);
    QVERIFY(immutable.ok());
    QTest::mouseClick(w.Button3, Qt::LeftButton);
    QCOMPARE(p.prompter.all, QStringList{QStringLiteral("Unable to create directory %1.").arg(out)});
    QCOMPARE(p.prompter.errors.size(), 1);
    QVERIFY(!QFileInfo::exists(out));
    QVERIFY(w.Button3->isEnabled());
}

void TestMainWindow::unicodeSettingsFile()
{
    // Tolm.ini as Notepad saves it when asked for "Unicode": UTF-16 LE with
    // its mark and CRLF line ends.
    const auto unicode = [](const QString &text) {
        return encodedText(text, QStringLiteral("UTF-16LE"), QByteArray("\xFF\xFE"), QStringLiteral("\r\n"));
    };
    QString codes = kCodes;
    codes.replace(QStringLiteral("VoceIva=V1"), QStringLiteral("VoceIva=Esenzione Città"));
    Program p(m_config, {m_patients}, codes, unicode);
    p.show();
    TFormMain &w = *p.window;
    QVERIFY(!w.quitRequested());
    QCOMPARE(w.LabelConfig->text(),
             QStringLiteral("Attività '1'     Registro 'V'     Aliquota Iva '22'     Conto Dare 'D'     Conto Avere 'A'"));
    QCOMPARE(w.DBTextSezionale->text(), QStringLiteral("1"));

    // Extraction and export: the accented value reaches the export file.
    p.extract(QDate(2025, 1, 1), QDate(2025, 1, 31));
    QCOMPARE(p.gridRows(), 2);
    QTest::mouseClick(w.Button3, Qt::LeftButton);
    QCOMPARE(p.prompter.all, QStringList{kDone});
    QCOMPARE(readWholeFile(p.exportFile()), januaryFile().replace(";V1;", ";Esenzione Citt\xE0;"));

    // A settings save.
    answerNextDialog<TConfigDlg>([](TConfigDlg &dialog) {
        dialog.EditCD->setText(QStringLiteral("C9"));
        QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
    });
    QTest::mouseClick(w.Button2, Qt::LeftButton);
    QVERIFY(!missedDialog());
    QCOMPARE(p.prompter.all, QStringList{kDone});

    // Still UTF-16 LE with its mark, every line ended by CRLF.
    const QByteArray bytes = p.folder.readIni();
    QVERIFY(bytes.startsWith("\xFF\xFE"));
    QStringDecoder utf16(QStringConverter::Utf16LE);
    const QString text = utf16(QByteArrayView(bytes).sliced(2));
    QVERIFY(!utf16.hasError());
    QVERIFY(text.endsWith(QStringLiteral("\r\n")));
    QCOMPARE(text.count(u'\n'), text.count(QStringLiteral("\r\n")));
    QCOMPARE(bytes, unicode(text.split(QStringLiteral("\r\n")).join(u'\n')));
    QVERIFY(text.startsWith(QStringLiteral("[Config]\r\nfile=%1\r\n[File]\r\n1=%2\r\n").arg(m_config, m_patients)));

    // The next start reads every value.
    p.gridTester.reset();
    p.window.reset();
    p.dm.reset();
    TDataModule1 dm;
    QCOMPARE(dm.configurazione->FFileConfig, m_config);
    QCOMPARE(dm.listDB->size(), size_t(1));
    QCOMPARE(dm.configurazione->listasez, QStringList{"01=1"});
    QCOMPARE(dm.configurazione->FVoceIva, QStringLiteral("Esenzione Città"));
    QCOMPARE(dm.configurazione->FContoDare, QStringLiteral("C9"));
    QCOMPARE(dm.configurazione->FContoDareBollo, QStringLiteral("DB"));
    QCOMPARE(dm.configurazione->CartellaSalvataggio(), p.outFolder());
    QCOMPARE(dm.MTableAssIntest.size(), 2);
    QCOMPARE(p.prompter.all, QStringList{kDone});
}

void TestMainWindow::dateChangeEmptiesGrid_data()
{
    QTest::addColumn<bool>("from");
    QTest::addColumn<int>("key");
    QTest::addColumn<QDate>("changed");
    QTest::newRow("Dal") << true << int(Qt::Key_Up) << QDate(2025, 1, 2);
    QTest::newRow("Al") << false << int(Qt::Key_Down) << QDate(2025, 1, 30);
}

void TestMainWindow::dateChangeEmptiesGrid()
{
    QFETCH(bool, from);
    QFETCH(int, key);
    QFETCH(QDate, changed);
    Program p(m_config, {m_patients}, kCodes);
    p.show();
    TFormMain &w = *p.window;
    QDateEdit *picker = from ? w.DateTimePickerDal : w.DateTimePickerAl;

    // Before any extraction the grid keeps showing no columns.
    picker->setDate(QDate(2024, 12, 1));
    QCOMPARE(w.DBGrid1->horizontalHeader()->count(), 0);

    p.extract(QDate(2025, 1, 1), QDate(2025, 1, 31));
    QCOMPARE(p.gridRows(), 2);
    QVERIFY(w.Button3->isEnabled());
    QVERIFY(!w.LabelRiepilogo->text().isEmpty());

    // The user steps the day with the arrow keys.
    picker->setFocus();
    QTest::keyClick(picker, Qt::Key(key));
    QCOMPARE(picker->date(), changed);
    QCOMPARE(p.gridRows(), 0);
    QVERIFY(!w.Button3->isEnabled());
    QCOMPARE(w.LabelRiepilogo->text(), QString());
    // Nothing to export for the period on screen.
    QTest::mouseClick(w.Button3, Qt::LeftButton);
    QVERIFY(!QFileInfo::exists(p.outFolder()));

    // The next extraction reads the period on screen.
    p.extract(QDate(2025, 1, 1), QDate(2025, 2, 28));
    QCOMPARE(p.gridRows(), 4);
    QVERIFY(w.Button3->isEnabled());
    QCOMPARE(p.prompter.all, QStringList());
}

void TestMainWindow::taxCodeCellKeepsItsColourWhenSelected_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("colour"); // empty: the selection's colour

    // February: Verdi (row 0) has no tax code, Neri (row 1) has one.
    QTest::newRow("missing tax code") << 0 << int(InvoiceTable::ColCf) << QStringLiteral("#ff0000");
    QTest::newRow("tax code") << 1 << int(InvoiceTable::ColCf) << QStringLiteral("#ffffff");
    QTest::newRow("other column") << 0 << int(InvoiceTable::ColCognome) << QString();
}

void TestMainWindow::taxCodeCellKeepsItsColourWhenSelected()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, colour);
    Program p(m_config, {m_patients}, kCodes);
    p.show();
    TFormMain &w = *p.window;
    p.extract(QDate(2025, 2, 1), QDate(2025, 2, 28));
    QCOMPARE(p.gridRows(), 2);

    const QModelIndex cell = p.clickCell(row, column);
    QVERIFY(cell.isValid());
    QCOMPARE(w.DBGrid1->currentIndex(), cell);
    QVERIFY(w.DBGrid1->selectionModel()->isSelected(cell));
    const QString painted = p.paintedColour(cell);
    if (colour.isEmpty()) {
        // The selection's colour, under the style's faint tint of the focus.
        const QColor highlight = w.DBGrid1->palette().color(QPalette::Active, QPalette::Highlight);
        const QColor seen(painted);
        QVERIFY2(qAbs(seen.red() - highlight.red()) + qAbs(seen.green() - highlight.green())
                         + qAbs(seen.blue() - highlight.blue())
                     <= 12,
                 qPrintable(painted));
    } else {
        QCOMPARE(painted, colour);
    }
}

void TestMainWindow::columnsFitTheirTexts()
{
    Program p(m_config, {m_patients}, kCodes);
    p.show();
    TFormMain &w = *p.window;
    p.extract(QDate(2025, 1, 1), QDate(2025, 3, 31));
    QCOMPARE(p.gridRows(), 5);

    const QFontMetrics metrics = w.DBGrid1->fontMetrics();
    // The item delegate's margins on both sides and the grid line.
    const int margins = 2 * (w.DBGrid1->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, w.DBGrid1) + 1) + 1;
    const QAbstractItemModel *model = w.DBGrid1->model();
    for (int c = 0; c < InvoiceTable::ColumnCount; ++c) {
        const auto &field = InvoiceTable::field(c);
        const int width = w.DBGrid1->columnWidth(c);
        // The field's display width in digits of the font in use.
        QVERIFY2(metrics.horizontalAdvance(QString(field.displayWidth, QLatin1Char('0'))) + margins <= width,
                 field.name);
        // The title and every text the grid shows, whole.
        QVERIFY2(w.DBGrid1->horizontalHeader()->fontMetrics().horizontalAdvance(QString::fromLatin1(field.label))
                     < width,
                 field.name);
        for (int row = 0; row < model->rowCount(); ++row) {
            const QString text = model->index(row, c).data().toString();
            QVERIFY2(metrics.horizontalAdvance(text) + margins <= width,
                     qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(field.name), text)));
        }
    }
    QCOMPARE(model->index(4, InvoiceTable::ColCf).data().toString(), QStringLiteral("WMWMWM88W88M888W"));
    QCOMPARE(model->index(4, InvoiceTable::ColPIva).data().toString(), QStringLiteral("MWMWMW88M88W888M"));
}

void TestMainWindow::sezionaleStandsClearOfItsCaption()
{
    Program p(m_config, {m_patients}, kCodes);
    TFormMain &w = *p.window;
    QCOMPARE(w.Label6->pos(), QPoint(568, 9));
    const int captionEnd = w.Label6->x() + w.Label6->fontMetrics().horizontalAdvance(w.Label6->text());
    const QRect value = w.DBTextSezionale->geometry();
    // Clear of the caption by at least a blank.
    const int gap = std::max(3, w.DBTextSezionale->fontMetrics().horizontalAdvance(QLatin1Char(' ')));
    QVERIFY(value.x() >= captionEnd + gap);
    QCOMPARE(value.y(), 9);
    // Any value the field holds fits whole.
    for (const char *text : {"-1", "1", "99", "88", "MW", "WW"})
        QVERIFY2(w.DBTextSezionale->fontMetrics().horizontalAdvance(QLatin1String(text)) <= value.width(), text);
    QVERIFY(value.right() < w.Button2->x());
}

void TestMainWindow::summaryLineShowsProgress()
{
    Program p(m_config, {m_patients, m_patients, m_patients}, kCodes);
    p.show();
    TFormMain &w = *p.window;
    p.extract(QDate(2025, 1, 1), QDate(2025, 1, 31));
    QCOMPARE(p.gridRows(), 6);

    // What the window shows while it extracts again, seen from the event loop.
    struct Seen
    {
        QStringList texts;
        QList<int> rows;
        int gridPaints = 0;
        int labelPaints = 0;
        bool extracting = false;
        bool pressed = false;
    } seen;
    class PaintCounter : public QObject
    {
    public:
        PaintCounter(int &count, const bool &active) : m_count(count), m_active(active) {}
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (m_active && event->type() == QEvent::Paint)
                ++m_count;
            return false;
        }

    private:
        int &m_count;
        const bool &m_active;
    };
    PaintCounter gridPaints(seen.gridPaints, seen.extracting);
    PaintCounter labelPaints(seen.labelPaints, seen.pressed);
    w.DBGrid1->viewport()->installEventFilter(&gridPaints);
    // Until the read's invoices come: the window, connected first, has
    // taken them by then, and the grid paints them afterwards.
    QObject::connect(p.dm.get(), &TDataModule1::extractionFinished, &w, [&seen] {
        seen.extracting = false;
        seen.pressed = false;
    });
    w.LabelRiepilogo->installEventFilter(&labelPaints);
    QTimer sampler;
    sampler.setInterval(0);
    QObject::connect(&sampler, &QTimer::timeout, &w, [&] {
        if (seen.texts.isEmpty() || seen.texts.constLast() != w.LabelRiepilogo->text())
            seen.texts << w.LabelRiepilogo->text();
        seen.rows << w.DBGrid1->model()->rowCount();
        // From the first look inside the extraction on.
        if (w.isReading())
            seen.extracting = true;
    });
    w.DateTimePickerAl->setDate(QDate(2025, 2, 28));
    QCoreApplication::processEvents(); // the emptied grid repaints
    sampler.start();
    // The line from the press on: its first repaint may come before the
    // sampler's first look, and the read may end soon after.
    seen.pressed = true;
    p.clickAndWait(w.Button1);
    seen.extracting = false;
    sampler.stop();

    // The databases are read at once: the line names the first still being
    // read, and the invoices read so far over all of them.
    QVERIFY(!seen.texts.isEmpty());
    QCOMPARE(seen.texts.constFirst(), QStringLiteral("Lettura del database 1 di 3...     Fatture lette: 0"));
    static const QRegularExpression progressLine(
        QStringLiteral("^Lettura del database [123] di 3\\.\\.\\.     Fatture lette: ([0-9]+)$"));
    for (const QString &text : seen.texts.mid(0, seen.texts.size() - 1))
        QVERIFY2(progressLine.match(text).hasMatch(), qPrintable(text));
    // The grid waits for the one reset at the end (the loop runs once more
    // after it, to drop what came meanwhile); the summary line repaints.
    const qsizetype empty = seen.rows.count(0);
    QVERIFY(empty >= 3);
    QCOMPARE(seen.rows.mid(empty), QList<int>(seen.rows.size() - empty, 12));
    QCOMPARE(seen.gridPaints, 0);
    QVERIFY(seen.labelPaints > 0);
    QCOMPARE(p.gridRows(), 12);
    QVERIFY(w.LabelRiepilogo->text().startsWith(QStringLiteral("Fatture: 12")));
    QCOMPARE(p.prompter.all, QStringList());
}

void TestMainWindow::inputDuringAReadIsDropped_data()
{
    QTest::addColumn<QString>("control");
    for (const char *control : {"Estrai Dati", "Esporta", "Configura", "Intestazione", "Al", "Esporta in"})
        QTest::newRow(control) << QString::fromLatin1(control);
}

// Each control, pressed while the databases are read, does nothing. (That
// nothing is kept for later either is for the real window system to show:
// tests/test_longread.cpp.)
void TestMainWindow::inputDuringAReadIsDropped()
{
    QFETCH(QString, control);
    Program p(m_config, {m_patients, m_patients}, kCodes);
    p.show();
    TFormMain &w = *p.window;
    p.extract(QDate(2025, 1, 1), QDate(2025, 1, 31));
    QCOMPARE(p.gridRows(), 4);
    QVERIFY(w.Button3->isEnabled());

    const std::map<QString, std::function<void()>> press = {
        {"Estrai Dati", [&] { QTest::mouseClick(w.Button1, Qt::LeftButton); }},
        {"Esporta", [&] { QTest::mouseClick(w.Button3, Qt::LeftButton); }},
        {"Configura", [&] { QTest::mouseClick(w.Button2, Qt::LeftButton); }},
        {"Intestazione", [&] { QTest::keyClick(w.ComboBoxSezionale, Qt::Key_Down); }},
        {"Al", [&] {
             w.DateTimePickerAl->setCurrentSection(QDateTimeEdit::DaySection);
             QTest::keyClick(w.DateTimePickerAl, Qt::Key_Down);
         }},
        {"Esporta in", [&] { QTest::mouseClick(w.Label3, Qt::LeftButton); }},
    };
    QSignalSpy reads(&p.dm->dxMemDataFatture, &InvoiceTable::aboutToReset);
    bool pressed = false;
    bool dialogOpened = false;
    // As soon as the read runs the event loop; a dialog that opens all the
    // same is closed again.
    QTimer::singleShot(0, &w, [&] {
        QTimer::singleShot(2000, &w, [&] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                dialogOpened = true;
                modal->close();
            }
        });
        press.at(control)();
        pressed = true;
    });
    p.clickAndWait(w.Button1);
    QVERIFY(pressed);
    QVERIFY(!dialogOpened);
    // One read: the table emptied as it begins, filled as it ends.
    QCOMPARE(reads.count(), 2);
    QCOMPARE(p.gridRows(), 4);
    QVERIFY(w.Button3->isEnabled());
    QCOMPARE(w.DateTimePickerAl->date(), QDate(2025, 1, 31));
    QCOMPARE(w.ComboBoxSezionale->currentIndex(), 0);
    QCOMPARE(p.prompter.all, QStringList());
    QCOMPARE(p.prompter.folderStarts, QStringList());
    QVERIFY(!QFileInfo::exists(p.exportFile()));
}

void TestMainWindow::stopDuringARead_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Escape") << "Escape";
    QTest::newRow("Interrompi") << "Interrompi";
    QTest::newRow("closing the window") << "close";
}

void TestMainWindow::stopDuringARead()
{
    QFETCH(QString, how);
    Program p(m_config, {m_patients, m_patients, m_patients}, kCodes);
    p.show();
    TFormMain &w = *p.window;
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    auto *stop = w.findChild<QPushButton *>(QStringLiteral("stopButton"));
    QVERIFY(stop);
    QVERIFY(stop->isHidden());

    // As soon as the read runs the event loop: what the window looks like,
    // then the stop.
    QString during;
    QTimer::singleShot(0, &w, [&] {
        during = QStringLiteral("Interrompi %1, controls %2, grid %3")
                     .arg(stop->isVisible() && stop->isEnabled())
                     .arg(w.Panel1->isEnabled())
                     .arg(w.DBGrid1->isEnabled());
        if (how == QLatin1String("Escape"))
            QTest::keyClick(&w, Qt::Key_Escape);
        else if (how == QLatin1String("Interrompi"))
            QTest::mouseClick(stop, Qt::LeftButton);
        else
            w.close();
    });
    p.extract(QDate(2025, 1, 1), QDate(2025, 1, 31));
    QCOMPARE(during, QStringLiteral("Interrompi 1, controls 0, grid 0"));
    QVERIFY(p.dm->extractionStopped());
    QCOMPARE(p.gridRows(), 0);
    QVERIFY(!w.Button3->isEnabled());
    QCOMPARE(w.LabelRiepilogo->text(), QStringLiteral("Estrazione interrotta"));
    QCOMPARE(p.prompter.all, QStringList());
    QVERIFY(stop->isHidden());
    QVERIFY(w.Panel1->isEnabled());
    QVERIFY(w.DBGrid1->isEnabled());

    // Escape outside a read does nothing; a new "Estrai Dati" reads
    // everything.
    if (!w.isVisible())
        p.show();
    QTest::keyClick(&w, Qt::Key_Escape);
    p.clickAndWait(w.Button1);
    QVERIFY(!p.dm->extractionStopped());
    QCOMPARE(p.gridRows(), 6);
    QVERIFY(w.Button3->isEnabled());
    QVERIFY(w.LabelRiepilogo->text().startsWith(QStringLiteral("Fatture: 6")));
}

void TestMainWindow::shortOfMemoryDuringARead()
{
    Program p(m_config, {m_patients}, kCodes);
    p.show();
    {
        // Not even one block of the filling (32 MiB).
        const ShortOfMemory shortOfMemory(16 << 20);
        p.extract(QDate(2025, 1, 1), QDate(2025, 1, 31));
        QVERIFY(ShortOfMemory::failures() > 0);
    }
    QCOMPARE(p.prompter.errors,
             QStringList{"Memoria insufficiente per le fatture estratte: restringere il periodo."});
    QCOMPARE(p.gridRows(), 0);
    QVERIFY(!p.window->Button3->isEnabled());
    QVERIFY(!p.dm->extractionStopped());
}

void TestMainWindow::checksMarkTheGrid_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("colour");  // painted while selected
    QTest::addColumn<QString>("tooltip");

    // April: invoice 7 (rows 0 and 2) twice, row 1 a wrong check letter;
    // row 3 invoice 8 again, with an Apice; row 4 a tax code and a VAT number
    // longer in the database; row 5 a tax code with blanks after it; rows 6
    // to 8 invoice 11 three times, row 9 invoice 11 with an Apice.
    const QString twice = QStringLiteral("Fattura presente due volte (archivio %1)");
    const QString sameProtocol =
        QStringLiteral("Stesso protocollo nell'esportazione: l'Apice non viene esportato (anche fattura %1 del %2)");
    const auto day = [](int d) { return QLocale().toString(QDate(2025, 4, d), QLocale::ShortFormat); };
    const int numero = InvoiceTable::ColNumero;
    const int cf = InvoiceTable::ColCf;
    QTest::newRow("first copy") << 0 << numero << "#ffa500" << twice;
    QTest::newRow("second copy") << 2 << numero << "#ffa500" << twice;
    QTest::newRow("invalid tax code") << 1 << cf << "#ffa500"
                                      << "Codice fiscale non valido: carattere di controllo errato";
    QTest::newRow("valid tax code") << 0 << cf << "#ffffff" << QString();
    QTest::newRow("number without Apice, the same protocol as 8bis")
        << 1 << numero << "#ffa500" << sameProtocol.arg(QStringLiteral("8bis"), day(22));
    QTest::newRow("number with Apice, the same protocol as 8") << 3 << numero << "#ffa500"
                                                               << sameProtocol.arg(QStringLiteral("8"), day(10));
    QTest::newRow("tax code longer in the database")
        << 4 << cf << "#ffa500" << "Codice fiscale troppo lungo nel database: esportato tagliato a 16 caratteri";
    QTest::newRow("P.Iva longer in the database")
        << 4 << int(InvoiceTable::ColPIva) << "#ffa500"
        << "P.Iva troppo lunga nel database: esportata tagliata a 16 caratteri";
    QTest::newRow("blanks after the tax code in the database: nothing cut") << 5 << cf << "#ffffff" << QString();
    QTest::newRow("three copies, one of them the same protocol as 11ter")
        << 6 << numero << "#ffa500"
        << QStringLiteral("Fattura presente 3 volte (archivio %1)\n")
               + sameProtocol.arg(QStringLiteral("11ter"), day(30));
}

void TestMainWindow::checksMarkTheGrid()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, colour);
    QFETCH(QString, tooltip);
    Program p(m_config, {m_patients}, kCodes);
    p.show();
    p.extract(QDate(2025, 4, 1), QDate(2025, 4, 30));
    QCOMPARE(p.gridRows(), 10);
    QCOMPARE(p.window->LabelRiepilogo->text(),
             QStringLiteral("Fatture: 10     Totale: %1     Senza C.F.: 0     C.F. non validi: 2     Doppie: 5     "
                            "Protocolli ripetuti: 6")
                 .arg(QLocale().toCurrencyString(100.0)));

    const QModelIndex cell = p.clickCell(row, column);
    QVERIFY(cell.isValid());
    QCOMPARE(p.window->DBGrid1->currentIndex(), cell);
    QVERIFY(p.window->DBGrid1->selectionModel()->isSelected(cell));
    QCOMPARE(cell.data(Qt::ToolTipRole).toString(), tooltip.arg(m_patients));
    QCOMPARE(p.paintedColour(cell), colour);
    // The checks inform: the export asks nothing more and writes every row.
    QVERIFY(p.window->Button3->isEnabled());
}

void TestMainWindow::sameDatabaseUnderTwoNames()
{
    // The same file twice in the list: every invoice is read twice, and each
    // copy names the other archive.
    const QString alias = m_dir.path() + QStringLiteral("/./patients.fdb");
    Program p(m_config, {m_patients, alias}, kCodes);
    p.show();
    p.extract(QDate(2025, 2, 1), QDate(2025, 2, 28));
    QCOMPARE(p.gridRows(), 4);
    const QAbstractItemModel *model = p.window->DBGrid1->model();
    QStringList tooltips;
    for (int row = 0; row < 4; ++row)
        tooltips << model->index(row, InvoiceTable::ColNumero).data(Qt::ToolTipRole).toString();
    const QString twice = QStringLiteral("Fattura presente due volte (archivio %1)");
    // Date, number, then the order of reading: the first database's copy first.
    QCOMPARE(tooltips, (QStringList{twice.arg(alias), twice.arg(m_patients), twice.arg(alias), twice.arg(m_patients)}));
    QVERIFY(p.window->LabelRiepilogo->text().endsWith(QStringLiteral("     Doppie: 4")));
}

void TestMainWindow::exportedInvoicesAreMarked_data()
{
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<bool>("again");
    QTest::addColumn<QStringList>("before"); // questions before the one on exported invoices

    QTest::newRow("exported again") << QDate(2025, 1, 1) << QDate(2025, 1, 31) << true << QStringList();
    QTest::newRow("not exported again") << QDate(2025, 1, 1) << QDate(2025, 1, 31) << false << QStringList();
    QTest::newRow("after the question on tax codes")
        << QDate(2025, 2, 1) << QDate(2025, 2, 28) << true << QStringList{kQuestion};
}

void TestMainWindow::exportedInvoicesAreMarked()
{
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(bool, again);
    QFETCH(QStringList, before);
    Program p(m_config, {m_patients}, kCodes);
    p.show();
    TFormMain &w = *p.window;
    p.extract(from, to);
    QCOMPARE(p.dataColours(), (QStringList{"none", "none"}));
    QVERIFY(!w.LabelRiepilogo->text().contains(QStringLiteral("Già esportate")));

    p.prompter.yesNoAnswers = {true};
    const QDateTime start = QDateTime::currentDateTime();
    QTest::mouseClick(w.Button3, Qt::LeftButton);
    const QDateTime end = QDateTime::currentDateTime();
    QCOMPARE(p.prompter.all, before + QStringList{kDone});
    const QByteArray file = readWholeFile(p.exportFile());
    const QByteArray journal = readWholeFile(p.journal());
    QVERIFY(journal.startsWith("\xEF\xBB\xBF" + kJournalTitles.toUtf8() + "\r\n"));
    QCOMPARE(journal.count("\r\n"), 3);
    // Exported now: marked at once.
    QCOMPARE(p.dataColours(), (QStringList{kLightBlue, kLightBlue}));
    QVERIFY(w.LabelRiepilogo->text().endsWith(QStringLiteral("     Già esportate: 2")));

    // The next extraction finds them in the journal.
    p.extract(from, to);
    QCOMPARE(p.dataColours(), (QStringList{kLightBlue, kLightBlue}));
    QVERIFY(w.LabelRiepilogo->text().endsWith(QStringLiteral("     Già esportate: 2")));
    const auto tip = [&](const QDateTime &moment) {
        return QStringLiteral("Esportata il %1 alle %2 in %3")
            .arg(moment.toString(QStringLiteral("dd/MM/yyyy")), moment.toString(QStringLiteral("hh:mm")),
                 QDir::toNativeSeparators(p.exportFile()));
    };
    QVERIFY2(p.dataTip(1) == tip(start) || p.dataTip(1) == tip(end), qPrintable(p.dataTip(1)));
    const QModelIndex cell = p.clickCell(0, InvoiceTable::ColData);
    QVERIFY(cell.isValid());
    QCOMPARE(p.paintedColour(cell), kLightBlue);

    // Esporta asks before it exports them again.
    const quint64 inode = inodeOf(p.exportFile());
    p.prompter.clear();
    p.prompter.yesNoAnswers = {again};
    if (!before.isEmpty())
        p.prompter.yesNoAnswers.push_front(true);
    QTest::mouseClick(w.Button3, Qt::LeftButton);
    if (again) {
        QCOMPARE(p.prompter.all, before + QStringList({alreadyExported(2), kDone}));
        QVERIFY(inodeOf(p.exportFile()) != inode);
        QCOMPARE(readWholeFile(p.exportFile()), file);
        QCOMPARE(readWholeFile(p.journal()).count("\r\n"), 5);
    } else {
        QCOMPARE(p.prompter.all, before + QStringList{alreadyExported(2)});
        QCOMPARE(inodeOf(p.exportFile()), inode);
        QCOMPARE(readWholeFile(p.journal()), journal);
    }
}

void TestMainWindow::totalChangedAfterExport()
{
    const QString database = path(QStringLiteral("changed.fdb"));
    QVERIFY(FbFixture::createPatientDatabase(database));
    QVERIFY(FbFixture::runSql(database, FbFixture::insertInvoice(invoice(1, QDate(2025, 1, 15), QStringLiteral("Rossi"),
                                                                         QStringLiteral("RSSMRA80A01H501U"),
                                                                         QStringLiteral("100.00")))));
    Program p(m_config, {database}, kCodes);
    p.show();
    p.extract(QDate(2025, 1, 1), QDate(2025, 1, 31));
    QTest::mouseClick(p.window->Button3, Qt::LeftButton);
    QCOMPARE(p.prompter.all, QStringList{kDone});

    // The amount is corrected in the practice's program after the export.
    (*p.dm->listDB)[0]->Close();
    QVERIFY(FbFixture::runSql(database, QStringLiteral("UPDATE contab SET importo = 120;")));
    p.extract(QDate(2025, 1, 1), QDate(2025, 1, 31));
    QCOMPARE(p.dataColours(), QStringList{kViolet});
    QVERIFY2(p.dataTip(0).endsWith(QStringLiteral("\ncon totale diverso: ") + QLocale().toCurrencyString(100.0)),
             qPrintable(p.dataTip(0)));
    QVERIFY(p.window->LabelRiepilogo->text().endsWith(QStringLiteral("     Già esportate: 1")));
    const QModelIndex cell = p.clickCell(0, InvoiceTable::ColData);
    QVERIFY(cell.isValid());
    QCOMPARE(p.paintedColour(cell), kViolet);
}

void TestMainWindow::journalCannotBeWritten_data()
{
    QTest::addColumn<bool>("held"); // else read-only
    QTest::addColumn<QString>("reason");
    QTest::newRow("read-only") << false << QString::fromLocal8Bit(std::strerror(EACCES));
    QTest::newRow("held by another program for longer than the wait")
        << true
        << QStringLiteral("un altro Tolm Export, su questo o su un altro computer, sta scrivendo nel registro da più "
                          "di 5 secondi");
}

void TestMainWindow::journalCannotBeWritten()
{
    QFETCH(bool, held);
    QFETCH(QString, reason);
    Program p(m_config, {m_patients}, kCodes);
    const QByteArray journal = "\xEF\xBB\xBF" + kJournalTitles.toUtf8() + "\r\n";
    writeWholeFile(p.journal(), journal);
    if (!held)
        QVERIFY(QFile::setPermissions(p.journal(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    p.show();
    p.extract(QDate(2025, 1, 1), QDate(2025, 1, 31));
    // Another program on the same folder is halfway through its line.
    std::unique_ptr<Peer> other;
    if (held) {
        other = std::make_unique<Peer>(QStringList{QStringLiteral("hold"), p.journal(), QStringLiteral("8000")});
        QVERIFY(other->says("holding"));
    }
    QTest::mouseClick(p.window->Button3, Qt::LeftButton);

    // Said, naming both files; the export file stays, whole.
    QCOMPARE(p.prompter.all,
             QStringList{QStringLiteral("Esportazione scritta in \"%1\", ma non annotata nel registro delle "
                                        "esportazioni \"%2\": %3.")
                             .arg(QDir::toNativeSeparators(p.exportFile()), QDir::toNativeSeparators(p.journal()),
                                  reason)});
    QCOMPARE(p.prompter.errors.size(), 1);
    QCOMPARE(readWholeFile(p.exportFile()), januaryFile());
    // The other program's line is whole once it has ended.
    if (other)
        QVERIFY2(other->succeeded(), qPrintable(other->errors()));
    QCOMPARE(readWholeFile(p.journal()), journal + (held ? QByteArray(Peer::kHeldLine) : QByteArray()));
    // Exported all the same: a second export asks first.
    QVERIFY(p.window->LabelRiepilogo->text().endsWith(QStringLiteral("     Già esportate: 2")));
    p.prompter.clear();
    p.prompter.yesNoAnswers = {false};
    QTest::mouseClick(p.window->Button3, Qt::LeftButton);
    QCOMPARE(p.prompter.all, QStringList{alreadyExported(2)});
}

void TestMainWindow::journalEditedByHandThenDeleted()
{
    Program p(m_config, {m_patients}, kCodes);
    // Saved by a spreadsheet: Windows-1252, a column added, quotes, no mark,
    // no seconds, and a line it cannot read.
    writeWholeFile(p.journal(),
                   "Intestazione;Sezionale;Anno;Numero;Apice;Data;Totale;Note;File;Esportata il\r\n"
                   "01;1;2025;1;;15/01/2025;124;\"gi\xE0 vista\";\"C:\\Esportazioni\\a;b.csv\";15/01/2025 18:00\r\n"
                   "01;1;2025;due;;20/01/2025;50,5;;x.csv;15/01/2025 18:00\r\n");
    p.show();
    TFormMain &w = *p.window;
    p.extract(QDate(2025, 1, 1), QDate(2025, 1, 31));
    QCOMPARE(p.dataColours(), (QStringList{kLightBlue, "none"}));
    QCOMPARE(p.dataTip(0), QStringLiteral("Esportata il 15/01/2025 alle 18:00 in C:\\Esportazioni\\a;b.csv"));
    QCOMPARE(p.dataTip(1), QString());
    QVERIFY2(w.LabelRiepilogo->text().endsWith(
                 QStringLiteral("     Già esportate: 1     Registro: 1 righe illeggibili")),
             qPrintable(w.LabelRiepilogo->text()));

    // Deleted while the program runs: the next export starts it afresh.
    QVERIFY(QFile::remove(p.journal()));
    p.prompter.yesNoAnswers = {true};
    QTest::mouseClick(w.Button3, Qt::LeftButton);
    QCOMPARE(p.prompter.all, (QStringList{alreadyExported(1), kDone}));
    const QByteArray journal = readWholeFile(p.journal());
    QVERIFY(journal.startsWith("\xEF\xBB\xBF" + kJournalTitles.toUtf8() + "\r\n"));
    QCOMPARE(journal.count("\r\n"), 3);
    p.extract(QDate(2025, 1, 1), QDate(2025, 1, 31));
    QCOMPARE(p.dataColours(), (QStringList{kLightBlue, kLightBlue}));
    QVERIFY(w.LabelRiepilogo->text().endsWith(QStringLiteral("     Già esportate: 2")));
}

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
