#include "app/TFormMain.h"

#include "app/WaitCursor.h"
#include "data/TDataModule1.h"
#include "dialogs/AssociationAction.h"
#include "dialogs/DatabaseListAction.h"
#include "dialogs/TConfigDlg.h"
#include "models/InvoiceGrid.h"
#include "models/InvoiceModel.h"
#include "platform/ErrorReport.h"
#include "platform/Prompter.h"
#include "platform/Today.h"
#include "records/InvoiceSummary.h"
#include "settings/PeriodPresets.h"
#include "settings/TConfigurazione.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QApplication>
#include <QCursor>
#include <QDateEdit>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

TFormMain *FormMain = nullptr;

namespace {
// The summary line tells how far a read has come at most this often, and
// whenever another database begins.
constexpr qint64 kProgressIntervalMs = 125;

QLabel *makeLabel(QWidget *parent, const QString &text, int left, int top)
{
    auto *label = new QLabel(text, parent);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QPushButton *makeButton(QWidget *parent, const QString &name, const QString &text, int left, int top)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setGeometry(left, top, 75, 25);
    return button;
}

QDateEdit *makeDatePicker(QWidget *parent, const QString &name, int left, int top)
{
    auto *picker = new QDateEdit(kInitialDate, parent);
    picker->setObjectName(name);
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    picker->setGeometry(left, top, 93, 21);
    return picker;
}

QFont boldFont(const QFont &base, int pixelSize)
{
    QFont font = base;
    font.setBold(true);
    font.setPixelSize(pixelSize);
    return font;
}
} // namespace

TFormMain::TFormMain(TDataModule1 &dataModule, QWidget *parent) : QWidget(parent), m_dm(dataModule)
{
    FormMain = this;
    createControls();
    FormCreate();
    // After the dates of the default period are set: only the user's
    // changes count.
    connect(DateTimePickerDal, &QDateEdit::dateChanged, this, &TFormMain::DateTimePickerChange);
    connect(DateTimePickerAl, &QDateEdit::dateChanged, this, &TFormMain::DateTimePickerChange);
}

