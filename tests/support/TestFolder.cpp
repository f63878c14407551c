#include "support/TestFolder.h"

#include "platform/AnsiCodePage.h"
#include "platform/ProgramFolder.h"

#include <QFile>
#include <QStringEncoder>
#include <stdexcept>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/stat.h>
#endif

TestFolder::TestFolder()
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary folder");
    setProgramFolder(m_dir.path());
}

TestFolder::~TestFolder()
{
    setProgramFolder(QString());
}

QString TestFolder::path() const { return m_dir.path(); }
QString TestFolder::filePath(const QString &name) const { return m_dir.filePath(name); }
QString TestFolder::iniPath() const { return m_dir.filePath(QStringLiteral("Tolm.ini")); }
void TestFolder::writeIni(const QByteArray &content) const { writeWholeFile(iniPath(), content); }
QByteArray TestFolder::readIni() const { return readWholeFile(iniPath()); }

QByteArray readWholeFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeWholeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(content) != content.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

quint64 inodeOf(const QString &path)
{
#ifdef Q_OS_WIN
    // The file index is Windows' inode number.
    const HANDLE file = CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    BY_HANDLE_FILE_INFORMATION information;
    const bool ok = GetFileInformationByHandle(file, &information);
    CloseHandle(file);
    return ok ? (quint64(information.nFileIndexHigh) << 32) | information.nFileIndexLow : 0;
#else
    struct stat status;
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? quint64(status.st_ino) : 0;
#endif
}

namespace {
#ifdef Q_OS_WIN
// Qt for Windows is built without ICU: its encoders know only the Unicode
// encodings and Latin-1. Windows itself converts to its code pages.
QByteArray toWindowsCodePage(QStringView text, UINT codePage)
{
    const auto *wide = reinterpret_cast<const wchar_t *>(text.utf16());
    const int length = int(text.size());
    BOOL lacking = FALSE;
    const int size = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, length, nullptr, 0, "?", &lacking);
    QByteArray out(size, Qt::Uninitialized);
    WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, length, out.data(), size, "?", &lacking);
    return out;
}
#endif
} // namespace

QByteArray encodedText(QString text, const QString &encoding, const QByteArray &mark, const QString &newline)
{
    text.replace(QStringLiteral("\n"), newline);
#ifdef Q_OS_WIN
    if (encoding.compare(QStringLiteral("windows-1252"), Qt::CaseInsensitive) == 0)
        return mark + toWindowsCodePage(text, 1252);
#endif
    QStringEncoder encoder(encoding.toLatin1().constData());
    // A Qt without ICU (the Windows build) knows Windows-1252 by no name:
    // there the program's ANSI code page, which is that, stands in for it.
    if (!encoder.isValid() && encoding.compare(QStringLiteral("windows-1252"), Qt::CaseInsensitive) == 0)
        return mark + toAnsi(text);
    if (!encoder.isValid())
        throw std::runtime_error("unknown encoding " + encoding.toStdString());
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QByteArray one = encoder(QStringView(text).mid(i, length));
        i += length - 1;
        if (encoder.hasError()) {
            encoder = QStringEncoder(encoding.toLatin1().constData());
            one = QStringEncoder(encoding.toLatin1().constData())(QStringLiteral("?"));
        }
        bytes += one;
    }
    return mark + bytes;
}

QByteArray settingsFileText(const QString &config, const QStringList &patients, const QString &more,
                            const QString &lineEnd)
{
    QString text = QStringLiteral("[Config]") + lineEnd + QStringLiteral("file=") + config + lineEnd
                   + QStringLiteral("[File]") + lineEnd;
    for (int i = 0; i < patients.size(); ++i)
        text += QString::number(i + 1) + QLatin1Char('=') + patients[i] + lineEnd;
    return (text + more).toUtf8();
}

QString accountingCodeLines(const QString &lineEnd)
{
    const char *const codes[] = {"Attivita=1",        "Registro=V",     "IVA=22",          "Inapplicabilita=E1",
                                 "VoceIva=V1",        "Settore=S",      "ContoDare=D",     "ContoAvere=A",
                                 "InapplicabilitaBollo=EB", "VoceIvaBollo=VB", "SettoreBollo=SB", "ContoDareBollo=DB",
                                 "ContoAvereBollo=AB"};
    QString text;
    for (const char *code : codes)
        text += QLatin1String(code) + lineEnd;
    return text;
}
