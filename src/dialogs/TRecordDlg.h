#pragma once

#include "dialogs/CenteredDialog.h"
#include <QString>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// Edits one name=value line of a caller's list box. The caller sets
// ListBox and TipoAzione (and, if it likes, the captions of the labels),
// fills the two fields, and shows the dialog modally. On OK, "A" adds the
// line name=value and "M" replaces the selected line in place; any other
// code does nothing. Cancel, or closing the window, changes nothing.
class TRecordDlg : public CenteredDialog
{
    Q_OBJECT

public:
    explicit TRecordDlg(QWidget *parent = nullptr);

    QListWidget *ListBox = nullptr; // not owned
    QString TipoAzione;

    QLabel *LabelName;
    QLineEdit *EditName;
    QLabel *LabelValue;
    QLineEdit *EditValue;
    QPushButton *OKBtn;
    QPushButton *CancelBtn;

    void done(int result) override;

private:
    void FormCloseQuery(int result);
};
