// Own code around QSaveFile, which makes the temporary file and the rename:
// it ignores a failed flush, flushes no folder, keeps only the rwx bits, and
// its in-place fallback takes only EACCES, only on POSIX, and truncates first.
// On Windows its rename would give the file the temporary file's attributes
// and security: there ReplaceFileW puts the new file in place.
#include "platform/SafeWriter.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_WIN
#include <QRandomGenerator>
#include <qt_windows.h>

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// What the writer asks of the system.
#ifdef Q_OS_WIN
using FileOffset = __int64;

constexpr int kNoSuchFile = ERROR_PATH_NOT_FOUND;
constexpr int kBadName = ERROR_INVALID_NAME;
constexpr int kIsFolder = ERROR_ACCESS_DENIED;
constexpr int kAccessDenied = ERROR_ACCESS_DENIED;
constexpr int kDiskFull = ERROR_DISK_FULL;
constexpr int kIoError = ERROR_WRITE_FAULT;
constexpr int kLockHeld = ERROR_LOCK_VIOLATION;

int lastSystemError()
{
    return int(GetLastError());
}

void clearSystemError()
{
    SetLastError(0);
}

QString systemText(int code)
{
    if (code == 0)
        return QString();
    wchar_t *text = nullptr;
    const DWORD size = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                          | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, DWORD(code), 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    const QString result = QString::fromWCharArray(text, int(size)).trimmed();
    LocalFree(text);
    return result;
}

// The reason a step of the QSaveFile failed: Qt keeps the system's text.
QString failureText(const QFileDevice &file, int fallback)
{
    const QString text = file.errorString();
    return file.error() != QFileDevice::NoError && !text.isEmpty() ? text : systemText(fallback);
}

std::wstring nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

// The old file's attributes; its security and the rest ReplaceFileW keeps.
struct Existing
{
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
};

// The error that refuses to replace an existing file, or 0.
int refusal(const QString &path, Existing &existing)
{
    const DWORD attributes = GetFileAttributesW(nativePath(path).c_str());
    existing.attributes = attributes;
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return 0;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return kIsFolder;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return kAccessDenied;
    return 0;
}

// The attributes a replaced file keeps (its read-only one refuses the write).
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// ReplaceFileW keeps them on Windows; where it is two moves (as under Wine,
// or on some network file systems) they are set again.
void keepAttributes(const std::wstring &path, DWORD old)
{
    const DWORD now = GetFileAttributesW(path.c_str());
    if (now == INVALID_FILE_ATTRIBUTES || (now & kKeptAttributes) == (old & kKeptAttributes))
        return;
    const DWORD wanted = ((now & FILE_ATTRIBUTE_ARCHIVE) | (old & kKeptAttributes));
    SetFileAttributesW(path.c_str(), wanted != 0 ? wanted : FILE_ATTRIBUTE_NORMAL);
}

// The new content goes into a file of its own beside the old one, which
// ReplaceFileW then puts in its place, keeping the old file's attributes,
// security and creation time; a new file is moved into place. (QTemporaryFile
// would hold its file open after close(), which ReplaceFileW refuses.)
class ReplacingFile : public QFile
{
public:
    ReplacingFile(const QString &path, const Existing &existing)
        : m_path(path), m_existing(existing)
    {
    }

    ~ReplacingFile() override
    {
        if (m_made)
            remove();
    }

