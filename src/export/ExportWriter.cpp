// Writing the export file: the content goes into a temporary file beside
// the target, which is then renamed over it. A failure leaves an earlier
// file whole and no partial file behind.
#include "export/ExportFile.h"

#include "platform/TolmError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

TolmError cannotCreate(const QString &path, int error)
{
    return TolmError(QStringLiteral("Cannot create file \"%1\". ").arg(QDir::toNativeSeparators(path))
                     + systemText(error));
}

TolmError streamWriteError(int error)
{
    QString text = QStringLiteral("Stream write error");
    if (error != 0)
        text += QStringLiteral(": ") + systemText(error);
    return TolmError(text);
}

// The temporary file: closed and removed unless it was renamed into place.
class TemporaryFile
{
public:
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;
    ~TemporaryFile()
    {
        closeQuietly();
        if (!m_name.isEmpty())
            ::unlink(m_name.constData());
    }

    // Creates a new file with a name not in use in folder; errno on failure.
    bool create(const QByteArray &folder)
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QByteArray name = folder + "/.tolm-export-"
                                    + QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
            m_fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (m_fd >= 0) {
                m_name = name;
                return true;
            }
            if (errno != EEXIST)
                return false;
        }
        return false; // errno is EEXIST
    }

    int fd() const { return m_fd; }
    const QByteArray &name() const { return m_name; }

    // Returns 0 or the error of the close.
    int close()
    {
        const int result = ::close(m_fd);
        m_fd = -1;
        return result == 0 ? 0 : errno;
    }

    // Once renamed the file is the target: nothing to remove.
    void release() { m_name.clear(); }

private:
    void closeQuietly()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    int m_fd = -1;
    QByteArray m_name;
};

// Writes everything; returns 0 or the error that stopped it.
int writeAll(int fd, const char *data, qsizetype left)
{
    while (left > 0) {
        const size_t chunk = size_t(std::min<qsizetype>(left, 1 << 20));
        const ssize_t written = ::write(fd, data, chunk);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (written == 0)
            return ENOSPC;
        data += written;
        left -= written;
    }
    return 0;
}

void syncFolder(const QByteArray &folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
} // namespace

void scriviFile(const QString &path, const QByteArray &content)
{
    scriviFile(path, [&](const ExportSink &write) { write(content.constData(), content.size()); });
}

void scriviFile(const QString &path, const std::function<void(const ExportSink &)> &produce)
{
    const QByteArray target = QFile::encodeName(path);
    if (path.isEmpty() || target.contains('\0'))
        throw cannotCreate(path, path.isEmpty() ? ENOENT : EINVAL);

    // An existing file that may not be written is left alone, as a program
    // opening it for writing would find it. The mode bits are checked too:
    // an administrator is not stopped by them.
    struct stat existing {};
    const bool exists = ::stat(target.constData(), &existing) == 0;
    if (exists) {
        if (S_ISDIR(existing.st_mode))
            throw cannotCreate(path, EISDIR);
        if ((existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            throw cannotCreate(path, EACCES);
        if (::access(target.constData(), W_OK) != 0)
            throw cannotCreate(path, errno);
    }

    const QByteArray folder = QFile::encodeName(QFileInfo(path).path());
    TemporaryFile temporary;
    if (!temporary.create(folder))
        throw cannotCreate(path, errno);
    if (exists)
        ::fchmod(temporary.fd(), existing.st_mode & 07777);

    produce([&](const char *data, qsizetype size) {
        if (const int error = writeAll(temporary.fd(), data, size))
            throw streamWriteError(error);
    });
    if (::fsync(temporary.fd()) != 0)
        throw streamWriteError(errno);
    if (const int error = temporary.close())
        throw streamWriteError(error);

    if (::rename(temporary.name().constData(), target.constData()) != 0)
        throw cannotCreate(path, errno);
    temporary.release();
    syncFolder(folder);
}
