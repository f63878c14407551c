#include "records/ShortDate.h"

QString datacorta(const QDate &date)
{
    // "yy" is the year's last two digits for every year from 1000 to 9999.
    return date.isValid() ? date.toString(QStringLiteral("ddMMyy")) : QString();
}
