#include "records/InvoiceRecord.h"

#include "records/AmountText.h"

QString InvoiceRecord::exactTotalText() const
{
    AmountSum sum;
    for (const qint64 amount : {importo, bollo, importoiva, importora})
        sum.add(amount);
    return QStringLiteral("totale ") + exactAmountText(sum);
}
