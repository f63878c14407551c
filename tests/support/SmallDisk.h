#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTest>

// A tmpfs of 64 KiB (or kibibytes) mounted on a folder, made first where it
// is missing, for as long as it lives (root only); isMounted() tells whether
// the mount worked. fill() takes every free block.
class SmallDisk
{
public:
    explicit SmallDisk(const QString &path, int kibibytes = 64) : m_path(path)
    {
        m_mounted = QDir().mkpath(path)
                    && QProcess::execute(QStringLiteral("mount"),
                                         {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                          QStringLiteral("size=%1k").arg(kibibytes), QStringLiteral("tmpfs"), path})
                           == 0;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            QProcess::execute(QStringLiteral("umount"), {m_path});
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;
    bool isMounted() const { return m_mounted; }
    void fill() const
    {
        QFile filler(m_path + QStringLiteral("/.filler"));
        if (!filler.open(QIODevice::WriteOnly))
            return;
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }

private:
    QString m_path;
    bool m_mounted = false;
};

// QVERIFY(disk.isMounted()) in a test that needs the small disk: Windows
// mounts no tmpfs, the test is skipped there.
#ifdef Q_OS_WIN
#define VERIFY_MOUNTED(disk) \
    do { \
        if (!(disk).isMounted()) \
            QSKIP("Windows has no tmpfs to mount"); \
    } while (false)
#else
#define VERIFY_MOUNTED(disk) QVERIFY((disk).isMounted())
#endif
