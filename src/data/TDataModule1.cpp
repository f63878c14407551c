#include "data/TDataModule1.h"

#include "firebird/FbClient.h"
#include "firebird/IBDataSet.h"
#include "firebird/IBDatabase.h"
#include "firebird/IBTransaction.h"
#include "export/ExportFile.h"
#include "platform/AnsiCodePage.h"
#include "platform/ErrorReport.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"
#include "platform/Prompter.h"
#include "platform/TolmError.h"
#include "settings/TConfigurazione.h"

#include <QScopedValueRollback>

#include <algorithm>
#include <cstring>
#include <optional>

TDataModule1 *DataModule1 = nullptr;

const char *const TDataModule1::kExtractionSql =
    "select contab.*, (select first 1 BADGE from anagrafica where anagrafica.cf= contab.cf )as badge,"
    "(select first 1  TELEFONO from anagrafica where anagrafica.cf= contab.cf )as telefono, "
    "(select first 1  EMAIL from anagrafica where anagrafica.cf= contab.cf )as email, "
    "(select first 1  ESCLUSO_ELENCO from anagrafica where anagrafica.cf= contab.cf )as escluso_elenco, "
    "(select first 1  CF_ZAFFRIN from anagrafica where anagrafica.cf= contab.cf )as sogiva, "
    "(select first 1  codice_cliente from anagrafica where anagrafica.cf= contab.cf )as codcli "
    "from contab where  tipo=1 and data between :Data1 and  :Data2  and intestazione=:Intest";

namespace {
const QString kAssociationSection = QStringLiteral("AssSezionale");
const QString kDatabaseSection = QStringLiteral("Database");
const QString kFileSection = QStringLiteral("File");

// The clock is looked at once per this many rows (a power of two), and the
// progress said when this much time has passed since it was last said.
constexpr qint64 kProgressRows = 2048;
constexpr qint64 kProgressIntervalMs = 125;

// The sezionale of a heading as a whole number, as the extraction reads it.
int toInteger(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok)
        throw TolmError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

// The stored sezionale of a heading: the first line "code=..." of the list,
// the code compared without regard to case; empty when there is none.
QString storedSezionale(const QStringList &listasez, const QString &sigla)
{
    for (const QString &line : listasez) {
        if (line.size() > sigla.size() && line.at(sigla.size()) == QLatin1Char('=')
            && line.startsWith(sigla, Qt::CaseInsensitive))
            return line.mid(sigla.size() + 1);
    }
    return {};
}

QString databaseText(QByteArrayView latin1)
{
    return fromAnsi(latin1ToAnsi(latin1.toByteArray()));
}

// True when a byte of the text is 0x80 or above: only then can it hold one
// that Windows-1252 lacks.
bool hasHighBytes(const char *bytes, qsizetype size)
{
    quint64 any = 0;
    qsizetype i = 0;
    for (; i + 8 <= size; i += 8) {
        quint64 word;
        std::memcpy(&word, bytes + i, 8);
        any |= word;
    }
    for (; i < size; ++i)
        any |= quint64(static_cast<unsigned char>(bytes[i]));
    return (any & 0x8080808080808080ULL) != 0;
}

template <int N>
void readText(FixedText<N> &field, const IBDataSet &query, int column)
{
    const QByteArrayView bytes = query.asBytes(column);
    const qsizetype size = std::min<qsizetype>(bytes.size(), N);
    // Plain ASCII, as most names and addresses are, is taken as it is.
    if (hasHighBytes(bytes.data(), size))
        field.setLatin1(bytes.data(), size);
    else
        field.set(bytes.data(), size);
}

// The error that stops an extraction at an amount that does not fit in the
// table: the database, the invoice and the value.
TolmError amountOutOfRange(const IBDatabase &database, const InvoiceRecord &r, const QString &value)
{
    return TolmError(QStringLiteral("Importo fuori intervallo nel database %1, fattura %2 del %3: %4")
                         .arg(database.DatabaseName())
                         .arg(r.numero)
                         .arg(r.data.toString(QStringLiteral("dd/MM/yyyy")), value));
}

// The invoice's total as text when it does not fit in the table's amounts.
std::optional<QString> totalOutOfRange(const InvoiceRecord &r)
{
    qint64 sum = 0;
    if (!__builtin_add_overflow(r.importo, r.bollo, &sum) && !__builtin_add_overflow(sum, r.importoiva, &sum)
        && !__builtin_add_overflow(sum, r.importora, &sum))
        return std::nullopt;
    const __int128 exact = __int128(r.importo) + r.bollo + r.importoiva + r.importora;
    const unsigned __int128 magnitude = exact < 0 ? -static_cast<unsigned __int128>(exact) : exact;
    // Four amounts of 64 bits: the units need no more than 52 bits.
    const auto whole = quint64(magnitude / kMoneyScale);
    const auto fraction = quint64(magnitude % kMoneyScale);
    const QString text = (exact < 0 ? QStringLiteral("-") : QString()) + QString::number(whole);
    return QStringLiteral("totale %1,%2").arg(text).arg(fraction, 4, 10, QLatin1Char('0'));
}

// Ends a filling of the invoice table however the extraction ends.
class FillEnd
{
public:
    explicit FillEnd(InvoiceTable &table) : m_table(table) {}
    ~FillEnd() { m_table.endFill(); }

private:
    InvoiceTable &m_table;
};
} // namespace

