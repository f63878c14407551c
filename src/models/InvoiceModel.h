#pragma once

#include "records/AmountText.h"
#include "records/InvoiceTable.h"

#include <QAbstractTableModel>
#include <QLocale>
#include <QString>
#include <QStringList>

// The invoice table as the main grid shows it, read-only: dates and amounts
// in the user's formats, a missing tax code in red; in orange, with a tooltip
// that says why, a tax code that cannot be right or was cut, a VAT number
// that was cut, and the number of an invoice counted twice or exported under
// the same protocol as another; the date of an invoice exported before in
// light blue, violet where its total was another then, with a tooltip that
// says when, where and with what total. Follows the table's signals: one
// reset per extraction.
class InvoiceModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit InvoiceModel(const InvoiceTable &table, QObject *parent = nullptr);

    const InvoiceTable &table() const { return m_table; }

    // Locale for the grid's texts (currency and short date formats).
    void setDisplayLocale(const QLocale &locale);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The text of a cell as the grid shows it.
    QString displayText(qsizetype row, int column) const;

    // Names of the databases the records were read from, in list order, for
    // the tooltip of an invoice counted twice.
    void setSourceNames(const QStringList &names) { m_sourceNames = names; }

private:
    // The tooltip of a number: the invoice counted twice, or exported under
    // the protocol of another; empty when neither.
    QString numeroTip(qsizetype row) const;
    // The tooltip of a date: when and where the invoice was exported before,
    // and the total it had then where it has another now; empty when never.
    QString dataTip(qsizetype row) const;

    const InvoiceTable &m_table;
    QLocale m_locale;
    CurrencyFormat m_currency;
    QStringList m_sourceNames;
};
