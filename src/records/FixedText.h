#pragma once

#include <QByteArray>

#include <algorithm>
#include <cstring>

// Single-byte text held in place, cut to N bytes, as the in-memory tables
// store it: no heap allocation per field.
template <int N>
class FixedText
{
    static_assert(N > 0 && N < 256);

public:
    // The field's size: the most bytes it keeps.
    static constexpr int capacity = N;

    // True when storing these bytes leaves out more than blanks: the field
    // then holds a text cut short of what it was given.
    static bool cutsText(const char *bytes, qsizetype length)
    {
        for (qsizetype i = N; i < length; ++i) {
            if (bytes[i] != ' ')
                return true;
        }
        return false;
    }

    void set(const QByteArray &bytes) { set(bytes.constData(), bytes.size()); }
    void set(const char *bytes, qsizetype length)
    {
        m_length = static_cast<unsigned char>(std::min<qsizetype>(length, N));
        if (m_length)
            std::memcpy(m_bytes, bytes, m_length);
    }
    // ISO-8859-1 bytes from the database client as Windows-1252: the same
    // bytes, but for the control range 0x80-0x9F, which becomes "?".
    void setLatin1(const char *bytes, qsizetype length)
    {
        set(bytes, length);
        // Plain ASCII, as most names and addresses are, is taken as it is.
        if (!hasHighBytes())
            return;
        for (int i = 0; i < m_length; ++i) {
            const unsigned char b = static_cast<unsigned char>(m_bytes[i]);
            if (b >= 0x80 && b < 0xA0)
                m_bytes[i] = '?';
        }
    }
    QByteArray bytes() const { return QByteArray(m_bytes, m_length); }
    const char *data() const { return m_bytes; }
    int size() const { return m_length; }
    bool isEmpty() const { return m_length == 0; }

private:
    // True when a byte is 0x80 or above: only then can it be one that
    // Windows-1252 lacks. Looked at eight bytes at a time.
    bool hasHighBytes() const
    {
        quint64 any = 0;
        int i = 0;
        for (; i + 8 <= m_length; i += 8) {
            quint64 word;
            std::memcpy(&word, m_bytes + i, 8);
            any |= word;
        }
        for (; i < m_length; ++i)
            any |= quint64(static_cast<unsigned char>(m_bytes[i]));
        return (any & 0x8080808080808080ULL) != 0;
    }

    char m_bytes[N];
    unsigned char m_length = 0;
};