    bool open(QIODevice::OpenMode mode)
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            setFileName(QStringLiteral("%1.%2").arg(m_path).arg(QRandomGenerator::global()->generate(), 8, 16,
                                                                QLatin1Char('0')));
            m_made = QFile::open(mode | QIODevice::NewOnly);
            if (m_made || !exists())
                return m_made;
        }
        return false;
    }

    // On a failure the file made is gone and the system's error stays.
    bool commit()
    {
        const std::wstring made = nativePath(fileName());
        const std::wstring target = nativePath(m_path);
        close();
        BOOL done = FALSE;
        if (m_existing.attributes != INVALID_FILE_ATTRIBUTES) {
            done = ReplaceFileW(target.c_str(), made.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                                nullptr);
            if (done)
                keepAttributes(target, m_existing.attributes);
        }
        // A new file, or an old one gone since it was looked at.
        if (!done && (m_existing.attributes == INVALID_FILE_ATTRIBUTES || GetLastError() == ERROR_FILE_NOT_FOUND))
            done = MoveFileExW(made.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
        const DWORD error = GetLastError();
        if (!done)
            remove();
        m_made = false;
        SetLastError(done ? 0 : error);
        return done;
    }

private:
    QString m_path;
    Existing m_existing;
    bool m_made = false;
};

void keepMode(ReplacingFile &, const Existing &)
{
}

bool flushToDisk(int fd)
{
    return FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(fd)));
}

// Windows puts the rename on disk with the file system's own log.
void flushFolder(const QString &)
{
}

// A trial file that goes when its handle is closed.
bool folderRefusesNewFiles(const QString &folder, const QString &name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString trial = QStringLiteral("%1/.%2-%3-%4").arg(folder, name).arg(GetCurrentProcessId()).arg(attempt);
        const HANDLE handle = CreateFileW(nativePath(trial).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
            return false;
        }
        if (GetLastError() != ERROR_FILE_EXISTS)
            return GetLastError() == ERROR_ACCESS_DENIED;
    }
    return false;
}

int openExisting(const QString &path)
{
    int fd = -1;
    if (_wsopen_s(&fd, nativePath(path).c_str(), _O_RDWR | _O_BINARY | _O_NOINHERIT, _SH_DENYNO, 0) != 0)
        return -1;
    return fd;
}

// Opens the file for writing, creating it when missing; created tells which.
int openOrCreate(const QString &path, bool &created)
{
    int fd = -1;
    created = _wsopen_s(&fd, nativePath(path).c_str(), _O_RDWR | _O_BINARY | _O_NOINHERIT | _O_CREAT | _O_EXCL,
                        _SH_DENYNO, _S_IREAD | _S_IWRITE)
              == 0;
    return created ? fd : openExisting(path);
}

bool regularFileSize(int fd, FileOffset &size)
{
    struct _stat64 status;
    if (_fstat64(fd, &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG)
        return false;
    size = status.st_size;
    return true;
}

// Writes size bytes at offset; done counts those written, also on a failure.
bool writeAt(int fd, const char *data, qsizetype size, FileOffset offset, qsizetype *done = nullptr)
{
    if (done)
        *done = 0;
    if (_lseeki64(fd, offset, SEEK_SET) < 0)
        return false;
    while (size > 0) {
        const int written = _write(fd, data, unsigned(std::min<qsizetype>(size, 1 << 30)));
        if (written <= 0)
            return false;
        data += written;
        size -= written;
        if (done)
            *done += written;
    }
    return true;
}

// Reads up to size bytes at offset: how many it read, or -1.
qsizetype readAt(int fd, char *data, qsizetype size, FileOffset offset)
{
    if (_lseeki64(fd, offset, SEEK_SET) < 0)
        return -1;
    qsizetype done = 0;
    while (done < size) {
        const int read = _read(fd, data + done, unsigned(std::min<qsizetype>(size - done, 1 << 30)));
        if (read < 0)
            return -1;
        if (read == 0)
            break;
        done += read;
    }
    return done;
}

bool cutTo(int fd, FileOffset size)
{
    return _chsize_s(fd, size) == 0;
}

OVERLAPPED lockPlace(FileOffset at)
{
    OVERLAPPED place{};
    place.Offset = DWORD(quint64(at));
    place.OffsetHigh = DWORD(quint64(at) >> 32);
    return place;
}

// Locks the byte at `at` unless another handle holds it: 0, kLockHeld or the
// system's error. A lock keeps every other handle from reading the bytes it
// covers: the lock bytes stand far beyond any file's data.
int tryLockByte(int fd, FileOffset at)
{
    OVERLAPPED place = lockPlace(at);
    if (LockFileEx(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY,
                   0, 1, 0, &place))
        return 0;
    const DWORD error = GetLastError();
    return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? kLockHeld : int(error);
}

void unlockByte(int fd, FileOffset at)
{
    OVERLAPPED place = lockPlace(at);
    UnlockFileEx(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), 0, 1, 0, &place);
}

