#pragma once

#include <QString>

// Makes the folder exist, creating every missing level. Raises
// "Unable to create directory" (followed by a blank and the path when there
// is one) when it cannot.
void createFolder(const QString &folder);
