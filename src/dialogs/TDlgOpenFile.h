#pragma once

#include "settings/ConnectionString.h"

#include "dialogs/CenteredDialog.h"
#include <QList>

class DatabaseListModel;
class QPushButton;
class QTableView;
class QToolButton;

// The list of patient databases, one row {Host, File} each. The caller
// appends the rows, shows the dialog modally and reads the rows after OK.
// The add button asks for a row with TOpenDatabaseDlg; the remove button
// (or Ctrl+Delete in the grid, after "Delete record?") drops the current row.
class TDlgOpenFile : public CenteredDialog
{
    Q_OBJECT

public:
    explicit TDlgOpenFile(QWidget *parent = nullptr);

    QTableView *DBGrid1;
    QToolButton *SpeedButton1; // add
    QToolButton *SpeedButton2; // remove
    QPushButton *CancelBtn;
    QPushButton *OKBtn;

    // Appends a row, unchanged, and makes it the current one.
    void appendRow(const ConnectionParts &row);
    const QList<ConnectionParts> &rows() const;
    // Index of the current row, -1 when the list is empty.
    int currentRow() const;

    void SpeedButton1Click();
    // Raises "Cannot perform this operation on an empty dataset" when empty.
    void SpeedButton2Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void makeCurrent(int row);

    DatabaseListModel *m_rows;
};
