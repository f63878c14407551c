#include "dialogs/DatabaseListAction.h"

#include "settings/ConnectionString.h"
#include "dialogs/TDlgOpenFile.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"

namespace {
const QString sezioneFile = QStringLiteral("File");
} // namespace

void eseguiElencoDatabase(QWidget *parent)
{
    ProfileFile impostazioni(settingsFilePath());

    TDlgOpenFile elenco(parent);
    for (const QString &valore : impostazioni.sectionValues(sezioneFile))
        elenco.aggiungiRiga(analizzaconnessione(valore));

    if (elenco.exec() != QDialog::Accepted)
        return;

    // The list is written in one replacement of the file, so a failed write
    // leaves the old list whole.
    QList<std::pair<QString, QString>> voci;
    int chiave = 1;
    for (const Connessione &riga : elenco.righe())
        voci.append({QString::number(chiave++), testoConfermato(riga)});
    impostazioni.replaceSection(sezioneFile, voci);
}