TDataModule1::TDataModule1(QObject *parent)
    : QObject(parent),
      IBDatabaseConfig(std::make_unique<IBDatabase>()),
      IBTransactionConfig(std::make_unique<IBTransaction>()),
      IBDataSetIntest(std::make_unique<IBDataSet>()),
      IBDataSetExport(std::make_unique<IBDataSet>())
{
    DataModule1 = this;
    // Without the client library nothing of the program can work.
    FbClient::load();

    IBDatabaseConfig->setDefaultTransaction(IBTransactionConfig.get());
    IBTransactionConfig->setDefaultDatabase(IBDatabaseConfig.get());
    IBDataSetIntest->setDatabase(IBDatabaseConfig.get());
    IBDataSetIntest->setTransaction(IBTransactionConfig.get());
    IBDataSetIntest->setSQL(QStringLiteral("Select sigla,descrizione from intestazioni"));
    IBDataSetExport->setSQL(QString::fromLatin1(kExtractionSql));

    guarded([this] { DataModuleCreate(); });
}

TDataModule1::~TDataModule1()
{
    guarded([this] { DataModuleDestroy(); });
    guarded([this] {
        IBDataSetIntest->Close();
        IBDatabaseConfig->Close();
    });
    if (DataModule1 == this)
        DataModule1 = nullptr;
}

void TDataModule1::DataModuleCreate()
{
    configurazione = std::make_unique<TConfigurazione>();
    if (configurazione->FFileConfig.isEmpty())
        return;
    cancontinue = true;
    leggidatabase();
    openConfigDatabase();
    leggiintestazioni();
}

void TDataModule1::DataModuleDestroy()
{
    liberadatabase();
    configurazione.reset();
}

void TDataModule1::leggidatabase()
{
    const ProfileFile inif(settingsFilePath());
    listDB = std::make_unique<std::vector<std::unique_ptr<IBDatabase>>>();
    listTR = std::make_unique<std::vector<std::unique_ptr<IBTransaction>>>();
    const QString user = inif.readString(kDatabaseSection, QStringLiteral("user"), QStringLiteral("SYSDBA"));
    const QString password = inif.readString(kDatabaseSection, QStringLiteral("pwd"), QString());
    for (const QString &name : inif.sectionValues(kFileSection)) {
        auto database = std::make_unique<IBDatabase>();
        auto transaction = std::make_unique<IBTransaction>();
        database->setDatabaseName(name);
        database->Params() = {QStringLiteral("user_name=") + user, QStringLiteral("password=") + password,
                            QStringLiteral("lc_ctype=ISO8859_1")};
        transaction->Params() = {QStringLiteral("read_committed"), QStringLiteral("rec_version"),
                               QStringLiteral("nowait")};
        database->setDefaultTransaction(transaction.get());
        transaction->setDefaultDatabase(database.get());
        listDB->push_back(std::move(database));
        listTR->push_back(std::move(transaction));
    }
}

void TDataModule1::openConfigDatabase()
{
    const ProfileFile inif(settingsFilePath());
    const QString user = inif.readString(kDatabaseSection, QStringLiteral("user"), QStringLiteral("SYSDBA"));
    const QString password = inif.readString(kDatabaseSection, QStringLiteral("pwd"), QStringLiteral("plumtrace"));
    IBDatabaseConfig->Close();
    IBDatabaseConfig->setDatabaseName(configurazione->FFileConfig);
    IBDatabaseConfig->Params() = {QStringLiteral("user_name=") + user, QStringLiteral("password=") + password,
                                QStringLiteral("lc_ctype=ISO8859_1")};
    IBDatabaseConfig->Open();
}

