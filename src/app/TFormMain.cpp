#include "app/TFormMain.h"

#include "settings/PeriodPresets.h"
#include "app/WaitCursor.h"
#include "data/TDataModule1.h"
#include "models/InvoiceModel.h"
#include "platform/ErrorReport.h"
#include "platform/Prompter.h"
#include "platform/Today.h"
#include "dialogs/TConfigDlg.h"
#include "settings/TConfigurazione.h"

#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

TFormMain *FormMain = nullptr;

namespace {
const QDate kInitialDate(2013, 1, 1);

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
    DBTextSezionale->setGeometry(616, 9, 22, 17);
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
    DBGrid1->setModel(new InvoiceModel(m_dm.dxMemDataFatture, this));
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->horizontalHeader()->setSectionsClickable(false);
    DBGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    DBGrid1->verticalHeader()->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 6);
    DBGrid1->setTabKeyNavigation(true);
    LabelRiepilogo = new QLabel(Panel2);
    LabelRiepilogo->setObjectName(QStringLiteral("LabelRiepilogo"));
    auto *gridLayout = new QVBoxLayout(Panel2);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    gridLayout->setSpacing(2);
    gridLayout->addWidget(DBGrid1, 1);
    gridLayout->addWidget(LabelRiepilogo);

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

void TFormMain::Button1Click()
{
    try {
        WaitCursor wait;
        m_dm.EstraiDati(1, DateTimePickerDal->date(), DateTimePickerAl->date());
        Button3->setEnabled(m_dm.dxMemDataFatture.isOpen() && !m_dm.dxMemDataFatture.isEmpty());
        updateSummary();
    } catch (const std::exception &error) {
        Button3->setEnabled(false);
        updateSummary();
        // Without any heading there is nothing to extract and nothing to say.
        if (m_dm.MTableAssIntest.hasCurrent())
            reportError(error);
    }
}

void TFormMain::Button2Click()
{
    guarded([this] {
        TConfigDlg dialog(this);
        dialog.Config = m_dm.configurazione.get();
        if (prepareConfigDlg)
            prepareConfigDlg(dialog);
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
        {
            WaitCursor wait;
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
    if (watched == Label3 && event->type() == QEvent::MouseButtonRelease
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

void TFormMain::fitColumns()
{
    if (m_columnsSet || m_dm.dxMemDataFatture.columnCount() == 0)
        return;
    const int charWidth = DBGrid1->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    const int padding = 8;
    for (int c = 0; c < InvoiceTable::ColumnCount; ++c) {
        const auto &field = InvoiceTable::field(c);
        const int titleWidth = DBGrid1->fontMetrics().horizontalAdvance(QString::fromLatin1(field.label));
        DBGrid1->setColumnWidth(c, std::max(field.displayWidth * charWidth, titleWidth) + padding);
    }
    m_columnsSet = true;
}

void TFormMain::updateSummary()
{
    const InvoiceTable &table = m_dm.dxMemDataFatture;
    qint64 totale = 0;
    int withoutCf = 0;
    for (const InvoiceRecord &r : table.records()) {
        totale += r.totale();
        if (r.cf.isEmpty())
            ++withoutCf;
    }
    const QLocale locale;
    LabelRiepilogo->setText(QStringLiteral("Fatture: %1     Totale: %2     Senza C.F.: %3")
                                .arg(table.size())
                                .arg(locale.toCurrencyString(double(totale) / double(kMoneyScale)))
                                .arg(withoutCf));
}
