// Windows: the session's end. When the user logs off or Windows shuts down,
// Qt's windows platform asks the application to commit its data
// (WM_QUERYENDSESSION) before the session ends; the program then ends as
// closing its window does. Nothing is left to save: the program keeps no
// unsaved state, so the session's end is never refused.
#include "app/ProgramEnd.h"

#include <QGuiApplication>
#include <QSessionManager>

void ProgramEnd::watch()
{
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &) { request(); },
            Qt::DirectConnection);
}
