#include "data/TDataModule1.h"

#include "data/ExtractionListener.h"
#include "data/InvoiceColumns.h"
#include "firebird/IBDataSet.h"
#include "firebird/IBDatabase.h"
#include "firebird/IBTransaction.h"
#include "export/ExportFile.h"
#include "export/ExportJournal.h"
#include "platform/AnsiCodePage.h"
#include "platform/ErrorReport.h"
#include "platform/Prompter.h"
#include "platform/TolmError.h"
#include "records/DateText.h"
#include "settings/ExportSettings.h"
#include "settings/TConfigurazione.h"

#include <QDateTime>
#include <QDir>
#include <QScopedValueRollback>

#include <exception>
#include <new>
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
// Rows between two reports to the listener (a power of two).
constexpr qint64 kReportRows = ExtractionListener::kRowsPerReport;
static_assert((kReportRows & (kReportRows - 1)) == 0);

// The parameter lines of a connection with the user and password of
// [Database].
QStringList connectionParams(const DatabaseLogin &login)
{
    return {QStringLiteral("user_name=") + login.user, QStringLiteral("password=") + login.password,
            QStringLiteral("lc_ctype=ISO8859_1")};
}

// The error that stops an extraction at an amount that does not fit in the
// table: the database, the invoice and the value.
TolmError amountOutOfRange(const IBDatabase &database, const InvoiceRecord &r, const QString &value)
{
    return TolmError(QStringLiteral("Importo fuori intervallo nel database %1, fattura %2 del %3: %4")
                         .arg(database.DatabaseName())
                         .arg(r.numero)
                         .arg(dayText(r.data), value));
}
} // namespace

TDataModule1::TDataModule1(QObject *parent)
    : QObject(parent),
      IBDatabaseConfig(std::make_unique<IBDatabase>()),
      IBTransactionConfig(std::make_unique<IBTransaction>()),
      IBDataSetIntest(std::make_unique<IBDataSet>()),
      IBDataSetExport(std::make_unique<IBDataSet>())
{
    DataModule1 = this;
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
    listDB.emplace();
    listTR.emplace();
    const QStringList params = connectionParams(patientDatabaseLogin());
    for (const QString &name : databaseList()) {
        auto database = std::make_unique<IBDatabase>();
        auto transaction = std::make_unique<IBTransaction>();
        database->setDatabaseName(name);
        database->Params() = params;
        transaction->Params() = {QStringLiteral("read_committed"), QStringLiteral("rec_version"),
                               QStringLiteral("nowait")};
        transaction->setDefaultDatabase(database.get());
        listDB->push_back(std::move(database));
        listTR->push_back(std::move(transaction));
    }
}

