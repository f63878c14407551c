#include "settings/TConfigurazione.h"

#include "platform/ProgramFolder.h"
#include "platform/Today.h"
#include "records/DateText.h"
#include "settings/ExportSettings.h"

#include <QDir>

#include <type_traits>

namespace {

const QString kConfig = QStringLiteral("Config");
const QString kDatabase = QStringLiteral("Database");
const QString kFile = QStringLiteral("File");
const QString kAssSezionale = QStringLiteral("AssSezionale");
const QString kGenerale = QStringLiteral("Generale");

// Folders are held, shown and saved with the platform's separators only: a
// "/out" typed or brought from another system is "\out" on Windows.
QString nativeFolder(const QString &folder)
{
    return QDir::toNativeSeparators(folder);
}

QString exportFolderFor(const QString &saveFolder, bool dated)
{
    QString folder = nativeFolder(saveFolder) + pathSeparator();
    if (dated)
        folder += datacorta(today()) + pathSeparator();
    return folder;
}

// Reading and writing a member of an object through a QVariant, for the
// table of keys.
template <typename>
struct MemberOf;
template <typename Object, typename Value>
struct MemberOf<Value Object::*>
{
    using ObjectType = Object;
    using ValueType = Value;
};

template <auto Member>
struct Field
{
    using Object = typename MemberOf<decltype(Member)>::ObjectType;
    using Value = typename MemberOf<decltype(Member)>::ValueType;
    static QVariant get(const Object &object) { return QVariant::fromValue(object.*Member); }
    static void set(Object &object, const QVariant &value) { object.*Member = value.value<Value>(); }
};

// A value kept behind a getter and a setter with rules of their own.
template <auto Getter, auto Setter>
struct Property
{
    using Value = std::invoke_result_t<decltype(Getter), const TConfigurazione &>;
    static QVariant get(const TConfigurazione &c) { return QVariant::fromValue((c.*Getter)()); }
    static void set(TConfigurazione &c, const QVariant &value) { (c.*Setter)(value.value<Value>()); }
};

template <typename Access, auto Exported = nullptr>
constexpr GeneraleKey makeKey(const char *name, GeneraleKey::Kind kind, const char *defaultValue,
                              const char *fallback = nullptr)
{
    void (*exportTo)(ExportSettings &, const QVariant &) = nullptr;
    if constexpr (!std::is_null_pointer_v<decltype(Exported)>)
        exportTo = &Field<Exported>::set;
    return {name, kind, defaultValue, fallback, &Access::get, &Access::set, exportTo};
}

using C = TConfigurazione;
using E = ExportSettings;
constexpr GeneraleKey::Kind kText = GeneraleKey::Text;

const GeneraleKey kGeneraleKeys[] = {
    makeKey<Field<&C::FPeriodoSalvataggio>>("PeriodoSalvataggio", GeneraleKey::Number, "0"),
    makeKey<Property<&C::CartellaSalvataggio, &C::setCartellaSalvataggio>>("CartellaSalvataggio", kText, nullptr),
    makeKey<Property<&C::CreaSottocartelle, &C::setCreaSottocartelle>>("CreaSottocartelle", GeneraleKey::Flag, "1"),
    makeKey<Field<&C::FEstensioneTXT>, &E::estensioneTXT>("EstensioneTXT", GeneraleKey::Flag, "0"),
    makeKey<Field<&C::FAttivita>, &E::attivita>("Attivita", kText, "0"),
    makeKey<Field<&C::FRegistro>, &E::registro>("Registro", kText, "A"),
    makeKey<Field<&C::FSettore>, &E::settore>("Settore", kText, ""),
    makeKey<Field<&C::FContoDare>, &E::contoDare>("ContoDare", kText, ""),
    makeKey<Field<&C::FContoAvere>, &E::contoAvere>("ContoAvere", kText, ""),
    makeKey<Field<&C::FSettoreBollo>, &E::settoreBollo>("SettoreBollo", kText, "", "Settore"),
    makeKey<Field<&C::FContoDareBollo>, &E::contoDareBollo>("ContoDareBollo", kText, "", "ContoDare"),
    makeKey<Field<&C::FContoAvereBollo>, &E::contoAvereBollo>("ContoAvereBollo", kText, "", "ContoAvere"),
    makeKey<Field<&C::FIVA>, &E::iva>("IVA", kText, "22"),
    makeKey<Field<&C::FInapplicabilita>, &E::inapplicabilita>("Inapplicabilita", kText, ""),
    makeKey<Field<&C::FVoceIva>, &E::voceIva>("VoceIva", kText, ""),
    makeKey<Field<&C::FInapplicabilitaBollo>, &E::inapplicabilitaBollo>("InapplicabilitaBollo", kText, "",
                                                                        "Inapplicabilita"),
    makeKey<Field<&C::FVoceIvaBollo>, &E::voceIvaBollo>("VoceIvaBollo", kText, "", "VoceIva"),
};

const GeneraleKey &generaleKeyNamed(const char *name)
{
    for (const GeneraleKey &key : kGeneraleKeys) {
        if (qstrcmp(key.name, name) == 0)
            return key;
    }
    Q_UNREACHABLE();
}

DatabaseLogin databaseLogin(const QString &defaultPassword)
{
    const ProfileFile ini(settingsFilePath());
    return {ini.readString(kDatabase, QStringLiteral("user"), QStringLiteral("SYSDBA")),
            ini.readString(kDatabase, QStringLiteral("pwd"), defaultPassword)};
}

} // namespace

