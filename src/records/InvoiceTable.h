#pragma once

#include "records/ExportHistory.h"
#include "records/InvoiceChecks.h"
#include "records/InvoiceRecord.h"

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

// The invoice table: the extracted invoices in date, then number order
// (records with equal date and number in the order they were added). A
// table that was never opened has no columns. Whoever shows it listens to
// its signals.
//
// Filling: beginFill() empties the table and says aboutToReset(), append()
// adds records, endFill() puts them in order and says reset(), once. Nothing
// changes for a listener between the two calls; the records appended count
// (size(), at(), records()) once endFill() has put them in place. An
// append() outside a filling adds the record at the end at once, between
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
        m_staging.back()[m_stagedInLast++] = record;
    }
    // lookUp, when given, finds the records' earlier exports once they
    // stand in order, before the reset is said.
    using HistoryLookUp = std::function<ExportHistory(const std::vector<InvoiceRecord> &)>;
    void endFill(const HistoryLookUp &lookUp = {});

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

    // Columns of the table: ColumnCount once opened, else none.
    int columnCount() const { return m_open ? ColumnCount : 0; }

signals:
    void aboutToReset();
    void reset();
    // Now and then while endFill() puts the records in order, a step of a
    // few tens of milliseconds apart: a listener may run the event loop to
    // keep a window alive, but must not touch the table meanwhile.
    void ordering();
    void rowsAboutToBeAppended(qsizetype first, qsizetype last);
    void rowsAppended();
    void exportHistoryChanged();

private:
    void appendNow(const InvoiceRecord &record);
    // Date, then number, then order of addition; leaves no spare room.
    void putInOrder();
    // Empties the table and gives its memory back.
    void releaseRecords();
    void newStagingBlock();

    // Records appended during a filling wait in blocks that never move, so
    // the table grows without copying and without spare room; endFill()
    // copies them once, in order, into m_records.
    static constexpr size_t kStagingBlock = 4096;
    std::vector<std::unique_ptr<InvoiceRecord[]>> m_staging;
    size_t m_stagedInLast = kStagingBlock;

    std::vector<InvoiceRecord> m_records;
    InvoiceChecks m_checks;
    ExportHistory m_history;
    bool m_open = false;
    bool m_filling = false;
};
