#include "settings/TConfigurazione.h"

#include "platform/ProgramFolder.h"
#include "platform/Today.h"
#include "records/ShortDate.h"

#include <QDir>

namespace {

const QString kConfig = QStringLiteral("Config");
const QString kAssSezionale = QStringLiteral("AssSezionale");
const QString kGenerale = QStringLiteral("Generale");

QString defaultSaveFolder()
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\EsportazioneTarvendo");
#else
    return QDir::toNativeSeparators(QDir::homePath()) + pathSeparator() + QStringLiteral("EsportazioneTarvendo");
#endif
}

QString exportFolderFor(const QString &saveFolder, bool dated)
{
    QString folder = saveFolder + pathSeparator();
    if (dated)
        folder += datacorta(today()) + pathSeparator();
    return folder;
}

} // namespace

TConfigurazione::TConfigurazione()
    : configinif(settingsFilePath())
{
    leggiconfig();
}

void TConfigurazione::leggiconfig()
{
    FFileConfig = configinif.readString(kConfig, QStringLiteral("file"), QString());
    reloadAssociations();
    FPeriodoSalvataggio = configinif.readInteger(kGenerale, QStringLiteral("PeriodoSalvataggio"), 0);
    setCartellaSalvataggio(configinif.readString(kGenerale, QStringLiteral("CartellaSalvataggio"), defaultSaveFolder()));
    setCreaSottocartelle(configinif.readBool(kGenerale, QStringLiteral("CreaSottocartelle"), true));
    FEstensioneTXT = configinif.readBool(kGenerale, QStringLiteral("EstensioneTXT"), false);

    FAttivita = configinif.readString(kGenerale, QStringLiteral("Attivita"), QStringLiteral("0"));
    FRegistro = configinif.readString(kGenerale, QStringLiteral("Registro"), QStringLiteral("A"));
    FSettore = configinif.readString(kGenerale, QStringLiteral("Settore"), QString());
    FContoDare = configinif.readString(kGenerale, QStringLiteral("ContoDare"), QString());
    FContoAvere = configinif.readString(kGenerale, QStringLiteral("ContoAvere"), QString());
    // The stamp-duty codes fall back to the fee codes only when absent.
    FSettoreBollo = configinif.readString(kGenerale, QStringLiteral("SettoreBollo"), FSettore);
    FContoDareBollo = configinif.readString(kGenerale, QStringLiteral("ContoDareBollo"), FContoDare);
    FContoAvereBollo = configinif.readString(kGenerale, QStringLiteral("ContoAvereBollo"), FContoAvere);

    FIVA = configinif.readString(kGenerale, QStringLiteral("IVA"), QStringLiteral("22"));
    FInapplicabilita = configinif.readString(kGenerale, QStringLiteral("Inapplicabilita"), QString());
    FVoceIva = configinif.readString(kGenerale, QStringLiteral("VoceIva"), QString());
    FInapplicabilitaBollo = configinif.readString(kGenerale, QStringLiteral("InapplicabilitaBollo"), FInapplicabilita);
    FVoceIvaBollo = configinif.readString(kGenerale, QStringLiteral("VoceIvaBollo"), FVoceIva);
}

void TConfigurazione::salvaconfig()
{
    configinif.writeInteger(kGenerale, QStringLiteral("PeriodoSalvataggio"), FPeriodoSalvataggio);
    configinif.writeString(kGenerale, QStringLiteral("CartellaSalvataggio"), FCartellaSalvataggio);
    configinif.writeBool(kGenerale, QStringLiteral("CreaSottocartelle"), FCreaSottocartelle);
    configinif.writeBool(kGenerale, QStringLiteral("EstensioneTXT"), FEstensioneTXT);
    configinif.writeString(kGenerale, QStringLiteral("Attivita"), FAttivita);
    configinif.writeString(kGenerale, QStringLiteral("Registro"), FRegistro);
    configinif.writeString(kGenerale, QStringLiteral("Settore"), FSettore);
    configinif.writeString(kGenerale, QStringLiteral("ContoDare"), FContoDare);
    configinif.writeString(kGenerale, QStringLiteral("ContoAvere"), FContoAvere);
    configinif.writeString(kGenerale, QStringLiteral("SettoreBollo"), FSettoreBollo);
    configinif.writeString(kGenerale, QStringLiteral("ContoDareBollo"), FContoDareBollo);
    configinif.writeString(kGenerale, QStringLiteral("ContoAvereBollo"), FContoAvereBollo);
    configinif.writeString(kGenerale, QStringLiteral("IVA"), FIVA);
    configinif.writeString(kGenerale, QStringLiteral("Inapplicabilita"), FInapplicabilita);
    configinif.writeString(kGenerale, QStringLiteral("VoceIva"), FVoceIva);
    configinif.writeString(kGenerale, QStringLiteral("InapplicabilitaBollo"), FInapplicabilitaBollo);
    configinif.writeString(kGenerale, QStringLiteral("VoceIvaBollo"), FVoceIvaBollo);
}

void TConfigurazione::setCartellaSalvataggio(const QString &folder)
{
    if (folder == FCartellaSalvataggio)
        return;
    FCartellaSalvataggio = folder;
    FCartellaEsportazione = exportFolderFor(FCartellaSalvataggio, FCreaSottocartelle);
}

void TConfigurazione::setCreaSottocartelle(bool create)
{
    if (create == FCreaSottocartelle)
        return;
    FCreaSottocartelle = create;
    FCartellaEsportazione = exportFolderFor(FCartellaSalvataggio, FCreaSottocartelle);
}

void TConfigurazione::setCartellaEsportazione(const QString &folder)
{
    if (folder == FCartellaEsportazione)
        return;
    FCartellaEsportazione = folder + pathSeparator();
}

void TConfigurazione::reloadAssociations()
{
    listasez = configinif.sectionLines(kAssSezionale);
}