std::span<const GeneraleKey> generaleKeys()
{
    return kGeneraleKeys;
}

TConfigurazione::TConfigurazione()
    : configinif(settingsFilePath())
{
    leggiconfig();
}

void TConfigurazione::leggiconfig()
{
    FFileConfig = configinif.readString(kConfig, QStringLiteral("file"), QString());
    reloadAssociations();
    // In table order: a stamp-duty code falls back to the fee code read before
    // it, and only while it is absent.
    for (const GeneraleKey &key : kGeneraleKeys) {
        const QString name = QLatin1String(key.name);
        const QString defaultText = key.defaultValue ? QString::fromLatin1(key.defaultValue) : defaultSaveFolder();
        switch (key.kind) {
        case GeneraleKey::Number:
            setValue(key, configinif.readInteger(kGenerale, name, defaultText.toInt()));
            break;
        case GeneraleKey::Flag:
            setValue(key, configinif.readBool(kGenerale, name, defaultText.toInt() != 0));
            break;
        case GeneraleKey::Text:
            setValue(key, configinif.readString(kGenerale, name,
                                                key.fallback ? value(generaleKeyNamed(key.fallback)).toString()
                                                             : defaultText));
            break;
        }
    }
}

void TConfigurazione::salvaconfig()
{
    QList<std::pair<QString, QString>> entries;
    for (const GeneraleKey &key : kGeneraleKeys) {
        const QVariant v = value(key);
        QString text;
        switch (key.kind) {
        case GeneraleKey::Number:
            text = QString::number(v.toInt());
            break;
        case GeneraleKey::Flag:
            text = v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
            break;
        case GeneraleKey::Text:
            text = v.toString();
            break;
        }
        entries.append({QLatin1String(key.name), text});
    }
    configinif.writeStrings(kGenerale, entries);
}

ExportSettings TConfigurazione::exportSettings() const
{
    ExportSettings settings;
    for (const GeneraleKey &key : kGeneraleKeys) {
        if (key.exportTo)
            key.exportTo(settings, value(key));
    }
    settings.cartellaEsportazione = CartellaEsportazione();
    return settings;
}

void TConfigurazione::setCartellaSalvataggio(const QString &folder)
{
    if (nativeFolder(folder) == FCartellaSalvataggio)
        return;
    FCartellaSalvataggio = nativeFolder(folder);
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
    if (nativeFolder(folder) == FCartellaEsportazione)
        return;
    FCartellaEsportazione = nativeFolder(folder) + pathSeparator();
}

void TConfigurazione::reloadAssociations()
{
    listasez = configinif.sectionLines(kAssSezionale);
}

QString TConfigurazione::storedSezionale(const QString &sigla) const
{
    for (const QString &line : listasez) {
        if (line.size() > sigla.size() && line.at(sigla.size()) == QLatin1Char('=')
            && line.startsWith(sigla, Qt::CaseInsensitive))
            return line.mid(sigla.size() + 1);
    }
    return {};
}

DatabaseLogin configDatabaseLogin()
{
    return databaseLogin(QStringLiteral("plumtrace"));
}

DatabaseLogin patientDatabaseLogin()
{
    return databaseLogin(QString());
}

QStringList databaseList()
{
    return ProfileFile(settingsFilePath()).sectionValues(kFile);
}

void replaceDatabaseList(const QStringList &texts)
{
    QList<std::pair<QString, QString>> entries;
    int key = 1;
    for (const QString &text : texts)
        entries.append({QString::number(key++), text});
    ProfileFile(settingsFilePath()).replaceSection(kFile, entries);
}

void replaceAssociations(const QList<std::pair<QString, QString>> &associations)
{
    ProfileFile(settingsFilePath()).replaceSection(kAssSezionale, associations);
}
