#include "dialogs/TDlgOpenFile.h"

#include "models/DatabaseListModel.h"
#include "dialogs/DialogPlacement.h"
#include "dialogs/TOpenDatabaseDlg.h"
#include "platform/ErrorReport.h"
#include "platform/Prompter.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {
QToolButton *pulsanteIcona(QStyle::StandardPixmap icona, QWidget *padre)
{
    auto *pulsante = new QToolButton(padre);
    pulsante->setIcon(padre->style()->standardIcon(icona));
    pulsante->setAutoRaise(true);
    return pulsante;
}
} // namespace

TDlgOpenFile::TDlgOpenFile(QWidget *parent)
    : QDialog(parent)
    , m_righe(new DatabaseListModel(this))
{
    setWindowTitle(QStringLiteral("Elenco File"));

    DBGrid1 = new QTableView(this);
    DBGrid1->setModel(m_righe);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->verticalHeader()->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 6);
    DBGrid1->setColumnWidth(DatabaseListModel::ColonnaHost, 140);
    DBGrid1->setColumnWidth(DatabaseListModel::ColonnaFile, 420);
    DBGrid1->setFixedSize(620, 260);
    DBGrid1->installEventFilter(this);

    SpeedButton1 = pulsanteIcona(QStyle::SP_FileIcon, this);
    SpeedButton2 = pulsanteIcona(QStyle::SP_DialogCancelButton, this);

    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setDefault(true);
    CancelBtn->setAutoDefault(false);

    auto *icone = new QVBoxLayout;
    icone->addWidget(SpeedButton1);
    icone->addWidget(SpeedButton2);
    icone->addStretch();

    auto *griglia = new QHBoxLayout;
    griglia->addWidget(DBGrid1);
    griglia->addLayout(icone);

    auto *pulsanti = new QHBoxLayout;
    pulsanti->addStretch();
    pulsanti->addWidget(CancelBtn);
    pulsanti->addWidget(OKBtn);

    auto *principale = new QVBoxLayout(this);
    principale->addLayout(griglia);
    principale->addLayout(pulsanti);
    principale->setSizeConstraint(QLayout::SetFixedSize);

    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { guarded([this] { SpeedButton1Click(); }); });
    connect(SpeedButton2, &QToolButton::clicked, this, [this] { guarded([this] { SpeedButton2Click(); }); });
}

void TDlgOpenFile::aggiungiRiga(const Connessione &riga)
{
    m_righe->aggiungi(riga);
    rendiCorrente(m_righe->rowCount() - 1);
}

const QList<Connessione> &TDlgOpenFile::righe() const
{
    return m_righe->righe();
}

int TDlgOpenFile::rigaCorrente() const
{
    if (m_righe->rowCount() == 0)
        return -1;
    const QModelIndex corrente = DBGrid1->currentIndex();
    return corrente.isValid() ? corrente.row() : 0;
}

void TDlgOpenFile::rendiCorrente(int riga)
{
    if (riga < 0 || riga >= m_righe->rowCount())
        return;
    const int colonna = std::max(DBGrid1->currentIndex().column(), 0);
    DBGrid1->setCurrentIndex(m_righe->index(riga, colonna));
}

void TDlgOpenFile::SpeedButton1Click()
{
    TOpenDatabaseDlg posizione(this);
    if (posizione.exec() != QDialog::Accepted)
        return;
    aggiungiRiga({posizione.EditHost->text(), posizione.EditFile->text()});
}

void TDlgOpenFile::SpeedButton2Click()
{
    const int riga = rigaCorrente();
    m_righe->elimina(riga);
    // The row that followed becomes current, or the new last one.
    rendiCorrente(std::min(riga, m_righe->rowCount() - 1));
}

void TDlgOpenFile::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    centraSulloSchermo(this);
}

bool TDlgOpenFile::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == DBGrid1 && event->type() == QEvent::KeyPress) {
        const auto *tasto = static_cast<QKeyEvent *>(event);
        if (tasto->key() == Qt::Key_Delete && tasto->modifiers() == Qt::ControlModifier) {
            guarded([this] {
                if (m_righe->rowCount() > 0 && Prompter::current().confirmOkCancel(QStringLiteral("Delete record?")))
                    SpeedButton2Click();
            });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
