#pragma once

// The rules by which single values become bytes of the export file: the
// whole-value functions, and the inline pieces they share with RowWriter,
// which calls those for every field and amount.

#include "records/InvoiceRecord.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QtGlobal>

// An amount in ten-thousandths in its shortest decimal form with the
// locale's decimal separator: 100, 12,5, -30,25, 0,0001.
QString formatAmount(qint64 amount, const QLocale &locale);

// An amount in ten-thousandths rounded to whole units, a half going to the
// even neighbour: 0,5 gives 0, 1,5 and 2,5 give 2. A stamp-duty row is
// written when this is not zero.
qint64 nearestWholeUnits(qint64 amount);

// Appends one value and its ";" to a line being built. A ";" in the value is
// written as "," and a CR or LF as a blank, so no value can shift the
// columns or break the line.
void aggiungicampo(QByteArray &line, const QByteArray &value);

// Amounts of this magnitude (in ten-thousandths) and above have more than
// 15 significant digits and are rounded to 15.
constexpr quint64 kExactAmountLimit = 1000000000000000ULL;

// A value as aggiungicampo writes it: ";" becomes ",", CR and LF a blank, so
// no value can shift the columns or break the line.
inline void mendField(char *p, qsizetype size)
{
    for (char *end = p + size; p != end; ++p) {
        const char c = *p;
        if (c == ';')
            *p = ',';
        else if (c == '\r' || c == '\n')
            *p = ' ';
    }
}

// Decimal digits of value, most significant first.
inline char *putDigits(char *out, quint64 value)
{
    char digits[20];
    int count = 0;
    do {
        digits[count++] = char('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0)
        *out++ = digits[--count];
    return out;
}

// Keeps the first 15 significant digits of value, a dropped part of exactly
// one half going to the even neighbour; the dropped places become zeros.
inline quint64 roundToSignificantDigits(quint64 value)
{
    constexpr int kMaxSignificantDigits = 15;
    int digits = 1;
    for (quint64 rest = value; rest >= 10; rest /= 10)
        ++digits;
    const int excess = digits - kMaxSignificantDigits;
    if (excess <= 0)
        return value;
    quint64 unit = 1;
    for (int i = 0; i < excess; ++i)
        unit *= 10;
    quint64 kept = value / unit;
    const quint64 dropped = value % unit;
    const quint64 half = unit / 2;
    if (dropped > half || (dropped == half && (kept & 1)))
        ++kept;
    return kept * unit; // kept <= 10^15, unit <= 10^5: fits
}

// At most this many bytes besides the decimal separator: a sign, 15 digits
// of whole units and four decimals.
constexpr qsizetype kAmountDigitsBound = 1 + 15 + 4;

// An amount in ten-thousandths in its shortest decimal form, rounded to 15
// significant digits: 100, 12,5, -30,25, 0,0001. putPoint(out) writes the
// decimal separator and returns the end of what it wrote.
template <typename PutPoint>
inline char *putAmount(char *out, qint64 amount, PutPoint putPoint)
{
    const bool negative = amount < 0;
    // The magnitude, also for the most negative value.
    quint64 magnitude = negative ? quint64(-(amount + 1)) + 1 : quint64(amount);
    if (magnitude >= kExactAmountLimit)
        magnitude = roundToSignificantDigits(magnitude);
    if (negative)
        *out++ = '-';
    out = putDigits(out, magnitude / quint64(kMoneyScale));
    quint64 fraction = magnitude % quint64(kMoneyScale);
    if (fraction != 0) {
        int places = 4;
        while (fraction % 10 == 0) {
            fraction /= 10;
            --places;
        }
        out = putPoint(out);
        for (int i = places - 1; i >= 0; --i) {
            out[i] = char('0' + fraction % 10);
            fraction /= 10;
        }
        out += places;
    }
    return out;
}
