#include "dialogs/AssociationAction.h"

#include "data/TDataModule1.h"
#include "dialogs/TDlgSezionale.h"

void runAssociationDialog(QWidget *parent, TDataModule1 &dm)
{
    {
        TDlgSezionale dialog(dm.MTableAssIntest, parent);
        if (dialog.exec() == QDialog::Accepted) {
            dialog.postPendingEdit();
            dm.Riscriviintestazioni();
        }
    }
    dm.leggiintestazioni();
}
