// Writing the export file through QSaveFile: the content goes into a
// temporary file beside the target, which is synced to disk and renamed
// over it. A failure leaves an earlier file whole and no partial file
// behind. The error texts name the system's reason, so errno is read where
// QSaveFile fails.
#include "export/ExportFile.h"

#include "platform/TolmError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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

// The error that made the call just returned fail, fallback where the
// system left none.
int lastError(int fallback)
{
    return errno != 0 ? errno : fallback;
}

// The rename itself is made durable by syncing the folder that holds it.
void syncFolder(const QByteArray &folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
} // namespace

void saveFile(const QString &path, const QByteArray &content)
{
    saveFile(path, [&](const ExportSink &write) { write(content.constData(), content.size()); });
}

void saveFile(const QString &path, const std::function<void(const ExportSink &)> &produce)
{
    const QByteArray target = QFile::encodeName(path);
    if (path.isEmpty() || target.contains('\0'))
        throw cannotCreate(path, path.isEmpty() ? ENOENT : EINVAL);

    // An existing file that may not be written is left alone, as a program
    // opening it for writing would find it (QSaveFile would replace it). The
    // mode bits are checked too: an administrator is not stopped by them.
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

    // Unbuffered: the pieces are large and go to the file as they are.
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw cannotCreate(path, lastError(EIO));
    if (exists)
        ::fchmod(file.handle(), existing.st_mode & 07777); // all the mode bits, as the old file had them

    produce([&](const char *data, qsizetype size) {
        errno = 0;
        const qint64 written = file.write(data, size);
        if (written != size) // a short write without an error is a full disk
            throw streamWriteError(lastError(written >= 0 || file.error() == QFileDevice::ResourceError ? ENOSPC : EIO));
    });
    // QSaveFile syncs only the data and ignores a failure: the whole file
    // is synced here and a failure reported.
    if (::fsync(file.handle()) != 0)
        throw streamWriteError(errno);

    errno = 0;
    if (!file.commit())
        throw cannotCreate(path, lastError(EIO));
    syncFolder(QFile::encodeName(QFileInfo(path).path()));
}
