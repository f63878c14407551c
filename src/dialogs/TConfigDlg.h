#pragma once

#include "dialogs/LimitedLineEdit.h"

#include "dialogs/CenteredDialog.h"

#include <QHash>
#include <QString>

#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QToolButton;
class TConfigurazione;
struct GeneraleKey;

// The settings dialog: edits the [Generale] values of the settings object in
// place. Showing it puts the settings into the controls; closing it with OK
// puts the controls into the settings and saves [Generale]. A failed save is
// reported and keeps the dialog open; Cancel changes nothing.
class TConfigDlg : public CenteredDialog
{
    Q_OBJECT

public:
    explicit TConfigDlg(QWidget *parent = nullptr);

    // The settings to edit; set by the caller before showing the dialog.
    TConfigurazione *Config = nullptr;

    // What the two buttons that edit other sections start: the database list
    // ("File su cui operare") and the association of headings with sezionali
    // ("..." beside "Sezionali"). They write the settings file on their own,
    // whatever this dialog's result. Errors they raise are reported.
    std::function<void()> databaseListAction;
    std::function<void()> associationAction;

    // Settings into controls.
    void mostraconfig();
    // Controls into settings (without the save).
    void applicaconfig();

    void done(int result) override;

    QComboBox *ComboBoxPeriodo = nullptr;
    QLineEdit *EditFolder = nullptr;
    QToolButton *SpeedButton7 = nullptr;
    QCheckBox *CheckBoxSottocartelle = nullptr;
    QCheckBox *CheckBoxEstensionetxt = nullptr;
    QToolButton *SpeedButton1 = nullptr;
    QComboBox *ComboAttivita = nullptr;
    QComboBox *ComboRegistro = nullptr;
    QToolButton *SpeedButton2 = nullptr;
    LimitedLineEdit *EditIVA = nullptr;
    LimitedLineEdit *EditInapplicabilita = nullptr;
    QLineEdit *EditVoceIva = nullptr;
    LimitedLineEdit *EditSettore = nullptr;
    LimitedLineEdit *EditCD = nullptr;
    LimitedLineEdit *EditCA = nullptr;
    LimitedLineEdit *EditInapplicabilitaBollo = nullptr;
    QLineEdit *EditVoceIvaBollo = nullptr;
    LimitedLineEdit *EditSettoreBollo = nullptr;
    LimitedLineEdit *EditCDBollo = nullptr;
    LimitedLineEdit *EditCABollo = nullptr;
    QPushButton *CancelBtn = nullptr;
    QPushButton *OKBtn = nullptr;

protected:
    // FormShow.
    void showEvent(QShowEvent *event) override;

private:
    // Applies and saves on the way out with OK; false keeps the dialog open.
    bool FormCloseQuery();
    void SpeedButton7Click();
    void SpeedButton1Click();
    void SpeedButton2Click();

    QWidget *controlOf(const GeneraleKey &key) const;

    // The control that shows and edits each [Generale] key, by the key's name.
    QHash<QString, QWidget *> m_controls;
};