void TFormMain::createControls()
{
    setWindowTitle(QStringLiteral("Esportazione Dati Tolm"));
    // Tahoma, 11 pixels high; where it is missing, a face of similar width.
    QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
    QFont tahoma(QStringLiteral("Tahoma"));
    tahoma.setPixelSize(11);
    setFont(tahoma);
    resize(758, 586);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::StyledPanel);
    Panel1->setFixedHeight(73);
    Panel2 = new QFrame(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(Panel2, 1);

    Button1 = makeButton(Panel1, QStringLiteral("Button1"), QStringLiteral("Estrai Dati"), 7, 5);
    Button3 = makeButton(Panel1, QStringLiteral("Button3"), QStringLiteral("Esporta"), 7, 30);
    Button3->setEnabled(false);
    Label5 = makeLabel(Panel1, QStringLiteral("Intestazione"), 88, 9);
    ComboBoxSezionale = new QComboBox(Panel1);
    ComboBoxSezionale->setObjectName(QStringLiteral("ComboBoxSezionale"));
    ComboBoxSezionale->setEditable(false);
    ComboBoxSezionale->setGeometry(150, 6, 173, 21);
    Label1 = makeLabel(Panel1, QStringLiteral("Dal"), 329, 9);
    DateTimePickerDal = makeDatePicker(Panel1, QStringLiteral("DateTimePickerDal"), 350, 6);
    Label2 = makeLabel(Panel1, QStringLiteral("Al"), 449, 9);
    DateTimePickerAl = makeDatePicker(Panel1, QStringLiteral("DateTimePickerAl"), 464, 6);
    Label6 = makeLabel(Panel1, QStringLiteral("Sezionale"), 568, 9);
    DBTextSezionale = new QLabel(Panel1);
    DBTextSezionale->setObjectName(QStringLiteral("DBTextSezionale"));
    placeSezionale();
    Button2 = makeButton(Panel1, QStringLiteral("Button2"), QStringLiteral("Configura"), 675, 5);
    Label4 = makeLabel(Panel1, QStringLiteral("Esporta in"), 151, 30);
    Label4->setFont(boldFont(font(), 13));
    Label4->adjustSize();
    Label3 = makeLabel(Panel1, QString(), 221, 30);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setFont(boldFont(font(), 13));
    Label3->setCursor(Qt::PointingHandCursor);
    Label3->installEventFilter(this);
    LabelConfig = makeLabel(Panel1, QString(), 151, 50);
    LabelConfig->setObjectName(QStringLiteral("LabelConfig"));
    LabelConfig->setFont(boldFont(font(), 11));

    DBGrid1 = new QTableView(Panel2);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    m_invoiceModel = new InvoiceModel(m_dm.dxMemDataFatture, this);
    m_invoiceModel->setSourceNames(m_dm.databaseNames());
    DBGrid1->setModel(m_invoiceModel);
    DBGrid1->setItemDelegate(new InvoiceCellDelegate(DBGrid1));
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->horizontalHeader()->setSectionsClickable(false);
    DBGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    DBGrid1->verticalHeader()->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 6);
    DBGrid1->setTabKeyNavigation(true);
    LabelRiepilogo = new QLabel(Panel2);
    LabelRiepilogo->setObjectName(QStringLiteral("LabelRiepilogo"));
    // "Interrompi" stands at the start of the summary line while a read runs.
    m_stopButton = new QPushButton(QStringLiteral("Interrompi"), Panel2);
    m_stopButton->setObjectName(QStringLiteral("stopButton"));
    m_stopButton->hide();
    m_stopShortcut = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    m_stopShortcut->setEnabled(false);
    auto *summaryLayout = new QHBoxLayout;
    summaryLayout->setContentsMargins(0, 0, 0, 0);
    summaryLayout->addWidget(m_stopButton);
    summaryLayout->addWidget(LabelRiepilogo, 1);
    auto *gridLayout = new QVBoxLayout(Panel2);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    gridLayout->setSpacing(2);
    gridLayout->addWidget(DBGrid1, 1);
    gridLayout->addLayout(summaryLayout);

    setTabOrder(Button1, Button2);
    setTabOrder(Button2, Button3);
    setTabOrder(Button3, DateTimePickerAl);
    setTabOrder(DateTimePickerAl, DateTimePickerDal);
    setTabOrder(DateTimePickerDal, ComboBoxSezionale);
    setTabOrder(ComboBoxSezionale, DBGrid1);

    connect(Button1, &QPushButton::clicked, this, &TFormMain::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TFormMain::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TFormMain::Button3Click);
    connect(ComboBoxSezionale, &QComboBox::activated, this, &TFormMain::ComboBoxSezionaleChange);
    connect(m_stopButton, &QPushButton::clicked, this, &TFormMain::requestStop);
    connect(m_stopShortcut, &QShortcut::activated, this, &TFormMain::requestStop);
    connect(&m_dm, &TDataModule1::extractionFinished, this, &TFormMain::readFinished);

    AssociationTable &headings = m_dm.MTableAssIntest;
    connect(&headings, &AssociationTable::currentRowChanged, this, &TFormMain::showSezionale);
    connect(&headings, &AssociationTable::fieldChanged, this, &TFormMain::showSezionale);
    connect(&headings, &AssociationTable::reset, this, &TFormMain::showSezionale);
    // After the grid's model, which was connected first.
    connect(&m_dm.dxMemDataFatture, &InvoiceTable::reset, this, &TFormMain::fitColumns);
}

void TFormMain::FormCreate()
{
    TConfigurazione &config = *m_dm.configurazione;
    if (config.FFileConfig.isEmpty()) {
        Prompter::current().information(QStringLiteral("Impostare il file di configurazione"));
        m_quitRequested = true;
    }

    const Period period = defaultPeriod(config.FPeriodoSalvataggio, today());
    DateTimePickerDal->setDate(period.from);
    DateTimePickerAl->setDate(period.to);

    Label3->setText(config.CartellaEsportazione());
    Label3->adjustSize();
    LabelConfig->setText(configurationText());
    LabelConfig->adjustSize();

    ComboBoxSezionale->clear();
    AssociationTable &headings = m_dm.MTableAssIntest;
    for (int i = 0; i < headings.size(); ++i)
        ComboBoxSezionale->addItem(headings.fieldText(i, AssociationTable::ColDescrizione));
    ComboBoxSezionale->setCurrentIndex(ComboBoxSezionale->count() ? 0 : -1);
    headings.first();
    showSezionale();
}

QString TFormMain::configurationText() const
{
    const TConfigurazione &c = *m_dm.configurazione;
    return QStringLiteral("Attività '") + c.FAttivita + QStringLiteral("'     Registro '") + c.FRegistro
           + QStringLiteral("'     Aliquota Iva '") + c.FIVA + QStringLiteral("'     Conto Dare '") + c.FContoDare
           + QStringLiteral("'     Conto Avere '") + c.FContoAvere + QStringLiteral("'");
}

void TFormMain::showSezionale()
{
    DBTextSezionale->setText(m_dm.MTableAssIntest.currentSezionale());
}

TFormMain::~TFormMain()
{
    // A read still running goes on alone: nothing of it reaches the window.
    if (m_reading)
        m_dm.stopExtraction();
}

