#include "PlainWrite.h"

#include "platform/TolmError.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {
[[noreturn]] void fail(const char *what)
{
    throw TolmError(QStringLiteral("plain write: %1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno))));
}
} // namespace

void plainWrite(const QString &folder, const QString &fileName, const QByteArray &content)
{
    const QByteArray dir = QFile::encodeName(folder);
    const QByteArray target = dir + '/' + QFile::encodeName(fileName);
    const QByteArray temporary = target + ".tmp";
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        fail("open");
    const ssize_t written = ::write(fd, content.constData(), size_t(content.size()));
    if (written != content.size()) {
        ::close(fd);
        fail("write");
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0)
        fail("fsync");
    if (::rename(temporary.constData(), target.constData()) != 0)
        fail("rename");
    const int dirFd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        fail("open folder");
    ::fsync(dirFd);
    ::close(dirFd);
}
