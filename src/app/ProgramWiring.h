#pragma once

class TFormMain;
class TDataModule1;

// Connects the settings dialog's buttons to the database list and to the
// association dialog.
void connectActions(TFormMain &formMain, TDataModule1 &dataModule);

// The database list dialog and the record dialog, created hidden at start-up
// after the main window and kept until the end.
class HiddenStartupDialogs
{
public:
    HiddenStartupDialogs();
    ~HiddenStartupDialogs();
    HiddenStartupDialogs(const HiddenStartupDialogs &) = delete;
    HiddenStartupDialogs &operator=(const HiddenStartupDialogs &) = delete;

private:
    struct Dialogs;
    Dialogs *m_dialogs;
};