void TFormMain::Button1Click()
{
    if (m_reading)
        return;
    // The grid is not redrawn from the emptying of the table on: it shows the
    // read's invoices, at once, when they come.
    DBGrid1->setUpdatesEnabled(false);
    try {
        // Before the read's threads start: what they say is for this read.
        ++m_readNumber;
        if (m_dm.beginExtraction(DateTimePickerDal->date(), DateTimePickerAl->date(), this)) {
            beginRead();
            return;
        }
    } catch (const std::exception &error) {
        DBGrid1->setUpdatesEnabled(true);
        extractionFailed(error);
        return;
    }
    DBGrid1->setUpdatesEnabled(true);
}

// The read has ended on its threads: its invoices come into the grid at once.
void TFormMain::readFinished()
{
    if (!m_reading)
        return;
    endRead();
    try {
        m_dm.finishExtraction();
        if (m_dm.extractionStopped()) {
            readStopped();
            return;
        }
        const InvoiceTable &table = m_dm.dxMemDataFatture;
        Button3->setEnabled(table.isOpen() && !table.isEmpty());
        updateSummary();
    } catch (const std::exception &error) {
        extractionFailed(error);
    }
}

void TFormMain::extractionFailed(const std::exception &error)
{
    Button3->setEnabled(false);
    updateSummary();
    // Without any heading there is nothing to extract and nothing to say.
    if (m_dm.MTableAssIntest.hasCurrent())
        reportError(error);
}

void TFormMain::readStopped()
{
    Button3->setEnabled(false);
    LabelRiepilogo->setText(QStringLiteral("Estrazione interrotta"));
}

// From here to endRead() the read runs on the data module's threads and the
// event loop runs as always. Every control but "Interrompi" is disabled, so
// what the user does meanwhile is dropped as it comes, never kept for later;
// the grid is not redrawn until the read's invoices come, at once.
void TFormMain::beginRead()
{
    m_reading = true;
    m_shownDatabase = 0;
    m_focusBeforeRead = focusWidget();
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    DBGrid1->setEnabled(false);
    Panel1->setEnabled(false);
    m_stopButton->setEnabled(true);
    m_stopButton->show();
    m_stopShortcut->setEnabled(true);
    LabelRiepilogo->setText(QStringLiteral("Lettura del database 1 di %1...     Fatture lette: 0")
                                .arg(m_dm.databaseNames().size()));
}

void TFormMain::endRead()
{
    m_reading = false;
    QApplication::restoreOverrideCursor();
    m_stopShortcut->setEnabled(false);
    m_stopButton->hide();
    Panel1->setEnabled(true);
    DBGrid1->setEnabled(true);
    DBGrid1->setUpdatesEnabled(true);
    if (m_focusBeforeRead && m_focusBeforeRead->isEnabled())
        m_focusBeforeRead->setFocus();
}

// "Interrompi", Escape, closing the window: the read stops at once, however
// long a server keeps its threads waiting.
void TFormMain::requestStop()
{
    if (!m_reading)
        return;
    m_dm.stopExtraction();
    endRead();
    readStopped();
}

// From a thread of the read: handed to the window's own thread.
void TFormMain::progress(int database, int databases, qint64 invoices)
{
    const quint64 read = m_readNumber.load();
    QMetaObject::invokeMethod(
        this, [this, read, database, databases, invoices] { showProgress(read, database, databases, invoices); },
        Qt::QueuedConnection);
}

bool TFormMain::shouldStop()
{
    return false; // the window stops a read through the data module
}

// Which database of how many is being read and the invoices read so far, in
// the summary line, at most every kProgressIntervalMs and whenever another
// database begins; what comes late from a read that has ended is dropped.
void TFormMain::showProgress(quint64 read, int database, int databases, qint64 invoices)
{
    if (!m_reading || read != m_readNumber)
        return;
    if (database == m_shownDatabase && m_shownClock.isValid() && m_shownClock.elapsed() < kProgressIntervalMs)
        return;
    m_shownDatabase = database;
    m_shownClock.start();
    LabelRiepilogo->setText(QStringLiteral("Lettura del database %1 di %2...     Fatture lette: %3")
                                .arg(database)
                                .arg(databases)
                                .arg(QLocale().toString(invoices)));
}

// Closing the window, or the system asking the program to end, stops a read.
void TFormMain::closeEvent(QCloseEvent *event)
{
    requestStop();
    QWidget::closeEvent(event);
}

void TFormMain::Button2Click()
{
    guarded([this] {
        TConfigDlg dialog(this);
        dialog.Config = m_dm.configurazione.get();
        dialog.databaseListAction = [&dialog] { runDatabaseListDialog(&dialog); };
        dialog.associationAction = [&dialog, this] { runAssociationDialog(&dialog, m_dm); };
        if (dialog.exec() == QDialog::Accepted) {
            LabelConfig->setText(configurationText());
            LabelConfig->adjustSize();
        }
    });
    Label3->setText(m_dm.configurazione->CartellaEsportazione());
    Label3->adjustSize();
    ComboBoxSezionaleChange();
}

