#pragma once

// How whole numbers and amounts of money become text, without a double on
// the way: the digits written straight into a buffer for the export file and
// the journal, the exact sum of many amounts, and the currency text of the
// grid and of the line under it.

#include "platform/Money.h"

#include <QByteArrayView>
#include <QLocale>
#include <QString>

#include <array>
#include <cstring>

// ---- Whole numbers ----------------------------------------------------------

// At most this many bytes: a sign and the 19 digits of 64 bits.
constexpr qsizetype kIntegerBound = 20;

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

// A whole number: its digits, with a leading minus sign when negative.
inline char *putInteger(char *out, qint64 value)
{
    if (value < 0) {
        *out++ = '-';
        return putDigits(out, quint64(-(value + 1)) + 1); // also the most negative value
    }
    return putDigits(out, quint64(value));
}

// ---- Amounts in their shortest form -----------------------------------------

// Amounts of this magnitude (in ten-thousandths) and above have more than
// 15 significant digits and are rounded to 15.
constexpr quint64 kExactAmountLimit = 1000000000000000ULL;

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
constexpr qsizetype kAmountDigitsBound = 1 + 15 + kMoneyDecimals;

// An amount in ten-thousandths in its shortest decimal form, rounded to 15
// significant digits, with point as its decimal separator: 100, 12,5,
// -30,25, 0,0001; never an exponent.
inline char *putAmount(char *out, qint64 amount, QByteArrayView point)
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
        int places = kMoneyDecimals;
        while (fraction % 10 == 0) {
            fraction /= 10;
            --places;
        }
        std::memcpy(out, point.data(), size_t(point.size()));
        out += point.size();
        for (int i = places - 1; i >= 0; --i) {
            out[i] = char('0' + fraction % 10);
            fraction /= 10;
        }
        out += places;
    }
    return out;
}

// ---- Sums -------------------------------------------------------------------

// An amount split for its text: the sign, the whole units of its magnitude
// (in two 64-bit halves) and the ten-thousandths left over.
struct AmountParts
{
    bool negative = false;
    quint64 unitsHigh = 0;
    quint64 unitsLow = 0;
    int fraction = 0; // 0 to kMoneyScale - 1
};

// A sum of qint64 amounts that cannot wrap, however many are added: 128 bits
// held in two 64-bit halves, so that it needs no 128-bit integer type of the
// compiler (32-bit builds have none).
class AmountSum
{
public:
    AmountSum() = default;
    explicit AmountSum(qint64 amount) { add(amount); }

    void add(qint64 amount);
    AmountParts parts() const;

private:
    // The sum in two's complement: the upper half carries the sign.
    quint64 m_low = 0;
    quint64 m_high = 0;
};

// The exact sum with its four decimals after a comma, whatever the locale:
// 12,5000, -0,0045.
QString exactAmountText(const AmountSum &sum);

// ---- Currency ---------------------------------------------------------------

// Amounts in a locale's currency format, as QLocale::toCurrencyString
// writes a number: the symbol and the sign where the locale puts them, the
// locale's digits and grouping, and its number of currency decimals, the
// amount rounded to them half away from zero. The format is learned once
// from the locale's text for one unit of either sign.
class CurrencyFormat
{
public:
    explicit CurrencyFormat(const QLocale &locale = QLocale());

    QString text(qint64 amount) const { return text(AmountSum(amount)); }
    QString text(const AmountSum &sum) const;

private:
    // What stands before and after the number.
    struct Pattern
    {
        QString prefix;
        QString suffix;
    };

    Pattern patternOf(const QString &oneUnit);
    QString wholeText(quint64 high, quint64 low) const;
    QString localDigits(QByteArrayView digits) const;

    QLocale m_locale;
    std::array<QString, 10> m_digits;
    int m_decimals = 2;
    Pattern m_positive;
    Pattern m_negative;
};