void TDataModule1::liberadatabase()
{
    IBDataSetExport->Close();
    IBDataSetExport->setDatabase(nullptr);
    IBDataSetExport->setTransaction(nullptr);
    if (!listDB)
        return;
    // Closing commits each connection's transaction; keep going when one
    // fails so that every connection is released.
    std::optional<TolmError> firstError;
    for (auto &database : *listDB) {
        try {
            database->Close();
        } catch (const TolmError &error) {
            if (!firstError)
                firstError = error;
        }
    }
    listDB.reset();
    listTR.reset();
    if (firstError)
        throw *firstError;
}

void TDataModule1::leggiintestazioni()
{
    IBDataSetIntest->Open();
    MTableAssIntest.reopen();
    const int colSigla = IBDataSetIntest->fieldIndex(QStringLiteral("sigla"));
    const int colDescrizione = IBDataSetIntest->fieldIndex(QStringLiteral("descrizione"));
    try {
        qint32 index = 0;
        for (; !IBDataSetIntest->Eof(); IBDataSetIntest->Next()) {
            const QString sigla = databaseText(IBDataSetIntest->asBytes(colSigla)).left(AssociationTable::kSiglaSize);
            const QString descrizione = databaseText(IBDataSetIntest->asBytes(colDescrizione));
            QString sezionale = storedSezionale(configurazione->listasez, sigla);
            if (sezionale.isEmpty())
                sezionale = QStringLiteral("-1");
            MTableAssIntest.appendRow(index++, sigla, descrizione, sezionale);
        }
    } catch (...) {
        IBDataSetIntest->Close();
        throw;
    }
    IBDataSetIntest->Close();
}

void TDataModule1::Riscriviintestazioni()
{
    QList<std::pair<QString, QString>> associations;
    for (int i = 0; i < MTableAssIntest.size(); ++i) {
        const AssociationTable::Row &row = MTableAssIntest.row(i);
        // A row without a code has no key to be written under.
        if (row.Sigla.isEmpty())
            continue;
        associations.append({fromAnsi(row.Sigla), fromAnsi(row.Sezionale)});
    }
    // One replacement of the file: a failed write leaves the old section whole.
    ProfileFile(settingsFilePath()).replaceSection(kAssociationSection, associations);
    configurazione->reloadAssociations();
}

void TDataModule1::closeExtraction()
{
    // Not under a running extraction (a listener of its progress).
    if (m_extracting)
        return;
    dxMemDataFatture.reopen();
    IBDataSetExport->Close();
}

QStringList TDataModule1::databaseNames() const
{
    QStringList names;
    if (listDB) {
        for (const auto &database : *listDB)
            names << database->DatabaseName();
    }
    return names;
}

ExportSettings TDataModule1::exportSettings() const
{
    const TConfigurazione &c = *configurazione;
    ExportSettings s;
    s.attivita = c.FAttivita;
    s.registro = c.FRegistro;
    s.iva = c.FIVA;
    s.inapplicabilita = c.FInapplicabilita;
    s.voceIva = c.FVoceIva;
    s.settore = c.FSettore;
    s.contoDare = c.FContoDare;
    s.contoAvere = c.FContoAvere;
    s.inapplicabilitaBollo = c.FInapplicabilitaBollo;
    s.voceIvaBollo = c.FVoceIvaBollo;
    s.settoreBollo = c.FSettoreBollo;
    s.contoDareBollo = c.FContoDareBollo;
    s.contoAvereBollo = c.FContoAvereBollo;
    s.estensioneTXT = c.FEstensioneTXT;
    s.cartellaEsportazione = c.CartellaEsportazione();
    return s;
}

