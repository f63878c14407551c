#include "dialogs/DatabaseListAction.h"

#include "data/ConnectionString.h"
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

    impostazioni.eraseSection(sezioneFile);
    int chiave = 1;
    for (const Connessione &riga : elenco.righe())
        impostazioni.writeString(sezioneFile, QString::number(chiave++), testoConfermato(riga));
}
