#pragma once

#include "dialogs/CenteredDialog.h"

class AssociationTable;
class QPushButton;
class QTableView;

// The association dialog: a grid that edits the heading association table in
// place (Descrizione, Sigla, Sezionale; index hidden) and ends with OK or
// Cancel. The caller writes the table back after OK and reloads it in every
// case, so Cancel needs no undo of its own.
class TDlgSezionale : public CenteredDialog
{
    Q_OBJECT

public:
    explicit TDlgSezionale(AssociationTable &table, QWidget *parent = nullptr);

    // Commits a cell editor that is still open into the table, so that OK
    // pressed while typing keeps what was typed.
    void postPendingEdit();

    QTableView *DBGrid1 = nullptr;
    QPushButton *CancelBtn = nullptr;
    QPushButton *OKBtn = nullptr;

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    AssociationTable &m_table;
};
