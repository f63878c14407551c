// Making the export folder exist.
#include "export/ExportFolder.h"

#include "platform/TolmError.h"

#include <QDir>

void createFolder(const QString &folder)
{
    if (folder.isEmpty())
        throw TolmError(QStringLiteral("Unable to create directory"));
    if (QDir().mkpath(folder))
        return;

    QString dir = folder;
    // "C:\" names a drive's root and keeps its separator.
    const auto isSeparator = [](QChar c) { return c == QLatin1Char('/') || c == QDir::separator(); };
    if (dir.size() > 1 && isSeparator(dir.back()) && dir.at(dir.size() - 2) != QLatin1Char(':'))
        dir.chop(1);
    throw TolmError(QStringLiteral("Unable to create directory ") + QDir::toNativeSeparators(dir));
}
