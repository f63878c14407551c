#include "dialogs/TOpenDatabaseDlg.h"

#include "settings/ConnectionString.h"
#include "dialogs/DialogPlacement.h"
#include "platform/ErrorReport.h"
#include "platform/HostLookup.h"
#include "platform/ProgramFolder.h"
#include "platform/Prompter.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
const QString filtroDatabase = QStringLiteral(
    "Tutti i file|*.fdb;*.gdb|File Interbase (*.gdb)|*.gdb|File Firebird (*.fdb)|*.fdb");

QPushButton *pulsanteStretto(const QString &testo, const QString &suggerimento, QWidget *padre)
{
    auto *pulsante = new QPushButton(testo, padre);
    pulsante->setToolTip(suggerimento);
    pulsante->setAutoDefault(false);
    pulsante->setFixedWidth(28);
    return pulsante;
}
} // namespace

TOpenDatabaseDlg::TOpenDatabaseDlg(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Database"));

    auto *cornice = new QFrame(this);
    cornice->setFrameShape(QFrame::StyledPanel);

    EditHost = new QLineEdit(cornice);
    EditHost->setFixedWidth(150);
    ButtonIp = pulsanteStretto(QStringLiteral("IP"), QStringLiteral("Ricava indirizo IP"), cornice);
    Button1 = pulsanteStretto(QStringLiteral("N"), QStringLiteral("Ricava nome computer"), cornice);

    EditFile = new QLineEdit(cornice);
    EditFile->setFixedWidth(450);
    SpeedButton1 = new QToolButton(cornice);
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    SpeedButton1->setToolTip(QStringLiteral("Seleziona il database da aprire"));

    auto *rigaHost = new QHBoxLayout;
    rigaHost->addWidget(EditHost);
    rigaHost->addWidget(ButtonIp);
    rigaHost->addWidget(Button1);
    rigaHost->addStretch();

    auto *rigaFile = new QHBoxLayout;
    rigaFile->setSpacing(0);
    rigaFile->addWidget(EditFile);
    rigaFile->addWidget(SpeedButton1);
    rigaFile->addStretch();

    auto *interno = new QVBoxLayout(cornice);
    interno->addWidget(new QLabel(QStringLiteral("Host remoto"), cornice));
    interno->addLayout(rigaHost);
    interno->addSpacing(6);
    interno->addWidget(new QLabel(QStringLiteral("File Database"), cornice));
    interno->addLayout(rigaFile);

    OKBtn = new QPushButton(QStringLiteral("&OK"), this);
    CancelBtn = new QPushButton(QStringLiteral("&Annulla"), this);
    OKBtn->setDefault(true);
    CancelBtn->setAutoDefault(false);

    auto *pulsanti = new QHBoxLayout;
    pulsanti->addStretch();
    pulsanti->addWidget(OKBtn);
    pulsanti->addWidget(CancelBtn);

    auto *principale = new QVBoxLayout(this);
    principale->addWidget(cornice);
    principale->addLayout(pulsanti);
    principale->setSizeConstraint(QLayout::SetFixedSize);

    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { guarded([this] { SpeedButton1Click(); }); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(ButtonIp, &QPushButton::clicked, this, [this] { ButtonIpClick(); });

    // The file field has the focus when the dialog opens.
    EditFile->setFocus();
}

void TOpenDatabaseDlg::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    guarded([this] { FormShow(); });
    centraSulloSchermo(this);
}

void TOpenDatabaseDlg::FormShow()
{
    const QString file = EditFile->text();
    if (!EditHost->text().isEmpty() || file.isEmpty() || file.contains(QLatin1Char('\\'))
        || file.contains(QLatin1Char('/')))
        return;
    EditFile->setText(programFolder() + QStringLiteral("database") + pathSeparator() + file);
}

void TOpenDatabaseDlg::SpeedButton1Click()
{
    const std::optional<QString> scelto = Prompter::current().chooseOpenFile(filtroDatabase, QStringLiteral("fdb"));
    if (!scelto)
        return;
    const FileScelto diviso = separahost(*scelto);
    EditFile->setText(diviso.file);
    if (diviso.host)
        EditHost->setText(*diviso.host);
}

// "N" and "IP" report nothing: whatever fails leaves the host field as it was.
void TOpenDatabaseDlg::Button1Click()
{
    try {
        EditHost->setText(nomecomputer());
    } catch (...) {
    }
}

void TOpenDatabaseDlg::ButtonIpClick()
{
    try {
        EditHost->setText(indirizzoip(QString()));
    } catch (...) {
    }
}
