#include "records/InvoiceRecord.h"

QString InvoiceRecord::exactTotalText() const
{
    // Units and ten-thousandths summed apart: four amounts of qint64 give
    // units far within its range and a remainder below 4 * kMoneyScale.
    qint64 units = 0;
    qint64 rest = 0;
    for (const qint64 amount : {importo, bollo, importoiva, importora}) {
        units += amount / kMoneyScale;
        rest += amount % kMoneyScale;
    }
    units += rest / kMoneyScale;
    rest %= kMoneyScale;
    // Both parts take the sign of the whole.
    if (units > 0 && rest < 0) {
        --units;
        rest += kMoneyScale;
    } else if (units < 0 && rest > 0) {
        ++units;
        rest -= kMoneyScale;
    }
    const bool negative = units < 0 || rest < 0;
    const QString whole = (negative ? QStringLiteral("-") : QString()) + QString::number(units < 0 ? -units : units);
    return QStringLiteral("totale %1,%2").arg(whole).arg(rest < 0 ? -rest : rest, 4, 10, QLatin1Char('0'));
}
