// How single values become the text of the export file: amounts and the
// field separator.
#include "export/ExportText.h"

qint64 nearestWholeUnits(qint64 amount)
{
    const qint64 whole = amount / kMoneyScale; // towards zero
    const qint64 rest = amount % kMoneyScale;  // same sign as amount
    const qint64 half = kMoneyScale / 2;
    if (rest > half || (rest == half && (whole & 1)))
        return whole + 1;
    if (rest < -half || (rest == -half && (whole & 1)))
        return whole - 1;
    return whole;
}

QString formatAmount(qint64 amount, const QLocale &locale)
{
    const QByteArray point = locale.decimalPoint().toUtf8();
    QByteArray text(kAmountDigitsBound + point.size(), Qt::Uninitialized);
    const char *const end = putAmount(text.data(), amount, point);
    return QString::fromUtf8(text.constData(), end - text.constData());
}

void aggiungicampo(QByteArray &line, const QByteArray &value)
{
    const qsizetype start = line.size();
    line.append(value);
    mendField(line.data() + start, value.size());
    line.append(';');
}
