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
    void set(const QByteArray &bytes) { set(bytes.constData(), bytes.size()); }
    void set(const char *bytes, qsizetype length)
    {
        m_length = static_cast<unsigned char>(std::min<qsizetype>(length, N));
        if (m_length)
            std::memcpy(m_bytes, bytes, m_length);
    }
    QByteArray bytes() const { return QByteArray(m_bytes, m_length); }
    const char *data() const { return m_bytes; }
    int size() const { return m_length; }
    bool isEmpty() const { return m_length == 0; }

private:
    char m_bytes[N];
    unsigned char m_length = 0;
};
