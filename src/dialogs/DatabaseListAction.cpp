#include "dialogs/DatabaseListAction.h"

#include "settings/ConnectionString.h"
#include "dialogs/TDlgOpenFile.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"

namespace {
const QString kFileSection = QStringLiteral("File");
} // namespace

void runDatabaseListDialog(QWidget *parent)
{
    ProfileFile impostazioni(settingsFilePath());

    TDlgOpenFile dialog(parent);
    for (const QString &value : impostazioni.sectionValues(kFileSection))
        dialog.appendRow(analizzaconnessione(value));

    if (dialog.exec() != QDialog::Accepted)
        return;

    // The list is written in one replacement of the file, so a failed write
    // leaves the old list whole.
    QList<std::pair<QString, QString>> voci;
    int chiave = 1;
    for (const ConnectionParts &row : dialog.rows())
        voci.append({QString::number(chiave++), confirmedText(row)});
    impostazioni.replaceSection(kFileSection, voci);
}
