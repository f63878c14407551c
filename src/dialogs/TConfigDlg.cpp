#include "dialogs/TConfigDlg.h"

#include "dialogs/LimitedLineEdit.h"
#include "platform/ErrorReport.h"
#include "platform/Prompter.h"
#include "settings/TConfigurazione.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QToolButton>

namespace {

constexpr int kRowHeight = 21;

// The period presets, in the order of their values 0 to 6.
const char *const kPeriods[] = {"Giorno Corrente",   "Settimana Corrente",   "Mese Corrente", "Anno Corrente",
                                "Giorno Precedente", "Settimana Precedente", "Mese Precedente"};

template <typename Widget>
Widget *placeNamed(Widget *widget, const char *name, const QRect &geometry)
{
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(geometry);
    return widget;
}

QLabel *makeLabel(QWidget *parent, const QString &text, QWidget *buddy, const QRect &geometry)
{
    auto *l = new QLabel(text, parent);
    l->setGeometry(geometry);
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    l->setBuddy(buddy);
    return l;
}

QComboBox *editableCombo(QWidget *parent, const QStringList &items)
{
    auto *combo = new QComboBox(parent);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(items);
    return combo;
}

// Shows a text in an editable drop-down, on its item when it is one.
void showEditText(QComboBox *combo, const QString &text)
{
    combo->setCurrentIndex(combo->findText(text));
    combo->setEditText(text);
}

} // namespace

TConfigDlg::TConfigDlg(QWidget *parent) : CenteredDialog(parent)
{
    setObjectName(QStringLiteral("ConfigDlg"));
    setWindowTitle(QStringLiteral("Configurazione"));
    setFixedSize(346, 291);
    QFont dialogFont = font();
    dialogFont.setPointSize(8);
    setFont(dialogFont);

    // Default period.
    ComboBoxPeriodo = placeNamed(new QComboBox(this), "ComboBoxPeriodo", {188, 6, 152, kRowHeight});
    for (const char *period : kPeriods)
        ComboBoxPeriodo->addItem(QLatin1String(period));
    makeLabel(this, QStringLiteral("Periodo Esportazione Predefinito"), ComboBoxPeriodo, {6, 6, 180, kRowHeight});

    // Export folder.
    EditFolder = placeNamed(new QLineEdit(this), "EditFolder", {80, 33, 234, kRowHeight});
    makeLabel(this, QStringLiteral("Destinazione"), EditFolder, {6, 33, 72, kRowHeight});
    SpeedButton7 = placeNamed(new QToolButton(this), "SpeedButton7", {316, 33, 24, kRowHeight});
    SpeedButton7->setText(QStringLiteral("..."));
    connect(SpeedButton7, &QToolButton::clicked, this, &TConfigDlg::SpeedButton7Click);

    CheckBoxSottocartelle = placeNamed(new QCheckBox(QStringLiteral("Crea Sottocartelle Periodo"), this),
                                  "CheckBoxSottocartelle", {6, 60, 186, 18});
    CheckBoxEstensionetxt = placeNamed(new QCheckBox(QStringLiteral("Aggiungi estensione txt ai file"), this),
                                  "CheckBoxEstensionetxt", {6, 80, 186, 18});

    // The two sections edited by dialogs of their own.
    SpeedButton1 = placeNamed(new QToolButton(this), "SpeedButton1", {200, 58, 140, 23});
    SpeedButton1->setText(QStringLiteral("File su cui operare"));
    SpeedButton1->setToolTip(QStringLiteral("Imposta database per sezionale"));
    connect(SpeedButton1, &QToolButton::clicked, this, &TConfigDlg::SpeedButton1Click);
    SpeedButton2 = placeNamed(new QToolButton(this), "SpeedButton2", {316, 84, 24, kRowHeight});
    SpeedButton2->setText(QStringLiteral("..."));
    makeLabel(this, QStringLiteral("Sezionali"), SpeedButton2, {200, 84, 112, kRowHeight});
    connect(SpeedButton2, &QToolButton::clicked, this, &TConfigDlg::SpeedButton2Click);

    // Activity, register and VAT rate.
    const int codesTop = 108;
    ComboAttivita = placeNamed(editableCombo(this, {"0", "1", "2", "3", "4", "5", "6", "7", "8"}), "ComboAttivita",
                          {48, codesTop, 52, kRowHeight});
    makeLabel(this, QStringLiteral("Attività"), ComboAttivita, {6, codesTop, 42, kRowHeight});
    ComboRegistro = placeNamed(editableCombo(this, {"A", "E", "F"}), "ComboRegistro", {160, codesTop, 52, kRowHeight});
    makeLabel(this, QStringLiteral("Registro"), ComboRegistro, {112, codesTop, 48, kRowHeight});
    EditIVA = placeNamed(new LimitedLineEdit(2, true, this), "EditIVA", {292, codesTop, 48, kRowHeight});
    makeLabel(this, QStringLiteral("Aliq. Iva"), EditIVA, {246, codesTop, 46, kRowHeight});

    // Fee codes on the left, stamp-duty codes on the right, line by line.
    const int leftLabel = 6, leftEdit = 106, rightLabel = 160, rightEdit = 292, editWidth = 48, pitch = 24;
    int y = codesTop + 26;
    auto codeLine = [&](QLineEdit *fee, const char *feeName, const QString &feeLabel, QLineEdit *bollo,
                        const char *bolloName, const QString &bolloLabel) {
        placeNamed(fee, feeName, {leftEdit, y, editWidth, kRowHeight});
        makeLabel(this, feeLabel, fee, {leftLabel, y, leftEdit - leftLabel - 2, kRowHeight});
        placeNamed(bollo, bolloName, {rightEdit, y, editWidth, kRowHeight});
        makeLabel(this, bolloLabel, bollo, {rightLabel, y, rightEdit - rightLabel - 2, kRowHeight});
        y += pitch;
    };
    codeLine(EditInapplicabilita = new LimitedLineEdit(2, false, this), "EditInapplicabilita",
             QStringLiteral("Tit. Inapplicabilità"), EditInapplicabilitaBollo = new LimitedLineEdit(2, false, this),
             "EditInapplicabilitaBollo", QStringLiteral("Tit. Inapplicabilità Bollo"));
    codeLine(EditVoceIva = new QLineEdit(this), "EditVoceIva", QStringLiteral("Voce Iva"),
             EditVoceIvaBollo = new QLineEdit(this), "EditVoceIvaBollo", QStringLiteral("Voce Iva Bollo"));
    codeLine(EditSettore = new LimitedLineEdit(3, true, this), "EditSettore", QStringLiteral("Settore"),
             EditSettoreBollo = new LimitedLineEdit(3, true, this), "EditSettoreBollo", QStringLiteral("Settore Bollo"));
    codeLine(EditCD = new LimitedLineEdit(6, true, this), "EditCD", QStringLiteral("Conto Dare"),
             EditCDBollo = new LimitedLineEdit(6, true, this), "EditCDBollo", QStringLiteral("C. Dare Bollo"));
    codeLine(EditCA = new LimitedLineEdit(6, true, this), "EditCA", QStringLiteral("Conto Avere"),
             EditCABollo = new LimitedLineEdit(6, true, this), "EditCABollo", QStringLiteral("C. Avere Bollo"));

    CancelBtn = placeNamed(new QPushButton(QStringLiteral("Cancel"), this), "CancelBtn", {184, 260, 75, 25});
    CancelBtn->setAutoDefault(false);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    OKBtn = placeNamed(new QPushButton(QStringLiteral("OK"), this), "OKBtn", {265, 260, 75, 25});
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

    // The control of each [Generale] key.
    m_controls = {{"PeriodoSalvataggio", ComboBoxPeriodo},
                  {"CartellaSalvataggio", EditFolder},
                  {"CreaSottocartelle", CheckBoxSottocartelle},
                  {"EstensioneTXT", CheckBoxEstensionetxt},
                  {"Attivita", ComboAttivita},
                  {"Registro", ComboRegistro},
                  {"Settore", EditSettore},
                  {"ContoDare", EditCD},
                  {"ContoAvere", EditCA},
                  {"SettoreBollo", EditSettoreBollo},
                  {"ContoDareBollo", EditCDBollo},
                  {"ContoAvereBollo", EditCABollo},
                  {"IVA", EditIVA},
                  {"Inapplicabilita", EditInapplicabilita},
                  {"VoceIva", EditVoceIva},
                  {"InapplicabilitaBollo", EditInapplicabilitaBollo},
                  {"VoceIvaBollo", EditVoceIvaBollo}};
}

