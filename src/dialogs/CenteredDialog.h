#pragma once

#include <QDialog>

// A dialog that stands in the middle of the screen it is shown on. The
// program's dialogs derive from it; one that does more when shown overrides
// showEvent() and calls this one first.
class CenteredDialog : public QDialog
{
    Q_OBJECT

public:
    using QDialog::QDialog;

protected:
    void showEvent(QShowEvent *event) override;
};
