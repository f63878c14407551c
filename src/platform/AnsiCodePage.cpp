#include "platform/AnsiCodePage.h"

#include <array>

namespace {
// Windows-1252 bytes 0x80..0x9F; 0 marks the five bytes it leaves undefined.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
};

char encode(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return char(c);
    for (size_t i = 0; i < kHigh.size(); ++i)
        if (kHigh[i] == c && c != 0)
            return char(0x80 + i);
    return '?';
}
} // namespace

QByteArray toAnsi(const QString &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i; // one character outside the code page
        out.append(encode(c));
    }
    return out;
}

QString fromAnsi(const char *bytes, qsizetype length)
{
    QString out(length, Qt::Uninitialized);
    QChar *dst = out.data();
    for (qsizetype i = 0; i < length; ++i) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        char16_t c = b;
        if (b >= 0x80 && b < 0xA0)
            c = kHigh[b - 0x80] ? kHigh[b - 0x80] : char16_t(b);
        dst[i] = QChar(c);
    }
    return out;
}

QString fromAnsi(const QByteArray &bytes)
{
    return fromAnsi(bytes.constData(), bytes.size());
}

QByteArray latin1ToAnsi(const QByteArray &latin1)
{
    QByteArray out = latin1;
    for (char &b : out) {
        const unsigned char u = static_cast<unsigned char>(b);
        if (u >= 0x80 && u < 0xA0)
            b = '?';
    }
    return out;
}

QString latin1ToText(QByteArrayView latin1)
{
    return fromAnsi(latin1ToAnsi(latin1.toByteArray()));
}
