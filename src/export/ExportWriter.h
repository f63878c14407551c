#pragma once

#include "platform/SafeWriter.h"

#include <QByteArray>
#include <QString>

#include <functional>

// Writes content to path through a temporary file in the same folder,
// renamed over an existing file. Raises "Cannot create file "path". reason"
// or "Stream write error: reason"; a failure leaves an earlier file whole.
void saveFile(const QString &path, const QByteArray &content);

// Takes the content of a file piece after piece.
using ExportSink = SafeWriter::Sink;
// The same, with the content handed piece by piece to the sink that
// produce receives: a large content need not be held whole in memory. The
// file appears only once produce has returned and everything is on disk.
void saveFile(const QString &path, const std::function<void(const ExportSink &)> &produce);
