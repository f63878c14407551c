#include "dialogs/TDlgOpenFile.h"

#include "models/DatabaseListModel.h"
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
QToolButton *iconButton(QStyle::StandardPixmap pixmap, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setIcon(parent->style()->standardIcon(pixmap));
    button->setAutoRaise(true);
    return button;
}
} // namespace

TDlgOpenFile::TDlgOpenFile(QWidget *parent)
    : CenteredDialog(parent)
    , m_rows(new DatabaseListModel(this))
{
    setWindowTitle(QStringLiteral("Elenco File"));

    DBGrid1 = new QTableView(this);
    DBGrid1->setModel(m_rows);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->verticalHeader()->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 6);
    DBGrid1->setColumnWidth(DatabaseListModel::ColHost, 140);
    DBGrid1->setColumnWidth(DatabaseListModel::ColFile, 420);
    DBGrid1->setFixedSize(620, 260);
    DBGrid1->installEventFilter(this);

    SpeedButton1 = iconButton(QStyle::SP_FileIcon, this);
    SpeedButton2 = iconButton(QStyle::SP_DialogCancelButton, this);

    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setDefault(true);
    CancelBtn->setAutoDefault(false);

    auto *icon = new QVBoxLayout;
    icon->addWidget(SpeedButton1);
    icon->addWidget(SpeedButton2);
    icon->addStretch();

    auto *gridRow = new QHBoxLayout;
    gridRow->addWidget(DBGrid1);
    gridRow->addLayout(icon);

    auto *buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(CancelBtn);
    buttonRow->addWidget(OKBtn);

    auto *outer = new QVBoxLayout(this);
    outer->addLayout(gridRow);
    outer->addLayout(buttonRow);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { guarded([this] { SpeedButton1Click(); }); });
    connect(SpeedButton2, &QToolButton::clicked, this, [this] { guarded([this] { SpeedButton2Click(); }); });
}

void TDlgOpenFile::appendRow(const ConnectionParts &row)
{
    m_rows->appendRow(row);
    makeCurrent(m_rows->rowCount() - 1);
}

const QList<ConnectionParts> &TDlgOpenFile::rows() const
{
    return m_rows->rows();
}

int TDlgOpenFile::currentRow() const
{
    if (m_rows->rowCount() == 0)
        return -1;
    const QModelIndex current = DBGrid1->currentIndex();
    return current.isValid() ? current.row() : 0;
}

void TDlgOpenFile::makeCurrent(int row)
{
    if (row < 0 || row >= m_rows->rowCount())
        return;
    const int column = std::max(DBGrid1->currentIndex().column(), 0);
    DBGrid1->setCurrentIndex(m_rows->index(row, column));
}

void TDlgOpenFile::SpeedButton1Click()
{
    TOpenDatabaseDlg position(this);
    if (position.exec() != QDialog::Accepted)
        return;
    appendRow({position.EditHost->text(), position.EditFile->text()});
}

void TDlgOpenFile::SpeedButton2Click()
{
    const int row = currentRow();
    m_rows->removeRow(row);
    // The row that followed becomes current, or the new last one.
    makeCurrent(std::min(row, m_rows->rowCount() - 1));
}

bool TDlgOpenFile::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == DBGrid1 && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::ControlModifier) {
            guarded([this] {
                if (m_rows->rowCount() > 0 && Prompter::current().confirmOkCancel(QStringLiteral("Delete record?")))
                    SpeedButton2Click();
            });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
