#pragma once

#include "data/InvoiceRecord.h"

#include <QAbstractTableModel>
#include <QLocale>
#include <QString>

#include <memory>
#include <vector>

// The invoice table: the extracted invoices in date, then number order
// (records with equal date and number in the order they were added), shown
// read-only by the main grid. A table that was never opened has no columns.
//
// Filling: beginFill() empties the table, append() adds records, endFill()
// puts them in order and resets the model once. Views see nothing between
// the two calls; the records appended count (size(), at(), records()) once
// endFill() has put them in place. An append() outside a filling adds the
// record at the end at once.
class InvoiceTable : public QAbstractTableModel
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

    bool isOpen() const { return m_open; }
    // Close and reopen: the table is open and empty afterwards.
    void reopen();

    void beginFill();
    void append(const InvoiceRecord &record)
    {
        if (!m_filling) {
            m_records.push_back(record);
            return;
        }
        if (m_stagedInLast == kStagingBlock)
            newStagingBlock();
        m_staging.back()[m_stagedInLast++] = record;
    }
    void endFill();

    qsizetype size() const { return qsizetype(m_records.size()); }
    bool isEmpty() const { return m_records.empty(); }
    const InvoiceRecord &at(qsizetype row) const { return m_records[size_t(row)]; }
    const std::vector<InvoiceRecord> &records() const { return m_records; }

    // Locale for the grid's texts (currency and short date formats).
    void setDisplayLocale(const QLocale &locale) { m_locale = locale; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The text of a cell as the grid shows it.
    QString displayText(qsizetype row, int column) const;

private:
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
    QLocale m_locale;
    bool m_open = false;
    bool m_filling = false;
};
