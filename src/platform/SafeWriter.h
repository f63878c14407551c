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
    // file keeps its old content.
    void setInPlaceFallback(bool enabled) { m_inPlaceFallback = enabled; }

    std::optional<SafeWriteFailure> write(const QByteArray &content) const;
    // produce hands the content to the sink piece by piece, so that a large
    // content need not be held whole; the file appears only once produce has
    // returned and everything is on disk. A piece that cannot be written ends
    // produce: the sink throws, and the writer catches it and reports the
    // failure. What else produce throws goes through, the file unwritten.
    std::optional<SafeWriteFailure> write(const Producer &produce) const;

    // Adds to the end of a file of lines, which is created when missing:
    // what produce hands over goes after the file's first keep bytes (what
    // stands beyond them is cut away; a negative keep keeps it all), and is
    // flushed to disk, together with the folder when the file is new. A
    // piece that cannot be written ends produce, and the file is cut back to
    // the end of the last whole line written (its LF), so that it holds no
    // part of a line; what it held before is never touched. An existing
    // file that may not be written is refused as write() refuses it.
    std::optional<SafeWriteFailure> append(const Producer &produce, qint64 keep = -1) const;

    // The system's text for an existing file that may not be written: the
    // reason a refused write gives.
    static QString accessDeniedText();

private:
    QString m_path;
    bool m_inPlaceFallback = false;
};
