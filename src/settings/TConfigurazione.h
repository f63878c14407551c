#pragma once

#include "platform/ProfileFile.h"

#include <QString>
#include <QStringList>

// The settings in force during a run, loaded from Tolm.ini when created.
// [Generale] is written back by salvaconfig(); the export folder follows the
// saved folder and the dated-subfolder flag by the rules of the three
// properties below.
class TConfigurazione
{
public:
    TConfigurazione();
    ~TConfigurazione() = default;
    TConfigurazione(const TConfigurazione &) = delete;
    TConfigurazione &operator=(const TConfigurazione &) = delete;

    // Writes the seventeen keys of [Generale]; a failing write ends the save
    // at that key with "Unable to write to ...".
    void salvaconfig();

    QString CartellaSalvataggio() const { return FCartellaSalvataggio; }
    void setCartellaSalvataggio(const QString &folder);
    bool CreaSottocartelle() const { return FCreaSottocartelle; }
    void setCreaSottocartelle(bool create);
    QString CartellaEsportazione() const { return FCartellaEsportazione; }
    void setCartellaEsportazione(const QString &folder);

    // The accessor bound to the settings file.
    ProfileFile &inifile() { return configinif; }

    QString FAttivita;
    QString FRegistro;
    QString FIVA;
    QString FInapplicabilita;
    QString FVoceIva;
    QString FInapplicabilitaBollo;
    QString FVoceIvaBollo;
    QString FSettore;
    QString FContoDare;
    QString FContoAvere;
    QString FSettoreBollo;
    QString FContoDareBollo;
    QString FContoAvereBollo;
    QString FFileConfig;
    qint32 FPeriodoSalvataggio = 0;
    bool FEstensioneTXT = false;
    // [AssSezionale] as lines sigla=sezionale, in file order.
    QStringList listasez;

    // Reloads listasez from [AssSezionale].
    void reloadAssociations();

private:
    void leggiconfig();

    QString FCartellaSalvataggio;
    QString FCartellaEsportazione;
    bool FCreaSottocartelle = false;
    ProfileFile configinif;
};
