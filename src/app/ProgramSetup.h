#pragma once

class QCoreApplication;
class QLocale;

// The application object as the program sets it up before any window:
// its name, and Qt's own translations for the user's language.
//
// No display name is set: Qt would append it to every window title.
void setUpApplication(QCoreApplication &app);

// Installs Qt's translations (standard buttons, file dialogs) for locale's
// languages; false when none are installed for it.
bool loadQtTranslations(QCoreApplication &app, const QLocale &locale);
