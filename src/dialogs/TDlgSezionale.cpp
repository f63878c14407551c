#include "dialogs/TDlgSezionale.h"

#include "models/AssociationModel.h"
#include "platform/Prompter.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPersistentModelIndex>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <QTableView>

namespace {

// Cell editor that stops typing at the field's size.
class FieldSizeDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const override
    {
        auto *editor = new QLineEdit(parent);
        editor->setFrame(false);
        const int size = AssociationTable::fieldSize(index.column());
        if (size > 0)
            editor->setMaxLength(size);
        return editor;
    }
};

// The grid of the association table, with the keys of a data grid: Insert
// inserts a row before the current one, Down on the last row appends one,
// Ctrl+Delete deletes the current row once confirmed, Escape undoes the
// typing in the open cell editor, then the changes made to the current row
// since the grid entered it; only an Escape with nothing left to undo goes
// on to the dialog, which closes as Cancel. The grid's current row is the
// table's current row.
class AssociationGrid : public QTableView
{
public:
    AssociationGrid(AssociationTable &table, QWidget *parent)
        : QTableView(parent), m_model(new AssociationModel(table, this)), m_table(table)
    {
        setModel(m_model);
        setItemDelegate(new FieldSizeDelegate(this));
        setSelectionMode(QAbstractItemView::SingleSelection);
        setSelectionBehavior(QAbstractItemView::SelectItems);
        setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked
                        | QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
        verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);

        QHeaderView *header = horizontalHeader();
        header->setSectionsMovable(false);
        header->moveSection(header->visualIndex(AssociationTable::ColDescrizione), 0);
        header->moveSection(header->visualIndex(AssociationTable::ColSigla), 1);
        header->moveSection(header->visualIndex(AssociationTable::ColSezionale), 2);
        header->hideSection(AssociationTable::ColIndex);
        // The widths of the Parts, as on every style: a style's own minimum
        // (the Windows style's leaves room for a sort arrow) would widen
        // Sigla. Sezionale takes the rest of the grid's width, so that every
        // column shows at the dialog's size.
        header->setMinimumSectionSize(27);
        setColumnWidth(AssociationTable::ColDescrizione, 205);
        setColumnWidth(AssociationTable::ColSigla, 27);
        header->setSectionResizeMode(AssociationTable::ColSezionale, QHeaderView::Stretch);

        connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                [this](const QModelIndex &current) {
                    if (current.isValid())
                        m_table.setCurrentRow(current.row());
                    keepRowCopy();
                });
        // Rows inserted, removed or reloaded: the copy follows the current row.
        connect(m_model, &QAbstractItemModel::rowsInserted, this, &AssociationGrid::keepRowCopy);
        connect(m_model, &QAbstractItemModel::rowsRemoved, this, &AssociationGrid::keepRowCopy);
        connect(m_model, &QAbstractItemModel::modelReset, this, &AssociationGrid::keepRowCopy);
        connect(&table, &AssociationTable::currentRowChanged, this, [this](int row) { moveToRow(row); });
        connect(m_model, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
                    if (m_freshRow.isValid() && m_freshRow.row() >= topLeft.row()
                        && m_freshRow.row() <= bottomRight.row())
                        m_freshRow = QPersistentModelIndex();
                });
    }

    // Puts the grid on a row, keeping the column the user is in.
    void moveToRow(int row)
    {
        if (row < 0 || row >= m_table.size() || currentIndex().row() == row)
            return;
        const int column = currentIndex().isValid() ? currentIndex().column() : int(AssociationTable::ColDescrizione);
        setCurrentIndex(m_model->index(row, column));
    }

    void commitOpenEditor()
    {
        if (QWidget *editor = indexWidget(currentIndex())) {
            commitData(editor);
            closeEditor(editor, QAbstractItemDelegate::NoHint);
        }
    }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
        if (event->key() == Qt::Key_Insert && modifiers == Qt::NoModifier) {
            insertRowAt(m_table.hasCurrent() ? currentIndex().row() : 0);
            return;
        }
        if (event->key() == Qt::Key_Down && modifiers == Qt::NoModifier
            && (m_table.isEmpty() || currentIndex().row() == m_table.size() - 1)) {
            commitOpenEditor();
            // A row just added and left untouched gets no second one after it.
            if (!(m_freshRow.isValid() && m_freshRow.row() == m_table.size() - 1))
                insertRowAt(m_table.size());
            return;
        }
        if (event->key() == Qt::Key_Escape && modifiers == Qt::NoModifier && undoRowChanges()) {
            event->accept();
            return;
        }
        if (event->key() == Qt::Key_Delete && modifiers == Qt::ControlModifier) {
            const int row = currentIndex().row();
            if (row >= 0 && Prompter::current().confirmOkCancel(QStringLiteral("Delete record?")))
                m_table.removeRow(row);
            return;
        }
        QTableView::keyPressEvent(event);
    }

private:
    // The current row as the grid entered it: what a second Escape gives back.
    void keepRowCopy()
    {
        m_copyRow = currentIndex().row();
        if (m_copyRow >= 0 && m_copyRow < m_table.size())
            m_rowCopy = m_table.row(m_copyRow);
        else
            m_copyRow = -1;
    }

    // Gives the current row back its fields as the grid entered it; false
    // when nothing of it has changed.
    bool undoRowChanges()
    {
        const int row = currentIndex().row();
        if (row < 0 || row != m_copyRow || row >= m_table.size())
            return false;
        const AssociationTable::Row &now = m_table.row(row);
        if (now.index == m_rowCopy.index && now.Sigla == m_rowCopy.Sigla
            && now.Descrizione == m_rowCopy.Descrizione && now.Sezionale == m_rowCopy.Sezionale)
            return false;
        m_table.restoreRow(row, m_rowCopy);
        return true;
    }

    void insertRowAt(int row)
    {
        commitOpenEditor();
        m_table.insertEmptyRow(row);
        m_freshRow = m_model->index(row, AssociationTable::ColSigla);
        moveToRow(row);
    }

    AssociationModel *m_model;
    AssociationTable &m_table;
    QPersistentModelIndex m_freshRow;
    int m_copyRow = -1;
    AssociationTable::Row m_rowCopy;
};

} // namespace

TDlgSezionale::TDlgSezionale(AssociationTable &table, QWidget *parent) : CenteredDialog(parent), m_table(table)
{
    setObjectName(QStringLiteral("DlgSezionale"));
    setWindowTitle(QStringLiteral("Associazione Sezionali"));
    setFixedSize(312, 179);

    DBGrid1 = new AssociationGrid(table, this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setGeometry(5, 5, 302, 136);

    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(150, 148, 75, 25);
    CancelBtn->setAutoDefault(false);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(232, 148, 75, 25);
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

    if (table.hasCurrent())
        static_cast<AssociationGrid *>(DBGrid1)->moveToRow(table.currentRow());
    else if (!table.isEmpty())
        DBGrid1->setCurrentIndex(DBGrid1->model()->index(0, AssociationTable::ColDescrizione));
    DBGrid1->setFocus();
}

void TDlgSezionale::postPendingEdit()
{
    static_cast<AssociationGrid *>(DBGrid1)->commitOpenEditor();
}

void TDlgSezionale::done(int result)
{
    if (result == QDialog::Accepted)
        postPendingEdit();
    QDialog::done(result);
}

void TDlgSezionale::showEvent(QShowEvent *event)
{
    CenteredDialog::showEvent(event);
    if (event->spontaneous())
        return;
    DBGrid1->scrollTo(DBGrid1->currentIndex());
}
