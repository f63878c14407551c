#include "app/ProgramWiring.h"

#include "app/TFormMain.h"
#include "data/TDataModule1.h"
#include "dialogs/AssociationAction.h"
#include "dialogs/DatabaseListAction.h"
#include "dialogs/TDlgOpenFile.h"
#include "dialogs/TRecordDlg.h"
#include "dialogs/TConfigDlg.h"

void connectActions(TFormMain &formMain, TDataModule1 &dataModule)
{
    formMain.prepareConfigDlg = [&dataModule](TConfigDlg &dialog) {
        dialog.databaseListAction = [&dialog] { runDatabaseListDialog(&dialog); };
        dialog.associationAction = [&dialog, &dataModule] { runAssociationDialog(&dialog, dataModule); };
    };
}

struct HiddenStartupDialogs::Dialogs
{
    TDlgOpenFile DlgOpenFile;
    TRecordDlg RecordDlg;
};

HiddenStartupDialogs::HiddenStartupDialogs() : m_dialogs(new Dialogs) {}

HiddenStartupDialogs::~HiddenStartupDialogs()
{
    delete m_dialogs;
}