void TFormMain::Button3Click()
{
    guarded([this] {
        if (m_dm.dxMemDataFatture.isEmpty())
            return;
        if (!m_dm.cancontinue
            && !Prompter::current().questionYesNo(
                QStringLiteral("ci sono uno o più CF mancanti. Continuare con l'esportazione?")))
            return;
        const qsizetype exported = m_dm.dxMemDataFatture.exportHistory().exportedCount();
        if (exported > 0
            && !Prompter::current().questionYesNo(
                QStringLiteral("%1 fatture sono già state esportate. Esportarle di nuovo?").arg(exported)))
            return;
        {
            WaitCursor wait;
            // The invoices count as exported once the file is in place, even
            // where the journal then fails.
            const struct SummaryUpdate
            {
                TFormMain *window;
                ~SummaryUpdate() { window->updateSummary(); }
            } summaryUpdate{this};
            m_dm.EstraiDati(2, QDate(), QDate());
        }
        Prompter::current().information(QStringLiteral("Esportazione Terminata"));
    });
}

void TFormMain::ComboBoxSezionaleChange()
{
    m_dm.closeExtraction();
    Button3->setEnabled(false);
    LabelRiepilogo->clear();
    m_dm.MTableAssIntest.locateIndex(ComboBoxSezionale->currentIndex());
    showSezionale();
}

// A period other than the extracted one: the table no longer stands for
// the dates on screen and must not be exported.
void TFormMain::DateTimePickerChange()
{
    // A table never opened stays so: the grid keeps showing no columns.
    if (m_dm.dxMemDataFatture.isOpen())
        m_dm.closeExtraction();
    Button3->setEnabled(false);
    LabelRiepilogo->clear();
}

void TFormMain::Label3Click()
{
    guarded([this] {
        if (const auto folder = Prompter::current().chooseFolder(Label3->text())) {
            Label3->setText(*folder);
            Label3->adjustSize();
        }
        m_dm.configurazione->setCartellaEsportazione(Label3->text());
    });
}

bool TFormMain::eventFilter(QObject *watched, QEvent *event)
{
    // A disabled label still shows its events to a filter.
    if (watched == Label3 && Label3->isEnabled() && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        Label3Click();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TFormMain::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // "Configura" keeps its distance from the right edge.
    Button2->move(width() - 83, Button2->y());
}

// "Sezionale" keeps its place and its value stands at its own, unless the
// caption, in a font wider than the one the places were made for, reaches
// it: then the value moves right just enough to stand clear. The value's
// width holds any two characters the field can hold.
void TFormMain::placeSezionale()
{
    const QFontMetrics metrics = DBTextSezionale->fontMetrics();
    const int gap = std::max(3, metrics.horizontalAdvance(QLatin1Char(' ')));
    const int left = std::max(616, Label6->x() + Label6->width() + gap);
    const int widest = std::max({metrics.horizontalAdvance(QString(2, widestOf(metrics, kCapitals))),
                                 metrics.horizontalAdvance(QString(2, widestOf(metrics, kDigits))),
                                 metrics.horizontalAdvance(QStringLiteral("-9"))});
    DBTextSezionale->setGeometry(left, 9, std::max(22, widest + 1), 17);
}

// The grid's columns are fitted once, when the table first has them.
void TFormMain::fitColumns()
{
    if (m_columnsSet || m_dm.dxMemDataFatture.columnCount() == 0)
        return;
    fitInvoiceColumns(*DBGrid1);
    m_columnsSet = true;
}

void TFormMain::updateSummary()
{
    const InvoiceTable &table = m_dm.dxMemDataFatture;
    const InvoiceSummary figures = summarize(table.records());
    const QLocale locale;
    QString summary = QStringLiteral("Fatture: %1     Totale: %2     Senza C.F.: %3")
                          .arg(figures.invoices)
                          .arg(CurrencyFormat(locale).text(figures.total))
                          .arg(figures.withoutTaxCode);
    const InvoiceChecks &checks = table.checks();
    if (checks.invalidTaxCodeCount() > 0)
        summary += QStringLiteral("     C.F. non validi: %1").arg(checks.invalidTaxCodeCount());
    if (checks.duplicateCount() > 0)
        summary += QStringLiteral("     Doppie: %1").arg(checks.duplicateCount());
    if (checks.sameProtocolCount() > 0)
        summary += QStringLiteral("     Protocolli ripetuti: %1").arg(checks.sameProtocolCount());
    const ExportHistory &history = table.exportHistory();
    if (history.exportedCount() > 0)
        summary += QStringLiteral("     Già esportate: %1").arg(history.exportedCount());
    if (history.unreadableLines() > 0)
        summary += QStringLiteral("     Registro: %1 righe illeggibili").arg(history.unreadableLines());
    LabelRiepilogo->setText(summary);
}
