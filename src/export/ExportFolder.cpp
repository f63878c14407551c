// Making the export folder exist.
#include "export/ExportFile.h"

#include "platform/TolmError.h"

#include <QDir>
#include <QFileInfo>

namespace {
bool isSeparator(QChar c)
{
    return c == QLatin1Char('/') || c == QDir::separator();
}
} // namespace

void creaCartella(const QString &folder)
{
    if (folder.isEmpty())
        throw TolmError(QStringLiteral("Unable to create directory"));

    QString dir = folder;
    // "C:\" names a drive's root and keeps its separator.
    if (dir.size() > 1 && isSeparator(dir.back()) && dir.at(dir.size() - 2) != QLatin1Char(':'))
        dir.chop(1);
    if (QFileInfo(dir).isDir())
        return;

    // Every level of the path, outermost first, the folder itself last.
    for (qsizetype end = 1; end <= dir.size(); ++end) {
        if (end < dir.size() && !isSeparator(dir.at(end)))
            continue;
        const QString level = dir.left(end);
        if (isSeparator(level.back()) || level.back() == QLatin1Char(':'))
            continue; // the root, a run of separators or a drive
        if (QFileInfo(level).isDir())
            continue;
        if (!QDir().mkdir(level) && !QFileInfo(level).isDir())
            throw TolmError(QStringLiteral("Unable to create directory ") + QDir::toNativeSeparators(dir));
    }
}
