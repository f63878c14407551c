#pragma once

#include "dialogs/CenteredDialog.h"

class QLineEdit;
class QPushButton;
class QToolButton;

// Names one patient database as a host and a file. The caller may fill
// EditHost and EditFile before showing it and reads them after OK; the
// dialog checks nothing and stores nothing.
class TOpenDatabaseDlg : public CenteredDialog
{
    Q_OBJECT

public:
    explicit TOpenDatabaseDlg(QWidget *parent = nullptr);

    QLineEdit *EditHost;
    QPushButton *ButtonIp;     // "IP": this computer's address
    QPushButton *Button1;      // "N": this computer's name
    QLineEdit *EditFile;
    QToolButton *SpeedButton1; // browse for the file
    QPushButton *OKBtn;
    QPushButton *CancelBtn;

    // Completes a bare file name with the program's "database" folder.
    void FormShow();
    void SpeedButton1Click();
    void Button1Click();
    void ButtonIpClick();

protected:
    void showEvent(QShowEvent *event) override;
};