void closeFile(int fd)
{
    _close(fd);
}
#else
using FileOffset = off_t;

constexpr int kNoSuchFile = ENOENT;
constexpr int kBadName = EINVAL;
constexpr int kIsFolder = EISDIR;
constexpr int kAccessDenied = EACCES;
constexpr int kDiskFull = ENOSPC;
constexpr int kIoError = EIO;
constexpr int kLockHeld = EAGAIN;

int lastSystemError()
{
    return errno;
}

void clearSystemError()
{
    errno = 0;
}

QString systemText(int code)
{
    return code == 0 ? QString() : QString::fromLocal8Bit(std::strerror(code));
}

// The reason a step of the QSaveFile failed: errno where it left one.
QString failureText(const QFileDevice &, int fallback)
{
    return systemText(errno != 0 ? errno : fallback);
}

struct Existing
{
    bool exists = false;
    mode_t mode = 0;
};

// The error that refuses to replace an existing file, or 0.
int refusal(const QString &path, Existing &existing)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    existing.exists = ::stat(name.constData(), &status) == 0;
    if (!existing.exists)
        return 0;
    existing.mode = status.st_mode;
    if (S_ISDIR(status.st_mode))
        return kIsFolder;
    if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return kAccessDenied;
    return ::access(name.constData(), W_OK) == 0 ? 0 : errno;
}

// QSaveFile makes the temporary file and renames it over the old one.
class ReplacingFile : public QSaveFile
{
public:
    ReplacingFile(const QString &path, const Existing &)
        : QSaveFile(path)
    {
    }
};

// Every mode bit of the old file, not only the rwx bits QSaveFile copies.
void keepMode(QSaveFile &file, const Existing &existing)
{
    if (existing.exists)
        ::fchmod(file.handle(), existing.mode & 07777);
}

// The whole file, not only its data as QSaveFile's own flush does.
bool flushToDisk(int fd)
{
    return ::fsync(fd) == 0;
}

// The rename itself is made durable by flushing the folder that holds it.
void flushFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// A trial file, removed at once.
bool folderRefusesNewFiles(const QString &folder, const QString &name)
{
    QByteArray trial = QFile::encodeName(folder + QStringLiteral("/.") + name + QStringLiteral("-XXXXXX"));
    const int fd = ::mkstemp(trial.data());
    if (fd < 0)
        return errno == EACCES || errno == EPERM;
    ::close(fd);
    ::unlink(trial.constData());
    return false;
}

int openExisting(const QString &path)
{
    return ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
}

// Opens the file for writing, creating it when missing; created tells which.
int openOrCreate(const QString &path, bool &created)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_CLOEXEC | O_CREAT | O_EXCL, 0666);
    created = fd >= 0;
    return created ? fd : ::open(name.constData(), O_RDWR | O_CLOEXEC);
}

bool regularFileSize(int fd, FileOffset &size)
{
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    size = status.st_size;
    return true;
}

// Writes size bytes at offset; done counts those written, also on a failure.
bool writeAt(int fd, const char *data, qsizetype size, FileOffset offset, qsizetype *done = nullptr)
{
    if (done)
        *done = 0;
    while (size > 0) {
        const ssize_t written = ::pwrite(fd, data, size_t(size), offset);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (written == 0) // no room and no error said
            return false;
        data += written;
        size -= written;
        offset += written;
        if (done)
            *done += written;
    }
    return true;
}

