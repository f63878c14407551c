#include "models/InvoiceGrid.h"

#include "records/InvoiceTable.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QPainter>
#include <QStyle>
#include <QTableView>

#include <algorithm>

void InvoiceCellDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (!index.data(Qt::BackgroundRole).isValid()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem plain = option;
    plain.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
    QStyledItemDelegate::paint(painter, plain, index);
    if (option.state & (QStyle::State_Selected | QStyle::State_HasFocus)) {
        painter->save();
        painter->setPen(option.palette.color(QPalette::Highlight));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
        painter->restore();
    }
}

void fitInvoiceColumns(QTableView &grid)
{
    const QFontMetrics metrics = grid.fontMetrics();
    const QFontMetrics titleMetrics = grid.horizontalHeader()->fontMetrics();
    // The item delegate's text margin on both sides, the grid line and one
    // pixel to spare.
    const int textMargin = grid.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &grid) + 1;
    const int padding = 2 * textMargin + 2;
    const int headerMargin = grid.style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, &grid);
    const QChar capital = widestOf(metrics, kCapitals);
    const QChar digit = widestOf(metrics, kDigits);
    for (int c = 0; c < InvoiceTable::ColumnCount; ++c) {
        const auto &field = InvoiceTable::field(c);
        const bool code = c == InvoiceTable::ColCf || c == InvoiceTable::ColPIva;
        const int codeDigits = field.displayWidth * 7 / 16;
        const int content = code ? metrics.horizontalAdvance(QString(field.displayWidth - codeDigits, capital)
                                                             + QString(codeDigits, digit))
                                 : metrics.horizontalAdvance(QString(field.displayWidth, QLatin1Char('0')));
        const int title = titleMetrics.horizontalAdvance(QString::fromLatin1(field.label)) + 2 * headerMargin;
        grid.setColumnWidth(c, std::max(content + padding, title));
    }
}

QChar widestOf(const QFontMetrics &metrics, QLatin1StringView characters)
{
    QChar widest = QLatin1Char(characters.front());
    for (const char c : characters) {
        if (metrics.horizontalAdvance(QLatin1Char(c)) > metrics.horizontalAdvance(widest))
            widest = QLatin1Char(c);
    }
    return widest;
}
