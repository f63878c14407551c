#pragma once

#include "records/ExportHistory.h"
#include "records/InvoiceChecks.h"
#include "records/InvoiceRecord.h"
#include "records/InvoiceStaging.h"

#include <QObject>

#include <cstddef>
#include <functional>
#include <vector>

// The invoice table: the extracted invoices in date, then number order
// (records with equal date and number in the order they were added). A
// table that was never opened has no columns. Whoever shows it listens to
// its signals.
//
// Filling: beginFill() empties the table and says aboutToReset(), append()
// adds records, endFill() puts them in order and says reset(), once; or
// abandonFill() drops them and says reset(). Nothing changes for a listener
// between the two calls; the records appended count (size(), at(),
// records()) once endFill() has put them in place. An append() outside a
// filling adds the record at the end at once, between
// rowsAboutToBeAppended() and rowsAppended().
class InvoiceTable : public QObject
{
    Q_OBJECT

public:
    enum Column {
        ColData, ColNumero, ColApice, ColCognome, ColNome, ColCf,
        ColImporto, ColBollo, ColImportoiva, ColImportora, ColTotale,
        ColPIva, ColDescrizione, ColIndirizzo, ColCap, ColCitta, ColProvincia,
        ColumnCount
    };

    struct Field {
        const char *name;  // field name
        const char *label; // display label: the grid's column title
        int size;          // text fields: maximum length; others 0
        int displayWidth;  // in characters
    };
    static const Field &field(int column);

    explicit InvoiceTable(QObject *parent = nullptr);
    ~InvoiceTable() override;

    bool isOpen() const { return m_open; }
    // Close and reopen: the table is open and empty afterwards.
    void reopen();

    void beginFill();
    void append(const InvoiceRecord &record)
    {
        if (!m_filling) {
            appendNow(record);
            return;
        }
        m_staging.append(record);
    }
    // Puts the records appended in order, checks them, finds their earlier
    // exports through lookUp when given, and says reset(). goOn, when given,
    // is called between the steps of the ordering, a few tens of
    // milliseconds apart: when it answers false, the filling is abandoned
    // and endFill() returns false. Short of memory, the filling is abandoned
    // too and std::bad_alloc goes on to the caller; any other error of
    // lookUp leaves the records in place and goes on to the caller.
    using HistoryLookUp = std::function<ExportHistory(const std::vector<InvoiceRecord> &)>;
    bool endFill(const std::function<bool()> &goOn = {}, const HistoryLookUp &lookUp = {});
    // Ends a filling keeping nothing: the table is open and empty, its
    // memory given back, and says reset().
    void abandonFill();

    // A read made elsewhere (on other threads): the table is emptied and
    // opened at once, and the earlier records' memory, emptied, is handed
    // over for the read's ordered copy (see putInOrder()).
    std::vector<InvoiceRecord> emptyForRead();
    // Takes the invoices of such a read, in order and checked, in one
    // reset.
    void adopt(std::vector<InvoiceRecord> records, InvoiceChecks checks, ExportHistory history);

    qsizetype size() const { return qsizetype(m_records.size()); }
    bool isEmpty() const { return m_records.empty(); }
    const InvoiceRecord &at(qsizetype row) const { return m_records[size_t(row)]; }
    const std::vector<InvoiceRecord> &records() const { return m_records; }
    // What the accounting package would reject in the records, checked once
    // they stand in place (at the end of a filling, after an append).
    const InvoiceChecks &checks() const { return m_checks; }
    // The records' earlier exports, as the export journal told them at the
    // end of the filling, and since then the exports of the table.
    const ExportHistory &exportHistory() const { return m_history; }
    // Every record exported now: says exportHistoryChanged().
    void markExported(const QDate &day, const QTime &time, const QString &file);

    // Records a filling takes in one block.
    static constexpr size_t kStagingBlock = InvoiceStaging::kBlock;

    // Columns of the table: ColumnCount once opened, else none.
    int columnCount() const { return m_open ? ColumnCount : 0; }

signals:
    void aboutToReset();
    void reset();
    void rowsAboutToBeAppended(qsizetype first, qsizetype last);
    void rowsAppended();
    void exportHistoryChanged();

private:
    void appendNow(const InvoiceRecord &record);
    // Empties the table and gives its memory back.
    void releaseRecords();

    InvoiceStaging m_staging;
    std::vector<InvoiceRecord> m_records;
    // During a filling: the earlier records' memory, emptied (see beginFill).
    std::vector<InvoiceRecord> m_spare;
    InvoiceChecks m_checks;
    ExportHistory m_history;
    bool m_open = false;
    bool m_filling = false;
};
