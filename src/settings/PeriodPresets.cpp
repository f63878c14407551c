#include "settings/PeriodPresets.h"

namespace {
QDate mondayOfWeek(const QDate &day)
{
    // Qt numbers the days Monday 1 .. Sunday 7.
    return day.addDays(1 - day.dayOfWeek());
}
} // namespace

Period defaultPeriod(int preset, const QDate &today)
{
    switch (preset) {
    case 0:
        return {today, today};
    case 1:
        return {mondayOfWeek(today), today};
    case 2:
        return {QDate(today.year(), today.month(), 1), today};
    case 3:
        return {QDate(today.year(), 1, 1), today};
    case 4:
        return {today.addDays(-1), today.addDays(-1)};
    case 5: {
        const QDate monday = mondayOfWeek(today).addDays(-7);
        return {monday, monday.addDays(6)};
    }
    case 6: {
        const QDate first = QDate(today.year(), today.month(), 1).addMonths(-1);
        return {first, first.addDays(first.daysInMonth() - 1)};
    }
    default:
        return {kInitialDate, kInitialDate};
    }
}
