#pragma once

#include <QString>

// The folder that holds the program and Tolm.ini, always ending with the
// platform's separator. Production: the executable's folder. Tests point it
// at a temporary folder with setProgramFolder().
QString programFolder();
void setProgramFolder(const QString &folder);

// The full path of the settings file.
QString settingsFilePath();

// The platform's path separator as text ("/" here, "\" on Windows).
QString pathSeparator();

// The export folder used until the settings name one: "C:\EsportazioneTarvendo"
// on Windows; elsewhere the same name in the user's home folder.
QString defaultSaveFolder();
