#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A temporary folder that stands in for the program's folder while it lives.
class TestFolder
{
public:
    TestFolder();
    ~TestFolder();

    QString path() const;                  // without trailing separator
    QString filePath(const QString &name) const;
    QString iniPath() const;               // <folder>/Tolm.ini
    void writeIni(const QByteArray &content) const;
    QByteArray readIni() const;

private:
    QTemporaryDir m_dir;
};

QByteArray readWholeFile(const QString &path);
void writeWholeFile(const QString &path, const QByteArray &content);
// The file's inode number (0 when it cannot be read): it changes when a file
// is replaced by another and stays when the file is rewritten in place.
quint64 inodeOf(const QString &path);
// text with "\n" line ends, as a file in the named encoding ("UTF-16LE",
// "UTF-16BE", "windows-1252", "UTF-8") with the given byte-order mark and
// line end; characters the encoding lacks become "?".
QByteArray encodedText(QString text, const QString &encoding, const QByteArray &mark = QByteArray(),
                       const QString &newline = QStringLiteral("\n"));

// Tolm.ini naming the configuration database and the patient databases
// (keys 1, 2, ... of [File]) in lines ended by lineEnd, followed by more
// sections as they are given.
QByteArray settingsFileText(const QString &config, const QStringList &patients, const QString &more = QString(),
                            const QString &lineEnd = QStringLiteral("\n"));
// The accounting codes that the tests which export set in [Generale], fee
// and stamp duty apart, as key=value lines ended by lineEnd: Attivita=1,
// Registro=V, IVA=22, Inapplicabilita=E1, VoceIva=V1, Settore=S,
// ContoDare=D, ContoAvere=A, and EB, VB, SB, DB, AB for the stamp duty.
QString accountingCodeLines(const QString &lineEnd = QStringLiteral("\n"));
