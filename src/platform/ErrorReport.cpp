#include "platform/ErrorReport.h"

#include "platform/Prompter.h"
#include "platform/TolmError.h"

QString errorReportText(const QString &message)
{
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + QLatin1Char('.');
    return message;
}

void reportError(const std::exception &error)
{
    Prompter::current().error(errorReportText(errorText(error)));
}
