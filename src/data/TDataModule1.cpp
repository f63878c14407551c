#include "data/TDataModule1.h"

#include "data/ConnectionWait.h"
#include "data/ExtractionRun.h"
#include "data/PendingCall.h"
#include "data/WorkerThreads.h"
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

#include <chrono>
#include <exception>
#include <optional>

TDataModule1 *DataModule1 = nullptr;

namespace {
// The program ends while the configuration database is still being
// attached.
struct StartupAbandoned
{
};
} // namespace

const char *const TDataModule1::kExtractionSql =
    "select contab.*, (select first 1 BADGE from anagrafica where anagrafica.cf= contab.cf )as badge,"
    "(select first 1  TELEFONO from anagrafica where anagrafica.cf= contab.cf )as telefono, "
    "(select first 1  EMAIL from anagrafica where anagrafica.cf= contab.cf )as email, "
    "(select first 1  ESCLUSO_ELENCO from anagrafica where anagrafica.cf= contab.cf )as escluso_elenco, "
    "(select first 1  CF_ZAFFRIN from anagrafica where anagrafica.cf= contab.cf )as sogiva, "
    "(select first 1  codice_cliente from anagrafica where anagrafica.cf= contab.cf )as codcli "
    "from contab where  tipo=1 and data between :Data1 and  :Data2  and intestazione=:Intest";

namespace {
// The parameter lines of a connection with the user and password of
// [Database].
QStringList connectionParams(const DatabaseLogin &login)
{
    return {QStringLiteral("user_name=") + login.user, QStringLiteral("password=") + login.password,
            QStringLiteral("lc_ctype=ISO8859_1")};
}

// How long the configuration database may take to attach before whoever
// waits for it is told.
constexpr std::chrono::milliseconds kQuickAttach(1000);
// How long the data module's end waits for the threads of a read that was
// stopped or ended early.
constexpr std::chrono::milliseconds kWorkersAtEnd(1000);
} // namespace

TDataModule1::TDataModule1(ConnectionWait *wait, QObject *parent)
    : QObject(parent),
      IBDatabaseConfig(std::make_unique<IBDatabase>()),
      IBTransactionConfig(std::make_unique<IBTransaction>()),
      IBDataSetIntest(std::make_unique<IBDataSet>()),
      IBDataSetExport(std::make_unique<IBDataSet>()),
      m_connectionWait(wait)
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
    stopExtraction();
    // A stopped read, or one that ended at an error while others were still
    // attaching, ends its threads on its own: a second at most for them.
    WorkerThreads::waitForAll(kWorkersAtEnd);
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
    try {
        openConfigDatabase();
    } catch (const StartupAbandoned &) {
        return; // the program is ending: nothing more to load, nothing to say
    }
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
    // On a worker thread, so that a server that is slow to answer keeps no
    // window from painting; the attachment is the connection's once made.
    const QString name = configurazione->FFileConfig;
    const auto attach = PendingCall<IBAttachment>::start([name, params] { return IBDatabase::attach(name, params); });
    const auto waitFor = [&attach](std::chrono::milliseconds limit) { return attach->waitFor(limit); };
    if (m_connectionWait && !waitFor(kQuickAttach))
        m_connectionWait->wait(name, waitFor);
    else
        attach->wait();
    if (!waitFor(std::chrono::milliseconds(0)))
        throw StartupAbandoned();
    IBDatabaseConfig->adopt(attach->take());
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
    // Not under a running extraction: its invoices are to come.
    if (m_run)
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
    if (Azione == 0 || Azione == 1) {
        if (!beginExtraction(dataDa, DataAl, listener))
            return;
        m_run->waitUntilFinished();
        finishExtraction();
        if (m_stopped)
            return;
    } else {
        m_stopped = false;
        if (MTableAssIntest.currentSezionaleNumber() < 0) {
            Prompter::current().information(QStringLiteral("Nessun Sezionale impostato"));
            return;
        }
    }
    if (Azione == 0 || Azione == 2)
        recordExport(
            esportafile(dxMemDataFatture, configurazione->exportSettings(), MTableAssIntest.currentSezionale()));
}

bool TDataModule1::beginExtraction(const QDate &dataDa, const QDate &DataAl, ExtractionListener *listener)
{
    // One read at a time into the table.
    if (m_run)
        return false;
    m_stopped = false;
    const int sezionale = MTableAssIntest.currentSezionaleNumber();
    if (sezionale < 0) {
        Prompter::current().information(QStringLiteral("Nessun Sezionale impostato"));
        return false;
    }
    if (!listDB || listDB->empty()) {
        // Emptied before the message box runs its event loop, so that no
        // view meets the table halfway through a reset.
        closeExtraction();
        Prompter::current().information(QStringLiteral("Nessun database pazienti impostato"));
        return false;
    }
    ExtractionRequest request;
    for (size_t i = 0; i < listDB->size(); ++i) {
        const IBDatabase &database = *(*listDB)[i];
        request.databases.push_back({database.DatabaseName(), database.Params(), (*listTR)[i]->Params()});
    }
    request.query = {dataDa, DataAl, MTableAssIntest.currentSigla()};
    request.sezionale = sezionale;
    request.journalPath = ExportJournal::defaultPath();

    IBDataSetExport->Close();
    cancontinue = true;
    request.spare = dxMemDataFatture.emptyForRead();
    // The run's thread posts to this object's; the run is abandoned before
    // this object goes, so the post never meets a destroyed one. A post of a
    // read stopped just as it ended finds another read (or none) current,
    // and says nothing.
    const quint64 number = ++m_runNumber;
    m_run = ExtractionRun::start(std::move(request), listener, [this, number] {
        QMetaObject::invokeMethod(
            this,
            [this, number] {
                if (m_run && number == m_runNumber)
                    emit extractionFinished();
            },
            Qt::QueuedConnection);
    });
    return true;
}

void TDataModule1::finishExtraction()
{
    if (!m_run || !m_run->isFinished())
        return;
    ExtractionResult result = m_run->takeResult();
    m_run.reset();
    using Outcome = ExtractionResult::Outcome;
    switch (result.outcome) {
    case Outcome::Stopped:
        m_stopped = true;
        return;
    case Outcome::ShortOfMemory:
        throw TolmError(QStringLiteral("Memoria insufficiente per le fatture estratte: restringere il periodo"));
    case Outcome::Complete:
    case Outcome::Failed:
        break;
    }
    cancontinue = result.everyTaxCode;
    dxMemDataFatture.adopt(std::move(result.records), std::move(result.checks), std::move(result.history));
    if (result.error)
        std::rethrow_exception(result.error);
}

void TDataModule1::stopExtraction()
{
    if (!m_run)
        return;
    m_run->abandon();
    m_run.reset();
    m_stopped = true;
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
