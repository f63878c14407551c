#pragma once

#include <QChar>
#include <QLatin1StringView>
#include <QStyledItemDelegate>

class QFontMetrics;
class QTableView;

// How the main window's grid draws the invoice table: its cells and the
// widths of its columns.

// The grid's cells (DBGrid1DrawColumnCell): a cell with a background of its
// own (the column of the field "cf" in every row: red where the tax code is
// missing, orange where it cannot be right; the number of an invoice counted
// twice or under a repeated protocol, a cut VAT number: orange; the date of
// an invoice exported before: light blue or violet) keeps it in
// every row, the selected and current cell included, where a line in the
// selection's colour round the cell marks it.
// The other cells show the selection as usual.
class InvoiceCellDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

// Each column of the invoice table as wide as its field's display width in
// characters of the grid's font (a digit's width), and never narrower than
// its title. Tax codes and VAT numbers are measured as the widest tax code
// the font can show (nine letters, seven digits): capitals are wider than
// digits.
void fitInvoiceColumns(QTableView &grid);

// The character of characters with the widest advance in the font.
QChar widestOf(const QFontMetrics &metrics, QLatin1StringView characters);

inline const QLatin1StringView kCapitals("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
inline const QLatin1StringView kDigits("0123456789");
