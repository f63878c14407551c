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
    ProfileFile settings(settingsFilePath());

    TDlgOpenFile dialog(parent);
    for (const QString &value : settings.sectionValues(kFileSection))
        dialog.appendRow(analizzaconnessione(value));

    if (dialog.exec() != QDialog::Accepted)
        return;

    // The list is written in one replacement of the file, so a failed write
    // leaves the old list whole.
    QList<std::pair<QString, QString>> entries;
    int key = 1;
    for (const ConnectionParts &row : dialog.rows())
        entries.append({QString::number(key++), confirmedText(row)});
    settings.replaceSection(kFileSection, entries);
}
