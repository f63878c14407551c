#include "app/ProgramWiring.h"

#include "app/TFormMain.h"
#include "data/TDataModule1.h"
#include "dialogs/AssociationAction.h"
#include "dialogs/DatabaseListAction.h"
#include "dialogs/TDlgOpenFile.h"
#include "dialogs/TRecordDlg.h"
#include "dialogs/TConfigDlg.h"

void collegaAzioni(TFormMain &formMain, TDataModule1 &dataModule)
{
    formMain.preparaConfigDlg = [&dataModule](TConfigDlg &dialog) {
        dialog.databaseListAction = [&dialog] { eseguiElencoDatabase(&dialog); };
        dialog.associationAction = [&dialog, &dataModule] { eseguiAssociazione(&dialog, dataModule); };
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
