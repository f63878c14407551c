#pragma once

#include <QByteArray>
#include <QString>

// The floor the export's file step is measured against: the same bytes
// written with one write() into a new file of the folder, with the
// durability the export file gets (the file synced before it is renamed
// over the target, the folder synced after). Throws TolmError on a failure.
void plainWrite(const QString &folder, const QString &fileName, const QByteArray &content);
