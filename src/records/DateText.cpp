#include "records/DateText.h"

namespace {
const QString kDayFormat = QStringLiteral("dd/MM/yyyy");
} // namespace

QString datacorta(const QDate &date)
{
    if (!date.isValid())
        return QString();
    // "yy" is the year's last two digits for every year from 1 on; before
    // it Qt writes a sign, so those two digits are taken here.
    if (date.year() > 0)
        return date.toString(QStringLiteral("ddMMyy"));
    return date.toString(QStringLiteral("ddMM")) + QStringLiteral("%1").arg(-date.year() % 100, 2, 10, QLatin1Char('0'));
}

QString dayText(const QDate &day)
{
    return day.toString(kDayFormat);
}

QString momentText(const QDateTime &moment)
{
    return moment.toString(kDayFormat + QStringLiteral(" hh:mm:ss"));
}
