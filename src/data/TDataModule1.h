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

class ExtractionListener;
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
    // report.
    explicit TDataModule1(QObject *parent = nullptr);
    // Runs DataModuleDestroy (errors reported), then closes what is left.
    ~TDataModule1() override;

    // Extraction and export. Azione 1 extracts the invoices of the selected
    // heading between the two days and looks them up in the export journal,
    // 2 exports the invoice table and adds its invoices to the journal, 0
    // does both. The listener, when given, follows the read and may stop it.
    void EstraiDati(int Azione, const QDate &dataDa, const QDate &DataAl, ExtractionListener *listener = nullptr);
    // True when the listener stopped the read of the last EstraiDati(): the
    // invoice table is empty and nothing was exported.
    bool extractionStopped() const { return m_stopped; }

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

private:
    void DataModuleCreate();
    void DataModuleDestroy();
    void leggidatabase();
    void openConfigDatabase();
    void liberadatabase();
    bool readDatabases(const QDate &dataDa, const QDate &DataAl);
    bool extractFrom(IBDatabase &database, IBTransaction &transaction, quint16 source, const QDate &dataDa,
                     const QDate &DataAl, const QString &intestazione);
    bool goOn();
    // The invoice table exported into file: marked so, and a line for each
    // invoice added to the export journal.
    void recordExport(const QString &file);

    // The running extraction: who follows it and how far it has come.
    bool m_extracting = false;
    bool m_stopped = false;
    ExtractionListener *m_listener = nullptr;
    int m_database = 0;
    qint64 m_invoicesRead = 0;
};

// The one data module of the run.
extern TDataModule1 *DataModule1;
