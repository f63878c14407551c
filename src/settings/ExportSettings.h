#pragma once

#include <QString>

// What the export takes from the settings: the accounting codes exactly as
// the settings hold them, the extension flag and the export folder.
struct ExportSettings
{
    QString attivita, registro, iva, inapplicabilita, voceIva, settore, contoDare, contoAvere;
    QString inapplicabilitaBollo, voceIvaBollo, settoreBollo, contoDareBollo, contoAvereBollo;
    bool estensioneTXT = false;
    QString cartellaEsportazione; // ends with the separator once a rule set it
};
