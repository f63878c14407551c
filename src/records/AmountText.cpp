// Own code where Qt's is a double: QLocale writes a currency amount from a
// double, which cannot hold ten-thousandths, nor sums past 2^53, exactly.
#include "records/AmountText.h"

#include <QByteArray>

#include <algorithm>

namespace {

// Divides the 128 bits high:low by divisor (below 2^32) in place, 32 bits at
// a time; returns the remainder.
quint64 divide(quint64 &high, quint64 &low, quint64 divisor)
{
    quint64 rest = 0;
    for (quint64 *half : {&high, &low}) {
        const quint64 upper = rest << 32 | *half >> 32;
        const quint64 lower = (upper % divisor) << 32 | (*half & 0xFFFFFFFFu);
        *half = (upper / divisor) << 32 | lower / divisor;
        rest = lower % divisor;
    }
    return rest;
}

// The decimal digits of the 128 bits high:low.
QByteArray digitsOf(quint64 high, quint64 low)
{
    // Nine digits at a time, the least significant first: 2^128 has 39.
    constexpr quint64 kNineDigits = 1000000000;
    std::array<quint64, 5> chunks{};
    int count = 0;
    do {
        chunks[size_t(count++)] = divide(high, low, kNineDigits);
    } while (high != 0 || low != 0);
    QByteArray text = QByteArray::number(chunks[size_t(count - 1)]);
    for (int i = count - 2; i >= 0; --i)
        text += QByteArray::number(chunks[size_t(i)]).rightJustified(9, '0');
    return text;
}

} // namespace

void AmountSum::add(qint64 amount)
{
    const quint64 low = m_low + quint64(amount);
    const quint64 carry = low < m_low ? 1 : 0;
    // The amount's own upper half: all ones for a negative amount.
    const quint64 high = amount < 0 ? ~quint64(0) : 0;
    m_low = low;
    m_high += high + carry;
}

AmountParts AmountSum::parts() const
{
    AmountParts parts;
    parts.negative = (m_high >> 63) != 0;
    quint64 low = m_low;
    quint64 high = m_high;
    if (parts.negative) {
        // The magnitude: -2^127 too stands as an unsigned 2^127.
        low = ~low + 1;
        high = ~high + (low == 0 ? 1 : 0);
    }
    parts.fraction = int(divide(high, low, quint64(kMoneyScale)));
    parts.unitsHigh = high;
    parts.unitsLow = low;
    return parts;
}

QString exactAmountText(const AmountSum &sum)
{
    const AmountParts parts = sum.parts();
    QByteArray text = digitsOf(parts.unitsHigh, parts.unitsLow) + ','
                      + QByteArray::number(parts.fraction).rightJustified(kMoneyDecimals, '0');
    if (parts.negative)
        text.prepend('-');
    return QString::fromLatin1(text);
}

CurrencyFormat::CurrencyFormat(const QLocale &locale)
    : m_locale(locale)
{
    for (int digit = 0; digit < 10; ++digit)
        m_digits[size_t(digit)] = locale.toString(digit);
    // One unit is exact in a double, so the locale's own text of it shows
    // the format undisturbed.
    m_positive = patternOf(locale.toCurrencyString(1.0));
    m_negative = patternOf(locale.toCurrencyString(-1.0));
}

CurrencyFormat::Pattern CurrencyFormat::patternOf(const QString &oneUnit)
{
    const qsizetype at = oneUnit.indexOf(m_digits[1]);
    if (at < 0)
        return {};
    // The one, and the decimal separator with the zeros of the decimals.
    qsizetype end = at + m_digits[1].size();
    const QString point = m_locale.decimalPoint();
    int decimals = 0;
    if (QStringView(oneUnit).sliced(end).startsWith(point)) {
        qsizetype next = end + point.size();
        while (QStringView(oneUnit).sliced(next).startsWith(m_digits[0])) {
            ++decimals;
            next += m_digits[0].size();
        }
        if (decimals > 0)
            end = next;
    }
    m_decimals = decimals;
    return {oneUnit.left(at), oneUnit.mid(end)};
}

QString CurrencyFormat::text(const AmountSum &sum) const
{
    AmountParts parts = sum.parts();
    const int shown = std::min(m_decimals, kMoneyDecimals);
    const qint64 step = kMoneyPerStep[size_t(shown)];
    qint64 kept = (parts.fraction + step / 2) / step;
    if (kept * step == kMoneyScale) {
        kept = 0;
        if (++parts.unitsLow == 0)
            ++parts.unitsHigh;
    }
    QString number = wholeText(parts.unitsHigh, parts.unitsLow);
    if (m_decimals > 0) {
        char fraction[kIntegerBound];
        const char *end = putDigits(fraction, quint64(kept));
        number += m_locale.decimalPoint() + m_digits[0].repeated(shown - (end - fraction))
                  + localDigits(QByteArrayView(fraction, end)) + m_digits[0].repeated(m_decimals - shown);
    }
    const bool negative = parts.negative && (parts.unitsHigh != 0 || parts.unitsLow != 0 || kept != 0);
    const Pattern &pattern = negative ? m_negative : m_positive;
    return pattern.prefix + number + pattern.suffix;
}

QString CurrencyFormat::wholeText(quint64 high, quint64 low) const
{
    if (high == 0)
        return m_locale.toString(qulonglong(low));
    // Past 64 bits, which QLocale does not write: grouped by three.
    const QByteArray digits = digitsOf(high, low);
    const bool grouped = !(m_locale.numberOptions() & QLocale::OmitGroupSeparator);
    QString text;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (grouped && i > 0 && (digits.size() - i) % 3 == 0)
            text += m_locale.groupSeparator();
        text += localDigits(QByteArrayView(digits).sliced(i, 1));
    }
    return text;
}

QString CurrencyFormat::localDigits(QByteArrayView digits) const
{
    QString text;
    for (const char c : digits)
        text += m_digits[size_t(c - '0')];
    return text;
}