// Reads up to size bytes at offset: how many it read, or -1.
qsizetype readAt(int fd, char *data, qsizetype size, FileOffset offset)
{
    qsizetype done = 0;
    while (done < size) {
        const ssize_t read = ::pread(fd, data + done, size_t(size - done), offset + done);
        if (read < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (read == 0)
            break;
        done += read;
    }
    return done;
}

bool cutTo(int fd, FileOffset size)
{
    return ::ftruncate(fd, size) == 0;
}

struct flock byteLock(short type, FileOffset at)
{
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = at;
    lock.l_len = 1;
    return lock;
}

// Locks the byte at `at` unless another open file holds it: 0, kLockHeld or
// the system's error. The lock belongs to this open file, as a lock on
// Windows belongs to its handle: closing another one of the same file in
// this process keeps it, and another open file of this process waits too.
// A Windows program's lock of the same byte, taken through Samba or Wine,
// becomes such a lock too, so that the two wait for each other.
int tryLockByte(int fd, FileOffset at)
{
    struct flock lock = byteLock(F_WRLCK, at);
    if (::fcntl(fd, F_OFD_SETLK, &lock) == 0)
        return 0;
    return errno == EAGAIN || errno == EACCES ? kLockHeld : errno;
}

void unlockByte(int fd, FileOffset at)
{
    struct flock lock = byteLock(F_UNLCK, at);
    ::fcntl(fd, F_OFD_SETLK, &lock);
}

void closeFile(int fd)
{
    ::close(fd);
}
#endif

// Thrown by the sink to end produce when a piece cannot be written.
struct PieceNotWritten
{
    QString reason;
};

// An open file, closed when it goes.
struct OpenedFile
{
    int fd;
    explicit OpenedFile(int opened) : fd(opened) {}
    OpenedFile(const OpenedFile &) = delete;
    OpenedFile &operator=(const OpenedFile &) = delete;
    ~OpenedFile()
    {
        if (fd >= 0)
            closeFile(fd);
    }
};

// The lock of a file that programs append to, or rewrite in place, at once:
// one byte far beyond the end of any such file, where it hinders no reader.
// A program that waits for it holds the turn, the byte before it, so that the
// holder's next append waits behind it instead of taking the lock again at once.
constexpr FileOffset kTurnByte = FileOffset(1) << 62;
constexpr FileOffset kLockByte = kTurnByte + 1;

// Locks the byte at `at`, trying again now and then until the deadline: 0,
// kLockHeld when another still holds it then, or the system's error.
int waitForByte(int fd, FileOffset at, const QDeadlineTimer &deadline)
{
    for (unsigned long pause = 1;; pause = std::min(pause * 2, 16UL)) {
        const int result = tryLockByte(fd, at);
        if (result != kLockHeld || deadline.hasExpired())
            return result;
        QThread::msleep(pause);
    }
}

// Holds the file's lock from take() until it goes.
class FileLock
{
public:
    explicit FileLock(int fd) : m_fd(fd) {}
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;
    ~FileLock()
    {
        if (m_held)
            unlockByte(m_fd, kLockByte);
    }

    // Waits for the lock, SafeWriter::kLockWaitSeconds at most. Only
    // kLockHeld stops the caller: another error says the file system has no
    // locks, and the caller goes on without.
    int take()
    {
        const QDeadlineTimer deadline(SafeWriter::kLockWaitSeconds * 1000);
        const int turn = waitForByte(m_fd, kTurnByte, deadline);
        if (turn != 0)
            return turn;
        const int result = waitForByte(m_fd, kLockByte, deadline);
        unlockByte(m_fd, kTurnByte);
        m_held = result == 0;
        return result;
    }

private:
    int m_fd;
    bool m_held = false;
};

// Rewrites the file in place, growth first (see setInPlaceFallback), under
// its lock. Returns 0, kLockHeld or the system's error.
int rewriteInPlace(const QString &path, const QByteArray &content)
{
    const OpenedFile file(openExisting(path));
    const int fd = file.fd;
    if (fd < 0)
        return lastSystemError();
    FileLock lock(fd);
    if (lock.take() == kLockHeld)
        return kLockHeld;
    int error = 0;
    const auto check = [&](bool done) {
        if (!done && error == 0)
            error = lastSystemError() != 0 ? lastSystemError() : kIoError;
        return done;
    };
    clearSystemError();
    FileOffset size = 0;
    bool ok = check(regularFileSize(fd, size));
    const qsizetype oldSize = ok ? qsizetype(size) : 0;
    if (ok && content.size() > oldSize) {
        ok = check(writeAt(fd, content.constData() + oldSize, content.size() - oldSize, FileOffset(oldSize)));
        if (!ok) {
            const bool cut = cutTo(fd, FileOffset(oldSize));
            Q_UNUSED(cut); // should it fail too, the old bytes are still in place
        }
    }
    if (ok)
        ok = check(writeAt(fd, content.constData(), std::min(oldSize, content.size()), 0))
             && check(content.size() >= oldSize || cutTo(fd, FileOffset(content.size())))
             && check(flushToDisk(fd));
    return error;
}

// A path that names no file to write, or an existing file that may not be
// written: the failure to report.
std::optional<SafeWriteFailure> refusedPath(const QString &path, Existing &existing)
{
    using Step = SafeWriteFailure::Step;
    if (path.isEmpty() || path.contains(QChar(0)))
        return SafeWriteFailure{Step::Create, systemText(path.isEmpty() ? kNoSuchFile : kBadName)};
    if (const int refused = refusal(path, existing))
        return SafeWriteFailure{Step::Create, systemText(refused)};
    return std::nullopt;
}

} // namespace

