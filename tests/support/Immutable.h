#pragma once

#include <QProcess>
#include <QString>
#include <QTest>

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

// QVERIFY(immutable.ok()) in a test that needs the flag: Windows has none,
// the test is skipped there.
#ifdef Q_OS_WIN
#define VERIFY_IMMUTABLE(immutable) \
    do { \
        if (!(immutable).ok()) \
            QSKIP("Windows has no immutable flag (chattr +i)"); \
    } while (false)
#else
#define VERIFY_IMMUTABLE(immutable) QVERIFY((immutable).ok())
#endif
