// Own parsers where QLocale's are strict: a journal saved by a spreadsheet
// may mix separators, euro signs and shortened dates that no one locale reads.
#include "export/JournalParsers.h"

#include "platform/Money.h"

#include <QDate>

#include <algorithm>
#include <limits>

namespace {

// At most this many digits and separators in an amount.
constexpr int kAmountChars = 40;

// The digits and separators of an amount into kept, its sign apart; blanks,
// no-break spaces, euro signs and a plus sign are passed over. False at any
// other character, a second minus sign or too many characters.
bool keepDigits(QByteArrayView text, char (&kept)[kAmountChars], int &count, bool &negative)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (isBlank(char(c)) || c == '+' || c == 0xA0 || c == 0x80) // blanks, 1252's no-break space and euro
            continue;
        if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xA0) {
            ++i; // UTF-8 no-break space
            continue;
        }
        if (c == 0xE2 && text.sliced(i).startsWith("\xE2\x82\xAC")) {
            i += 2; // UTF-8 euro
            continue;
        }
        if (c == '-') {
            if (negative)
                return false;
            negative = true;
            continue;
        }
        if ((c < '0' || c > '9') && c != '.' && c != ',')
            return false;
        if (count == kAmountChars)
            return false;
        kept[count++] = char(c);
    }
    return true;
}

// Where the decimal separator stands among the digits: the later of the two
// kinds, or the only one where it stands once; -1 where there is none. False
// when it stands again among the thousands.
bool findPoint(QByteArrayView digits, qsizetype &point)
{
    const qsizetype lastDot = digits.lastIndexOf('.');
    const qsizetype lastComma = digits.lastIndexOf(',');
    point = -1;
    if (lastDot >= 0 && lastComma >= 0)
        point = std::max(lastDot, lastComma);
    else if (lastDot >= 0 && digits.count('.') == 1)
        point = lastDot;
    else if (lastComma >= 0 && digits.count(',') == 1)
        point = lastComma;
    return point < 0 || !digits.sliced(0, point).contains(digits[point]);
}

// The digits, the thousands' separators passed over, as ten-thousandths: at
// most 15 whole digits and four decimals, at least one digit.
bool toTenThousandths(QByteArrayView digits, qsizetype point, quint64 &magnitude)
{
    quint64 units = 0;
    int wholeDigits = 0;
    for (qsizetype i = 0; i < (point >= 0 ? point : digits.size()); ++i) {
        if (digits[i] == '.' || digits[i] == ',')
            continue;
        if (++wholeDigits > 15)
            return false;
        units = units * 10 + quint64(digits[i] - '0');
    }
    quint64 fraction = 0;
    int places = 0;
    if (point >= 0) {
        for (qsizetype i = point + 1; i < digits.size(); ++i) {
            if (digits[i] < '0' || digits[i] > '9' || ++places > kMoneyDecimals)
                return false;
            fraction = fraction * 10 + quint64(digits[i] - '0');
        }
    }
    if (wholeDigits + places == 0)
        return false;
    // Fifteen digits and four decimals stay below 2^64.
    magnitude = units * quint64(kMoneyScale) + fraction * quint64(kMoneyPerStep[size_t(places)]);
    return true;
}

// Up to maxDigits digits (at least one) at p.
bool readNumber(const char *&p, const char *end, int maxDigits, int &value, int &digits)
{
    value = 0;
    digits = 0;
    while (p != end && *p >= '0' && *p <= '9' && digits < maxDigits) {
        value = value * 10 + (*p++ - '0');
        ++digits;
    }
    return digits > 0;
}

bool isDateSeparator(char c)
{
    return c == '/' || c == '-' || c == '.';
}

struct Moment
{
    int year = 0, month = 0, day = 0;
    int hours = 0, minutes = 0, seconds = 0;
};

// The day at p: day, month and a year of two or four digits, or a year of
// four digits, month and day; "/", "-" or "." between them.
bool readDay(const char *&p, const char *end, Moment &m)
{
    int first, second, third, firstDigits, thirdDigits, digits;
    if (!readNumber(p, end, 4, first, firstDigits) || p == end || !isDateSeparator(*p++)
        || !readNumber(p, end, 2, second, digits) || p == end || !isDateSeparator(*p++)
        || !readNumber(p, end, 4, third, thirdDigits))
        return false;
    m.month = second;
    if (firstDigits == 4) {
        m.year = first;
        m.day = third;
        return thirdDigits <= 2;
    }
    if (firstDigits > 2 || (thirdDigits != 2 && thirdDigits != 4))
        return false;
    m.day = first;
    m.year = thirdDigits == 2 ? 2000 + third : third;
    return true;
}

// The time at p: hours and minutes, then seconds with a fraction that is
// passed over.
bool readTime(const char *&p, const char *end, Moment &m)
{
    int digits;
    if (!readNumber(p, end, 2, m.hours, digits) || p == end || *p++ != ':'
        || !readNumber(p, end, 2, m.minutes, digits) || digits != 2)
        return false;
    if (p == end || *p != ':')
        return true;
    ++p;
    if (!readNumber(p, end, 2, m.seconds, digits) || digits != 2)
        return false;
    if (p != end && (*p == '.' || *p == ',')) { // a fraction of a second
        ++p;
        while (p != end && *p >= '0' && *p <= '9')
            ++p;
    }
    return true;
}

} // namespace

bool parseInteger(QByteArrayView text, qint64 min, qint64 max, qint64 &value)
{
    text = withoutBlanks(text);
    bool negative = false;
    if (!text.isEmpty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text = text.sliced(1);
    }
    if (text.isEmpty() || text.size() > 18)
        return false;
    qint64 magnitude = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        magnitude = magnitude * 10 + (c - '0');
    }
    value = negative ? -magnitude : magnitude;
    return value >= min && value <= max;
}

bool parseAmount(QByteArrayView text, qint64 &value)
{
    char kept[kAmountChars];
    int count = 0;
    bool negative = false;
    if (!keepDigits(text, kept, count, negative))
        return false;
    const QByteArrayView digits(kept, count);
    qsizetype point = -1;
    quint64 magnitude = 0;
    // The amounts the table holds are within qint64.
    if (!findPoint(digits, point) || !toTenThousandths(digits, point, magnitude)
        || magnitude > quint64(std::numeric_limits<qint64>::max()))
        return false;
    value = negative ? -qint64(magnitude) : qint64(magnitude);
    return true;
}

bool parseMoment(QByteArrayView text, qint64 &day, int &seconds)
{
    text = withoutBlanks(text);
    const char *p = text.data();
    const char *const end = p + text.size();
    Moment m;
    if (!readDay(p, end, m) || p == end || (!isBlank(*p) && *p != 'T'))
        return false;
    while (p != end && (isBlank(*p) || *p == 'T'))
        ++p;
    if (!readTime(p, end, m) || p != end || !QDate::isValid(m.year, m.month, m.day) || m.hours > 23
        || m.minutes > 59 || m.seconds > 59)
        return false;
    day = QDate(m.year, m.month, m.day).toJulianDay();
    seconds = (m.hours * 60 + m.minutes) * 60 + m.seconds;
    return true;
}
