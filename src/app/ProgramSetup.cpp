#include "app/ProgramSetup.h"

#include "app/QtPrompter.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

void setUpApplication(QCoreApplication &app)
{
    QCoreApplication::setApplicationName(programTitle());
    loadQtTranslations(app, QLocale());
}

bool loadQtTranslations(QCoreApplication &app, const QLocale &locale)
{
    auto *translator = new QTranslator(&app);
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}
