#include "dialogs/TRecordDlg.h"

#include "platform/ErrorReport.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TRecordDlg::TRecordDlg(QWidget *parent)
    : CenteredDialog(parent)
{
    setWindowTitle(QStringLiteral("Gestione Record"));

    LabelName = new QLabel(QStringLiteral("LabelName"), this);
    EditName = new QLineEdit(this);
    LabelValue = new QLabel(QStringLiteral("LabelValue"), this);
    EditValue = new QLineEdit(this);
    EditName->setMinimumWidth(220);
    EditValue->setMinimumWidth(220);

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    auto *fields = new QGridLayout;
    fields->addWidget(LabelName, 0, 0);
    fields->addWidget(EditName, 0, 1);
    fields->addWidget(LabelValue, 1, 0);
    fields->addWidget(EditValue, 1, 1);

    auto *buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(OKBtn);
    buttonRow->addWidget(CancelBtn);
    buttonRow->addStretch();

    auto *outer = new QVBoxLayout(this);
    outer->addLayout(fields);
    outer->addSpacing(8);
    outer->addLayout(buttonRow);
    outer->setSizeConstraint(QLayout::SetFixedSize);
}

void TRecordDlg::done(int result)
{
    guarded([&] { FormCloseQuery(result); });
    QDialog::done(result);
}

void TRecordDlg::FormCloseQuery(int result)
{
    if (result != QDialog::Accepted || !ListBox)
        return;
    const QString row = EditName->text() + QLatin1Char('=') + EditValue->text();
    if (TipoAzione == QLatin1String("A")) {
        ListBox->addItem(row);
    } else if (TipoAzione == QLatin1String("M")) {
        if (QListWidgetItem *choice = ListBox->item(ListBox->currentRow()))
            choice->setText(row);
    }
}
