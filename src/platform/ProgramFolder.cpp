#include "platform/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>

namespace {
QString &overriddenFolder()
{
    static QString folder;
    return folder;
}

QString withSeparator(QString folder)
{
    folder = QDir::toNativeSeparators(folder);
    if (!folder.endsWith(pathSeparator()))
        folder += pathSeparator();
    return folder;
}
} // namespace

QString pathSeparator()
{
    return QString(QDir::separator());
}

QString programFolder()
{
    if (!overriddenFolder().isEmpty())
        return overriddenFolder();
    return withSeparator(QCoreApplication::applicationDirPath());
}

void setProgramFolder(const QString &folder)
{
    overriddenFolder() = folder.isEmpty() ? QString() : withSeparator(folder);
}

QString settingsFilePath()
{
    return programFolder() + QStringLiteral("Tolm.ini");
}

QString defaultSaveFolder()
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\EsportazioneTarvendo");
#else
    return QDir::toNativeSeparators(QDir::homePath()) + pathSeparator() + QStringLiteral("EsportazioneTarvendo");
#endif
}