QWidget *TConfigDlg::controlOf(const GeneraleKey &key) const
{
    QWidget *control = m_controls.value(QLatin1String(key.name));
    Q_ASSERT(control);
    return control;
}

void TConfigDlg::showEvent(QShowEvent *event)
{
    CenteredDialog::showEvent(event);
    if (event->spontaneous())
        return;
    mostraconfig();
}

void TConfigDlg::mostraconfig()
{
    if (!Config)
        return;
    for (const GeneraleKey &key : generaleKeys()) {
        QWidget *control = controlOf(key);
        const QVariant value = Config->value(key);
        if (auto *combo = qobject_cast<QComboBox *>(control)) {
            if (key.kind == GeneraleKey::Number) {
                const int index = value.toInt();
                combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
            } else {
                showEditText(combo, value.toString());
            }
        } else if (auto *box = qobject_cast<QCheckBox *>(control)) {
            box->setChecked(value.toBool());
        } else if (auto *edit = qobject_cast<QLineEdit *>(control)) {
            edit->setText(value.toString());
        }
    }
}

void TConfigDlg::applicaconfig()
{
    if (!Config)
        return;
    // In table order, so the folder comes before the flag: each recomputes
    // the export folder only when its value changes.
    for (const GeneraleKey &key : generaleKeys()) {
        QWidget *control = controlOf(key);
        if (auto *combo = qobject_cast<QComboBox *>(control)) {
            Config->setValue(key, key.kind == GeneraleKey::Number ? QVariant(combo->currentIndex())
                                                                  : QVariant(combo->currentText()));
        } else if (auto *box = qobject_cast<QCheckBox *>(control)) {
            Config->setValue(key, box->isChecked());
        } else if (auto *edit = qobject_cast<QLineEdit *>(control)) {
            Config->setValue(key, edit->text());
        }
    }
}

bool TConfigDlg::FormCloseQuery()
{
    return guarded([this] {
        applicaconfig();
        if (Config)
            Config->salvaconfig();
    });
}

void TConfigDlg::done(int result)
{
    if (result == QDialog::Accepted && !FormCloseQuery())
        return;
    QDialog::done(result);
}

void TConfigDlg::SpeedButton7Click()
{
    guarded([this] {
        if (const std::optional<QString> folder = Prompter::current().chooseFolder(EditFolder->text()))
            EditFolder->setText(*folder);
    });
}

void TConfigDlg::SpeedButton1Click()
{
    guarded([this] {
        if (databaseListAction)
            databaseListAction();
    });
}

void TConfigDlg::SpeedButton2Click()
{
    guarded([this] {
        if (associationAction)
            associationAction();
    });
}
