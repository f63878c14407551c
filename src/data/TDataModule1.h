#pragma once

#include "records/AssociationTable.h"
#include "records/InvoiceTable.h"

#include <QDate>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class ConnectionWait;
class ExtractionListener;
class ExtractionRun;
class IBDatabase;
class IBTransaction;
class IBDataSet;
class TConfigurazione;

// The centre of the program: the settings, the connections, the heading
// association table and the invoice table. One instance, DataModule1, lives
// for the whole run; windows read and drive its members directly.
class TDataModule1 : public QObject
{
    Q_OBJECT

public:
    // Loads the client library (an error there propagates: start-up cannot go
    // on), then runs DataModuleCreate, whose errors go to the default error
    // report. The configuration database is attached on a worker thread;
    // wait, when given, is told when that takes long and waits for it.
    explicit TDataModule1(ConnectionWait *wait = nullptr, QObject *parent = nullptr);
    // Runs DataModuleDestroy (errors reported), then closes what is left.
    ~TDataModule1() override;

    // Extraction and export. Azione 1 extracts the invoices of the selected
    // heading between the two days and looks them up in the export journal,
    // 2 exports the invoice table and adds its invoices to the journal, 0
    // does both. The listener, when given, follows the read and may stop it.
    // The read runs on worker threads; this waits for it.
    void EstraiDati(int Azione, const QDate &dataDa, const QDate &DataAl, ExtractionListener *listener = nullptr);
    // True when the last read was stopped (by its listener or
    // stopExtraction()): the invoice table is empty and nothing was
    // exported.
    bool extractionStopped() const { return m_stopped; }

    // The window's way to extract: starts the read of the selected heading's
    // invoices between the two days on worker threads and returns at once,
    // the invoice table emptied; extractionFinished() says when the read has
    // ended, and finishExtraction() then takes its invoices into the table.
    // False, the message shown, when there is nothing to read (no sezionale,
    // no patient database); errors before the read propagate.
    bool beginExtraction(const QDate &dataDa, const QDate &DataAl, ExtractionListener *listener = nullptr);
    bool extractionRunning() const { return m_run != nullptr; }
    // Takes the ended read's invoices into the table, in one reset. Throws
    // its error: the records of the databases listed before the one that
    // failed stay, in order.
    void finishExtraction();
    // Stops the running read at once: the table stays empty, the listener
    // hears nothing more, and the read's threads end on their own (one that
    // waits on a server, when the server answers or gives up).
    void stopExtraction();

    // Reloads the association table from the configuration database and the
    // stored associations.
    void leggiintestazioni();
    // Writes the association table to [AssSezionale] and reloads listasez.
    void Riscriviintestazioni();

    // Empties the invoice table and closes the extraction query (a heading
    // change or the settings dialog).
    void closeExtraction();

    // The patient databases' names in list order; empty when no
    // configuration database is set.
    QStringList databaseNames() const;

    std::unique_ptr<TConfigurazione> configurazione;

    std::unique_ptr<IBDatabase> IBDatabaseConfig;
    std::unique_ptr<IBTransaction> IBTransactionConfig;
    std::unique_ptr<IBDataSet> IBDataSetIntest;
    AssociationTable MTableAssIntest;

    // Patient connections and their transactions, item i with item i; the
    // lists exist only when a configuration database is set.
    std::optional<std::vector<std::unique_ptr<IBDatabase>>> listDB;
    std::optional<std::vector<std::unique_ptr<IBTransaction>>> listTR;

    std::unique_ptr<IBDataSet> IBDataSetExport;
    InvoiceTable dxMemDataFatture;
    // True while every invoice of the current extraction has a tax code.
    bool cancontinue = false;

    // The extraction query's text.
    static const char *const kExtractionSql;

signals:
    // The read begun by beginExtraction() has ended: call
    // finishExtraction().
    void extractionFinished();

private:
    void DataModuleCreate();
    void DataModuleDestroy();
    void leggidatabase();
    void openConfigDatabase();
    void liberadatabase();
    // The invoice table exported into file: marked so, and a line for each
    // invoice added to the export journal.
    void recordExport(const QString &file);

    ConnectionWait *m_connectionWait;
    // The running read, until its invoices are taken or it is stopped.
    std::shared_ptr<ExtractionRun> m_run;
    quint64 m_runNumber = 0;
    bool m_stopped = false;
};

// The one data module of the run.
extern TDataModule1 *DataModule1;
