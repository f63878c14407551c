#pragma once

#include <QString>

#include <exception>
#include <utility>

// The default error report: an error box titled "Tolm Export" whose text is
// the error's message, with a full stop added when the message ends with a
// character whose code is above that of the full stop.
QString errorReportText(const QString &message);
void reportError(const std::exception &error);

// Runs an event handler's body and sends any error it raises to the default
// error report. Qt lets no exception cross its event loop, so every handler
// that can fail runs inside this. Returns false when an error was reported.
template <typename Body>
bool guarded(Body &&body)
{
    try {
        std::forward<Body>(body)();
        return true;
    } catch (const std::exception &error) {
        reportError(error);
        return false;
    }
}