void TDataModule1::EstraiDati(int Azione, const QDate &dataDa, const QDate &DataAl)
{
    if (toInteger(MTableAssIntest.currentSezionale()) < 0) {
        Prompter::current().information(QStringLiteral("Nessun Sezionale impostato"));
        return;
    }
    if (Azione == 0 || Azione == 1) {
        if (!listDB || listDB->empty()) {
            // Emptied before the message box runs its event loop, so that no
            // view meets the table halfway through a reset.
            closeExtraction();
            Prompter::current().information(QStringLiteral("Nessun database pazienti impostato"));
            return;
        }
        // A listener of the progress may run the event loop: nothing may
        // start a second extraction into the table being filled.
        if (m_extracting)
            return;
        const QScopedValueRollback extracting(m_extracting, true);
        dxMemDataFatture.beginFill();
        FillEnd fillEnd(dxMemDataFatture);
        IBDataSetExport->Close();
        cancontinue = true;
        const QString intestazione = MTableAssIntest.currentSigla();
        m_invoicesRead = 0;
        for (size_t i = 0; i < listDB->size(); ++i) {
            m_database = int(i) + 1;
            emit extractionProgress(m_database, int(listDB->size()), m_invoicesRead);
            m_progressClock.start();
            extractFrom(*(*listDB)[i], *(*listTR)[i], quint16(i), dataDa, DataAl, intestazione);
        }
    }
    if (Azione == 0 || Azione == 2)
        esportafile(dxMemDataFatture, exportSettings(), MTableAssIntest.currentSezionale());
}

void TDataModule1::extractFrom(IBDatabase &database, IBTransaction &transaction, quint16 source,
                               const QDate &dataDa, const QDate &DataAl, const QString &intestazione)
{
    IBDataSet &query = *IBDataSetExport;
    query.Close();
    database.Close();
    query.setDatabase(&database);
    query.setTransaction(&transaction);
    database.Open();
    query.setParamDate(QStringLiteral("Data1"), dataDa);
    query.setParamDate(QStringLiteral("Data2"), DataAl);
    query.setParamText(QStringLiteral("Intest"), intestazione);
    query.Open();

    const int cData = query.fieldIndex(QStringLiteral("DATA"));
    const int cNumero = query.fieldIndex(QStringLiteral("NUMERO"));
    const int cCf = query.fieldIndex(QStringLiteral("CF"));
    const int cIndirizzo = query.fieldIndex(QStringLiteral("INDIRIZZO"));
    const int cCap = query.fieldIndex(QStringLiteral("CAP"));
    const int cCitta = query.fieldIndex(QStringLiteral("CITTA"));
    const int cProvincia = query.fieldIndex(QStringLiteral("PROVINCIA"));
    const int cSogiva = query.fieldIndex(QStringLiteral("SOGIVA"));
    const int cApice = query.fieldIndex(QStringLiteral("APICE"));
    const int cImporto = query.fieldIndex(QStringLiteral("IMPORTO"));
    const int cBollo = query.fieldIndex(QStringLiteral("IMPORTO_TASSE"));
    const int cIva = query.fieldIndex(QStringLiteral("IMPORTOIVA"));
    const int cRa = query.fieldIndex(QStringLiteral("IMPORTORA"));
    const int cCognome = query.fieldIndex(QStringLiteral("COGNOME"));
    const int cNome = query.fieldIndex(QStringLiteral("NOME"));

    InvoiceRecord r;
    r.source = source;
    for (; !query.Eof(); query.Next()) {
        r.data = query.asDate(cData);
        r.numero = qint32(query.asInteger(cNumero));
        readText(r.cf, query, cCf);
        if (cancontinue && r.cf.isEmpty())
            cancontinue = false;
        readText(r.indirizzo, query, cIndirizzo);
        readText(r.cap, query, cCap);
        readText(r.citta, query, cCitta);
        readText(r.provincia, query, cProvincia);
        readText(r.sogiva, query, cSogiva);
        readText(r.Apice, query, cApice);
        try {
            r.importo = query.asMoney(cImporto);
            r.bollo = query.asMoney(cBollo);
            r.importoiva = query.asMoney(cIva);
            r.importora = query.asMoney(cRa);
        } catch (const AmountOutOfRange &error) {
            throw amountOutOfRange(database, r, error.value());
        }
        if (const std::optional<QString> sum = totalOutOfRange(r))
            throw amountOutOfRange(database, r, *sum);
        readText(r.Cognome, query, cCognome);
        readText(r.nome, query, cNome);
        dxMemDataFatture.append(r);
        if ((++m_invoicesRead & (kProgressRows - 1)) == 0 && m_progressClock.elapsed() >= kProgressIntervalMs) {
            emit extractionProgress(m_database, int(listDB->size()), m_invoicesRead);
            m_progressClock.start();
        }
    }
    query.Close();
    // The program only reads: end the transaction now rather than holding the
    // database's oldest active transaction back until the next extraction.
    transaction.Commit();
}