void TDataModule1::openConfigDatabase()
{
    const QStringList params = connectionParams(configDatabaseLogin());
    IBDatabaseConfig->Close();
    IBDatabaseConfig->setDatabaseName(configurazione->FFileConfig);
    IBDatabaseConfig->Params() = params;
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
            const QString sigla = latin1ToText(IBDataSetIntest->asBytes(colSigla)).left(AssociationTable::kSiglaSize);
            const QString descrizione = latin1ToText(IBDataSetIntest->asBytes(colDescrizione));
            QString sezionale = configurazione->storedSezionale(sigla);
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
    replaceAssociations(associations);
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

void TDataModule1::EstraiDati(int Azione, const QDate &dataDa, const QDate &DataAl, ExtractionListener *listener)
{
    m_stopped = false;
    if (MTableAssIntest.currentSezionaleNumber() < 0) {
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
        // The listener runs the event loop: nothing may start a second
        // extraction into the table being filled.
        if (m_extracting)
            return;
        const QScopedValueRollback extracting(m_extracting, true);
        const QScopedValueRollback following(m_listener, listener);
        m_stopped = !readDatabases(dataDa, DataAl);
        if (m_stopped)
            return;
    }
    if (Azione == 0 || Azione == 2)
        recordExport(
            esportafile(dxMemDataFatture, configurazione->exportSettings(), MTableAssIntest.currentSezionale()));
}

void TDataModule1::recordExport(const QString &file)
{
    if (dxMemDataFatture.isEmpty())
        return;
    const QDateTime moment = QDateTime::currentDateTime();
    // The file is in place: its invoices are exported, whether or not the
    // journal takes them.
    dxMemDataFatture.markExported(moment.date(), moment.time(), QDir::toNativeSeparators(file));
    ExportJournal(ExportJournal::defaultPath())
        .append(dxMemDataFatture.records(), MTableAssIntest.currentSigla(), MTableAssIntest.currentSezionale(), file,
                moment);
}

// Reads every patient database into the invoice table; false when the
// listener stopped the read.
bool TDataModule1::readDatabases(const QDate &dataDa, const QDate &DataAl)
{
    dxMemDataFatture.beginFill();
    bool stopped = false;
    bool outOfMemory = false;
    std::exception_ptr error;
    try {
        IBDataSetExport->Close();
        cancontinue = true;
        const QString intestazione = MTableAssIntest.currentSigla();
        m_invoicesRead = 0;
        for (size_t i = 0; !stopped && i < listDB->size(); ++i) {
            m_database = int(i) + 1;
            stopped = !goOn() || !extractFrom(*(*listDB)[i], *(*listTR)[i], quint16(i), dataDa, DataAl, intestazione);
        }
    } catch (const std::bad_alloc &) {
        outOfMemory = true;
    } catch (...) {
        error = std::current_exception();
    }

    // The filling ends here, however the read ended. After an error the
    // records read before it stay, in order; a stopped read and one short of
    // memory leave the table empty.
    if (stopped || outOfMemory) {
        dxMemDataFatture.abandonFill();
    } else {
        // What was exported before, found once the invoices stand in order.
        // The look-up keeps the window painting; a stop asked meanwhile comes
        // too late to matter, as the read is complete.
        const int sezionale = MTableAssIntest.currentSezionaleNumber();
        const auto lookUp = [this, sezionale](const std::vector<InvoiceRecord> &records) {
            return ExportJournal(ExportJournal::defaultPath()).lookUp(records, sezionale, [this] { goOn(); });
        };
        try {
            stopped = !dxMemDataFatture.endFill([this] { return goOn(); }, lookUp);
        } catch (const std::bad_alloc &) {
            outOfMemory = true; // endFill() has emptied the table
        }
    }
    if (error)
        std::rethrow_exception(error);
    if (outOfMemory) {
        IBDataSetExport->Close();
        throw TolmError(QStringLiteral("Memoria insufficiente per le fatture estratte: restringere il periodo"));
    }
    return !stopped;
}

// Tells the listener how far the read has come; false when it asks to stop.
bool TDataModule1::goOn()
{
    if (!m_listener)
        return true;
    m_listener->progress(m_database, int(listDB->size()), m_invoicesRead);
    return !m_listener->shouldStop();
}

// Reads one database's invoices into the table; false when the listener
// stopped the read. Either way the query ends closed and the transaction
// committed.
bool TDataModule1::extractFrom(IBDatabase &database, IBTransaction &transaction, quint16 source,
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

    const InvoiceColumns columns(query);
    InvoiceRecord r;
    r.source = source;
    bool stopped = false;
    for (; !query.Eof(); query.Next()) {
        std::optional<QString> outOfRange;
        try {
            columns.read(query, r);
        } catch (const AmountOutOfRange &error) {
            outOfRange = error.value();
        }
        if (cancontinue && r.cf.isEmpty())
            cancontinue = false;
        if (!outOfRange)
            outOfRange = r.totalOutOfRange();
        if (outOfRange)
            throw amountOutOfRange(database, r, *outOfRange);
        dxMemDataFatture.append(r);
        if ((++m_invoicesRead & (kReportRows - 1)) == 0 && !goOn()) {
            stopped = true;
            break;
        }
    }
    query.Close();
    // The program only reads: end the transaction now rather than holding the
    // database's oldest active transaction back until the next extraction.
    transaction.Commit();
    return !stopped;
}
