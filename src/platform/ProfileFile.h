#pragma once

#include <QByteArray>
#include <QString>
#include <QList>
#include <QStringList>

#include <utility>

// Access to one INI file with the behaviour of the Windows private-profile
// functions. Holds only the path: every call reads the file afresh.
//
// Reads: section and key names match without regard to case; blanks around
// a value and one pair of quotes enclosing the whole value are dropped; a
// present empty key gives the empty text, an absent one the default; values
// are cut at 2047 characters; a missing file gives the default.
//
// Writes replace the key in place or add it to its section (creating section
// and file when missing) and leave every other line untouched, the file in
// its own encoding (see LineDocument). The file is replaced whole through
// SafeWriter, so a failed write leaves the old file whole; where the folder
// refuses new files but the file itself may be written, it is rewritten in
// place. A file that SafeWriter refuses (read-only, a folder) and a failure
// raise TolmError "Unable to write to <full path>".
class ProfileFile
{
public:
    explicit ProfileFile(const QString &path);

    const QString &path() const { return m_path; }

    QString readString(const QString &section, const QString &key, const QString &defaultValue) const;
    // Whole number as the settings read it: decimal, or hexadecimal after
    // "0x"/"0X"; anything else gives the default.
    int readInteger(const QString &section, const QString &key, int defaultValue) const;
    bool readBool(const QString &section, const QString &key, bool defaultValue) const;

    // Key names of a section in file order (duplicates kept).
    QStringList sectionKeys(const QString &section) const;
    // The section as lines key=value, in file order, each value read as
    // readString does with an empty default.
    QStringList sectionLines(const QString &section) const;
    // The values of a section in file order (the keys are not used).
    QStringList sectionValues(const QString &section) const;

    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, int value);
    // Writes the keys as writeString would one after the other, all in one
    // replacement of the file: a failure leaves the file as it was.
    void writeStrings(const QString &section, const QList<std::pair<QString, QString>> &entries);
    // Removes the section's header and all its lines.
    void eraseSection(const QString &section);
    // Removes every copy of the section and appends it anew at the end of the
    // file with the entries as key=value lines, all in one replacement of the
    // file: a failure leaves the old section whole. A key given twice (in any
    // case) keeps its first spelling and place and takes the last value, as
    // writing the keys one after the other would. No entries: no section.
    void replaceSection(const QString &section, const QList<std::pair<QString, QString>> &entries);

private:
    // The file's bytes; empty when it is missing. A file that is present but
    // cannot be opened sets *unreadable.
    QByteArray readAll(bool *unreadable = nullptr) const;
    QString fullPath() const;
    [[noreturn]] void failWrite() const;
    void writeAll(const QByteArray &content);

    QString m_path;
};
