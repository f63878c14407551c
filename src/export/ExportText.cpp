// How single values become the text of the export file: dates, amounts and
// the field separator.
#include "export/ExportFile.h"

#include "platform/AnsiCodePage.h"

namespace {
constexpr int kMaxSignificantDigits = 15;

int digitCount(quint64 value)
{
    int digits = 1;
    while (value >= 10) {
        value /= 10;
        ++digits;
    }
    return digits;
}

quint64 powerOfTen(int exponent)
{
    quint64 result = 1;
    while (exponent-- > 0)
        result *= 10;
    return result;
}

// Keeps the first 15 significant digits of value, a dropped part of exactly
// one half going to the even neighbour; the dropped places become zeros.
quint64 roundToSignificantDigits(quint64 value)
{
    const int excess = digitCount(value) - kMaxSignificantDigits;
    if (excess <= 0)
        return value;
    const quint64 unit = powerOfTen(excess);
    quint64 kept = value / unit;
    const quint64 dropped = value % unit;
    const quint64 half = unit / 2;
    if (dropped > half || (dropped == half && (kept & 1)))
        ++kept;
    return kept * unit; // kept <= 10^15, unit <= 10^5: fits
}
} // namespace

qint64 interoPiuVicino(qint64 amount)
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

QString testoImporto(qint64 amount, const QLocale &locale)
{
    const bool negative = amount < 0;
    // The magnitude, also for the most negative value.
    const quint64 magnitude = negative ? quint64(-(amount + 1)) + 1 : quint64(amount);
    const quint64 rounded = roundToSignificantDigits(magnitude);

    QString text;
    if (negative && rounded != 0)
        text += QLatin1Char('-');
    text += QString::number(rounded / kMoneyScale);

    quint64 fraction = rounded % kMoneyScale;
    if (fraction != 0) {
        int places = 4;
        while (fraction % 10 == 0) {
            fraction /= 10;
            --places;
        }
        text += locale.decimalPoint();
        text += QStringLiteral("%1").arg(fraction, places, 10, QLatin1Char('0'));
    }
    return text;
}

void aggiungicampo(QByteArray &line, const QByteArray &value)
{
    const qsizetype start = line.size();
    line.append(value);
    // A value may not shift the columns nor break the line: a separator in
    // it becomes a comma, a line break a blank.
    char *p = line.data() + start;
    char *const end = line.data() + line.size();
    for (; p != end; ++p) {
        if (*p == ';')
            *p = ',';
        else if (*p == '\r' || *p == '\n')
            *p = ' ';
    }
    line.append(';');
}
