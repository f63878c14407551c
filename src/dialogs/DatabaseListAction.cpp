#include "dialogs/DatabaseListAction.h"

#include "dialogs/TDlgOpenFile.h"
#include "platform/Prompter.h"
#include "settings/ConnectionString.h"
#include "settings/TConfigurazione.h"

void runDatabaseListDialog(QWidget *parent)
{
    TDlgOpenFile dialog(parent);
    for (const QString &value : databaseList()) {
        const ParsedConnection parsed = analizzaconnessione(value);
        if (parsed.malformed)
            Prompter::current().information(QStringLiteral("Errore"));
        dialog.appendRow(parsed.parts);
    }

    if (dialog.exec() != QDialog::Accepted)
        return;

    QStringList texts;
    for (const ConnectionParts &row : dialog.rows())
        texts.append(confirmedText(row));
    replaceDatabaseList(texts);
}
