#pragma once

#include "records/ExportHistory.h"
#include "records/InvoiceChecks.h"
#include "records/InvoiceRecord.h"

#include <QObject>

#include <cstddef>
#include <functional>
#include <memory>
#include <new>
#include <type_traits>
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
        if (m_stagedInLast == kStagingBlock)
            newStagingBlock();
        new (m_staging.back().slot(m_stagedInLast++)) InvoiceRecord(record);
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

    // Records a filling takes in one block (see m_staging).
    static constexpr size_t kStagingBlock = (size_t(32) << 20) / sizeof(InvoiceRecord);

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
    // Date, then number, then order of addition; leaves no spare room. False
    // when goOn stopped it, with nothing moved into the table.
    bool putInOrder(const std::function<bool()> &goOn);
    // Empties the table and gives its memory back.
    void releaseRecords();
    void newStagingBlock();

    // Records appended during a filling wait in blocks that never move, so
    // the table grows without copying and without spare room; endFill()
    // copies them once, in order, into m_records. A block's memory is left
    // as it comes until a record is copied in, and is backed by large pages
    // where the system offers them; blocks this large come from the system
    // itself and go back to it when freed.
    static_assert(std::is_trivially_copyable_v<InvoiceRecord> && std::is_trivially_destructible_v<InvoiceRecord>);
    static constexpr size_t kStagingBytes = kStagingBlock * sizeof(InvoiceRecord);
    class StagingBlock
    {
    public:
        StagingBlock();
        void *slot(size_t i) { return m_bytes.get() + i * sizeof(InvoiceRecord); }
        const InvoiceRecord &at(size_t i) const
        {
            return *std::launder(reinterpret_cast<const InvoiceRecord *>(m_bytes.get() + i * sizeof(InvoiceRecord)));
        }

    private:
        std::unique_ptr<std::byte[]> m_bytes;
    };
    std::vector<StagingBlock> m_staging;
    size_t m_stagedInLast = kStagingBlock;

    std::vector<InvoiceRecord> m_records;
    // During a filling: the earlier records' memory, emptied (see beginFill).
    std::vector<InvoiceRecord> m_spare;
    InvoiceChecks m_checks;
    ExportHistory m_history;
    bool m_open = false;
    bool m_filling = false;
};
