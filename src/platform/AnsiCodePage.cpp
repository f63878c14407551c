#include "platform/AnsiCodePage.h"

#include <array>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

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

#ifdef Q_OS_WIN
namespace {
// The system's code page when it is not Windows-1252, whose table above is
// used as it is; 0 for Windows-1252.
UINT otherCodePage()
{
    static const UINT codePage = GetACP() == 1252 ? 0 : GetACP();
    return codePage;
}

QByteArray toCodePage(UINT codePage, const QString &text)
{
    if (text.isEmpty())
        return {};
    const auto *wide = reinterpret_cast<const wchar_t *>(text.utf16());
    const int length = int(text.size());
    const int size = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, length, nullptr, 0, "?", nullptr);
    QByteArray out(size, Qt::Uninitialized);
    WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, length, out.data(), size, "?", nullptr);
    return out;
}

QString fromCodePage(UINT codePage, const char *bytes, qsizetype length)
{
    if (length <= 0)
        return {};
    const int size = MultiByteToWideChar(codePage, 0, bytes, int(length), nullptr, 0);
    QString out(size, Qt::Uninitialized);
    MultiByteToWideChar(codePage, 0, bytes, int(length), reinterpret_cast<wchar_t *>(out.data()), size);
    return out;
}
} // namespace
#endif

QByteArray toAnsi(const QString &text)
{
#ifdef Q_OS_WIN
    if (const UINT codePage = otherCodePage())
        return toCodePage(codePage, text);
#endif
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
#ifdef Q_OS_WIN
    if (const UINT codePage = otherCodePage())
        return fromCodePage(codePage, bytes, length);
#endif
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
#ifdef Q_OS_WIN
    if (otherCodePage())
        return toAnsi(QString::fromLatin1(latin1));
#endif
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