SafeWriter::SafeWriter(const QString &path)
    : m_path(path)
{
}

std::optional<SafeWriteFailure> SafeWriter::write(const QByteArray &content) const
{
    return write([&](const Sink &sink) { sink(content.constData(), content.size()); });
}

std::optional<SafeWriteFailure> SafeWriter::write(const Producer &produce) const
{
    const QDeadlineTimer deadline(kReplaceWaitMilliseconds);
    for (unsigned long pause = 1;; pause = std::min(pause * 2, 32UL)) {
        bool replacing = false;
        const auto failure = writeOnce(produce, replacing);
        if (!failure || !replacing || deadline.hasExpired())
            return failure;
        QThread::msleep(pause);
    }
}

std::optional<SafeWriteFailure> SafeWriter::writeOnce(const Producer &produce, bool &replacing) const
{
    using Step = SafeWriteFailure::Step;
    Existing existing;
    if (const auto refused = refusedPath(m_path, existing))
        return refused;

    // Unbuffered: the pieces go to the file as they come.
    ReplacingFile file(m_path, existing);
    clearSystemError();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        const QString reason = failureText(file, kIoError);
        const QFileInfo target(m_path);
        if (!m_inPlaceFallback || !folderRefusesNewFiles(target.absolutePath(), target.fileName()))
            return SafeWriteFailure{Step::Create, reason};
        QByteArray content;
        produce([&](const char *data, qsizetype size) { content.append(data, size); });
        clearSystemError();
        if (const int error = rewriteInPlace(target.absoluteFilePath(), content))
            return SafeWriteFailure{error == kLockHeld ? Step::Locked : Step::Write,
                                    error == kLockHeld ? QString() : systemText(error)};
        return std::nullopt;
    }
    keepMode(file, existing);

    try {
        produce([&](const char *data, qsizetype size) {
            clearSystemError();
            const qint64 written = file.write(data, size);
            if (written != size) // a short write without an error is a full disk
                throw PieceNotWritten{failureText(
                    file, written >= 0 || file.error() == QFileDevice::ResourceError ? kDiskFull : kIoError)};
        });
    } catch (const PieceNotWritten &notWritten) {
        return SafeWriteFailure{Step::Write, notWritten.reason};
    }
    if (!flushToDisk(file.handle()))
        return SafeWriteFailure{Step::Write, systemText(lastSystemError())};

    clearSystemError();
    if (!file.commit()) {
        replacing = true;
        return SafeWriteFailure{Step::Create, failureText(file, lastSystemError() != 0 ? lastSystemError() : kIoError)};
    }
    flushFolder(QFileInfo(m_path).absolutePath());
    return std::nullopt;
}

