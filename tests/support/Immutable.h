#pragma once

#include <QProcess>
#include <QString>

// chattr +i on a file or folder for the life of the object: not even root
// may change it. ok() tells whether the file system allowed it.
class Immutable
{
public:
    explicit Immutable(const QString &path) : m_path(path)
    {
        m_ok = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), m_path}) == 0;
    }
    ~Immutable() { release(); }
    // Lifts the flag early.
    void release()
    {
        if (m_ok)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), m_path});
        m_ok = false;
    }
    Immutable(const Immutable &) = delete;
    Immutable &operator=(const Immutable &) = delete;
    bool ok() const { return m_ok; }

private:
    QString m_path;
    bool m_ok = false;
};
