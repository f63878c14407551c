#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// Why a file could not be written whole.
struct SafeWriteFailure
{
    enum class Step {
        Create, // the file could not be created, or not put in place of the old one
        Write,  // its content could not be written or flushed to disk
        Locked, // another program held the file's lock for longer than kLockWaitSeconds
    };
    Step step;
    QString reason; // the system's text for the error; empty where it gave none
};

// Writes a file whole or not at all. The content goes into a temporary file
// in the same folder, which is flushed to disk and renamed over the old file
// (on Windows put in its place by ReplaceFileW); on POSIX the folder is
// flushed too, so that the rename itself is on disk. The old file's
// permissions are kept (on Windows its attributes, such as hidden, and its
// security). A failure leaves the old file whole and no temporary file
// behind.
//
// An existing file that may not be written is refused and left alone (the
// rename would replace it): a folder, a file the user may not write, and a
// file whose mode lets nobody write, as the read-only attribute on Windows,
// even when the user is an administrator who could.
class SafeWriter
{
public:
    // Takes the content piece after piece.
    using Sink = std::function<void(const char *data, qsizetype size)>;
    using Producer = std::function<void(const Sink &)>;

    explicit SafeWriter(const QString &path);

    // Where the folder refuses new files (no right to create them, or an
    // immutable folder) but the file itself may be written, the file is
    // rewritten in place and flushed to disk instead. What grows the file is
    // written first, beyond its old end: when the disk has no room for it the
    // file keeps its old content. The rewrite takes the lock an append takes:
    // two programs rewriting the file at once do so one after the other.
    void setInPlaceFallback(bool enabled) { m_inPlaceFallback = enabled; }

    // Windows replaces no file that another program holds open, as one that
    // reads it does for a moment: where the old file cannot be replaced, the
    // whole write is tried again, kReplaceWaitMilliseconds at most.
    std::optional<SafeWriteFailure> write(const QByteArray &content) const;
    // produce hands the content to the sink piece by piece, so that a large
    // content need not be held whole; the file appears only once produce has
    // returned and everything is on disk. A piece that cannot be written ends
    // produce: the sink throws, and the writer catches it and reports the
    // failure. What else produce throws goes through, the file unwritten.
    // produce is called again when the write is tried again.
    std::optional<SafeWriteFailure> write(const Producer &produce) const;

    // How long an append waits for another program's append to the same file.
    static constexpr int kLockWaitSeconds = 5;
    // How long a write tries to put its file in place of an old one that
    // another program holds open.
    static constexpr int kReplaceWaitMilliseconds = 2000;

    // Reads up to size bytes of the file from offset (fewer at its end).
    using Reader = std::function<QByteArray(qint64 offset, qint64 size)>;
    // Looks at the file before an append writes, given its size and a reader
    // of it, and says how many of its bytes stay: what stands beyond them is
    // cut away; a negative number keeps them all.
    using EndCheck = std::function<qint64(qint64 size, const Reader &read)>;

    // Adds to the end of a file of lines, which is created when missing.
    // Everything happens under an exclusive lock on the file that every
    // append through this writer takes, in this program or another, on this
    // computer or another that shares the folder: checkEnd looks at the end,
    // what it does not keep is cut away, what produce hands over is written
    // after it and flushed to disk, together with the folder when the file is
    // new. So two programs never write over each other's lines, and none cuts
    // away a line that another is still writing. A program that finds the
    // lock held waits for it, kLockWaitSeconds at most, then gives up with
    // Step::Locked and leaves the file untouched. The system drops the lock
    // when its holder ends, however it ends; where the file system has no
    // locks, the append goes on without.
    //
    // A piece that cannot be written ends produce, and the file is cut back to
    // the end of the last whole line written (its LF), so that it holds no
    // part of a line; what it held before is never touched. An existing file
    // that may not be written is refused as write() refuses it.
    std::optional<SafeWriteFailure> append(const Producer &produce, const EndCheck &checkEnd = {}) const;

    // The system's text for an existing file that may not be written: the
    // reason a refused write gives.
    static QString accessDeniedText();

private:
    // One try of write(); replacing tells whether it failed to put the new
    // file in place of the old one.
    std::optional<SafeWriteFailure> writeOnce(const Producer &produce, bool &replacing) const;

    QString m_path;
    bool m_inPlaceFallback = false;
};
