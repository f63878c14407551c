#include "dialogs/TOpenDatabaseDlg.h"

#include "settings/ConnectionString.h"
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
const QString kDatabaseFilter = QStringLiteral(
    "Tutti i file|*.fdb;*.gdb|File Interbase (*.gdb)|*.gdb|File Firebird (*.fdb)|*.fdb");

QPushButton *narrowButton(const QString &text, const QString &tip, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setToolTip(tip);
    button->setAutoDefault(false);
    button->setFixedWidth(28);
    return button;
}
} // namespace

TOpenDatabaseDlg::TOpenDatabaseDlg(QWidget *parent)
    : CenteredDialog(parent)
{
    setWindowTitle(QStringLiteral("Database"));

    auto *frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);

    EditHost = new QLineEdit(frame);
    EditHost->setFixedWidth(150);
    ButtonIp = narrowButton(QStringLiteral("IP"), QStringLiteral("Ricava indirizo IP"), frame);
    Button1 = narrowButton(QStringLiteral("N"), QStringLiteral("Ricava nome computer"), frame);

    EditFile = new QLineEdit(frame);
    EditFile->setFixedWidth(450);
    SpeedButton1 = new QToolButton(frame);
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    SpeedButton1->setToolTip(QStringLiteral("Seleziona il database da aprire"));

    auto *hostRow = new QHBoxLayout;
    hostRow->addWidget(EditHost);
    hostRow->addWidget(ButtonIp);
    hostRow->addWidget(Button1);
    hostRow->addStretch();

    auto *fileRow = new QHBoxLayout;
    fileRow->setSpacing(0);
    fileRow->addWidget(EditFile);
    fileRow->addWidget(SpeedButton1);
    fileRow->addStretch();

    auto *inner = new QVBoxLayout(frame);
    inner->addWidget(new QLabel(QStringLiteral("Host remoto"), frame));
    inner->addLayout(hostRow);
    inner->addSpacing(6);
    inner->addWidget(new QLabel(QStringLiteral("File Database"), frame));
    inner->addLayout(fileRow);

    OKBtn = new QPushButton(QStringLiteral("&OK"), this);
    CancelBtn = new QPushButton(QStringLiteral("&Annulla"), this);
    OKBtn->setDefault(true);
    CancelBtn->setAutoDefault(false);

    auto *buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(OKBtn);
    buttonRow->addWidget(CancelBtn);

    auto *outer = new QVBoxLayout(this);
    outer->addWidget(frame);
    outer->addLayout(buttonRow);
    outer->setSizeConstraint(QLayout::SetFixedSize);

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
    CenteredDialog::showEvent(event);
    guarded([this] { FormShow(); });
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
    const std::optional<QString> chosen = Prompter::current().chooseOpenFile(kDatabaseFilter, QStringLiteral("fdb"));
    if (!chosen)
        return;
    const ChosenFile parts = separahost(*chosen);
    EditFile->setText(parts.file);
    if (parts.host)
        EditHost->setText(*parts.host);
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
