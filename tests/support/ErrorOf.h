#pragma once

#include "platform/TolmError.h"

#include <QString>

// The message of the error the body raises; "<no error>" when none.
template <typename Body>
QString errorOf(Body body)
{
    try {
        body();
    } catch (const TolmError &e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}