std::optional<SafeWriteFailure> SafeWriter::append(const Producer &produce, const EndCheck &checkEnd) const
{
    using Step = SafeWriteFailure::Step;
    Existing existing;
    if (const auto refused = refusedPath(m_path, existing))
        return refused;
    bool created = false;
    clearSystemError();
    const OpenedFile file(openOrCreate(m_path, created));
    const int fd = file.fd;
    if (fd < 0)
        return SafeWriteFailure{Step::Create, systemText(lastSystemError() != 0 ? lastSystemError() : kIoError)};

    int error = 0;
    const auto fail = [&](int fallback) {
        if (error == 0)
            error = lastSystemError() != 0 ? lastSystemError() : fallback;
    };
    FileOffset size = 0;
    if (!regularFileSize(fd, size)) {
        fail(kIsFolder);
        return SafeWriteFailure{Step::Create, systemText(error)};
    }
    // From here to the end of the last write, no other append: the end looked
    // at stays the end.
    FileLock lock(fd);
    if (lock.take() == kLockHeld)
        return SafeWriteFailure{Step::Locked, QString()};
    clearSystemError();
    if (!regularFileSize(fd, size)) {
        fail(kIoError);
        return SafeWriteFailure{Step::Write, systemText(error)};
    }
    // The end of the last whole line on disk, and where the next piece goes.
    FileOffset lineEnd = size;
    if (checkEnd) {
        const qint64 keep = checkEnd(qint64(size), [fd](qint64 offset, qint64 length) {
            QByteArray bytes(qsizetype(length), Qt::Uninitialized);
            bytes.resize(std::max<qsizetype>(0, readAt(fd, bytes.data(), bytes.size(), FileOffset(offset))));
            return bytes;
        });
        if (keep >= 0 && keep < size)
            lineEnd = FileOffset(keep);
    }
    FileOffset at = lineEnd;
    clearSystemError();
    if (at < size && !cutTo(fd, at))
        fail(kIoError);
    if (error == 0) {
        try {
            produce([&](const char *data, qsizetype length) {
                qsizetype written = 0;
                clearSystemError();
                const bool whole = writeAt(fd, data, length, at, &written);
                for (qsizetype i = written; i > 0; --i) {
                    if (data[i - 1] == '\n') {
                        lineEnd = at + FileOffset(i);
                        break;
                    }
                }
                at += written;
                if (!whole) {
                    fail(kDiskFull);
                    throw PieceNotWritten{};
                }
            });
        } catch (const PieceNotWritten &) {
            // No part of a line stays: the file ends with its last whole one.
            const bool cut = cutTo(fd, lineEnd);
            Q_UNUSED(cut); // should it fail too, the reader passes over a torn last line
        } catch (...) {
            // What else produce throws goes through, the file cut back the same way.
            const bool cut = cutTo(fd, lineEnd);
            Q_UNUSED(cut);
            throw;
        }
    }
    clearSystemError();
    if (!flushToDisk(fd))
        fail(kIoError);
    if (created)
        flushFolder(QFileInfo(m_path).absolutePath());
    if (error != 0)
        return SafeWriteFailure{Step::Write, systemText(error)};
    return std::nullopt;
}

QString SafeWriter::accessDeniedText()
{
    return systemText(kAccessDenied);
}
