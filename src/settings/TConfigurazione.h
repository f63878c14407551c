#pragma once

#include "platform/ProfileFile.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <span>
#include <utility>

class TConfigurazione;
struct ExportSettings;

// One key of [Generale] and everything the settings do with it: the field of
// TConfigurazione that holds it, its default and the export setting it
// becomes. The table of the seventeen keys, generaleKeys(), is the one list
// of them; the settings dialog pairs each with its control by name.
struct GeneraleKey
{
    enum Kind { Text, Number, Flag };

    const char *name;
    Kind kind;
    // The value while the key is absent: the text, or the digits of a number
    // or a flag; nullptr stands for the platform's default export folder.
    const char *defaultValue;
    // The key whose value stands in while this one is absent, or nullptr.
    const char *fallback;
    // The field, through TConfigurazione::value() and setValue().
    QVariant (*get)(const TConfigurazione &);
    void (*set)(TConfigurazione &, const QVariant &);
    // The export setting it fills; nullptr when the export does not take it.
    void (*exportTo)(ExportSettings &, const QVariant &);
};

// The keys of [Generale] in the order salvaconfig() writes them: the folder
// comes before the dated-subfolder flag, and each fee code before the
// stamp-duty code that falls back to it.
std::span<const GeneraleKey> generaleKeys();

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

    // Writes the seventeen keys of [Generale] in one replacement of the
    // file; a failure leaves the file as it was and raises "Unable to write
    // to ...".
    void salvaconfig();

    QString CartellaSalvataggio() const { return FCartellaSalvataggio; }
    void setCartellaSalvataggio(const QString &folder);
    bool CreaSottocartelle() const { return FCreaSottocartelle; }
    void setCreaSottocartelle(bool create);
    QString CartellaEsportazione() const { return FCartellaEsportazione; }
    void setCartellaEsportazione(const QString &folder);

    // A [Generale] value as its field holds it (text, number or flag).
    QVariant value(const GeneraleKey &key) const { return key.get(*this); }
    void setValue(const GeneraleKey &key, const QVariant &value) { key.set(*this, value); }

    // What the export takes from the settings in force.
    ExportSettings exportSettings() const;

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
    // The sezionale stored for a heading: the first line "code=..." of
    // listasez, the code compared without regard to case; empty when there
    // is none.
    QString storedSezionale(const QString &sigla) const;

private:
    void leggiconfig();

    QString FCartellaSalvataggio;
    QString FCartellaEsportazione;
    bool FCreaSottocartelle = false;
    ProfileFile configinif;
};

// The other sections of Tolm.ini, read and written in the settings file of
// the program folder at the time of the call.

// User and password of the connections, from [Database]: user SYSDBA while
// absent; the password "plumtrace" for the configuration database and empty
// for a patient database while absent.
struct DatabaseLogin
{
    QString user;
    QString password;
};
DatabaseLogin configDatabaseLogin();
DatabaseLogin patientDatabaseLogin();

// [File]: the patient databases' connection strings in file order.
QStringList databaseList();
// Replaces [File] with the texts under keys 1..n, in one replacement of the
// file: a failed write leaves the old list whole.
void replaceDatabaseList(const QStringList &texts);

// Replaces [AssSezionale] with the pairs code=sezionale, in one replacement
// of the file.
void replaceAssociations(const QList<std::pair<QString, QString>> &associations);
