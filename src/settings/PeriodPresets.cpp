#include "settings/PeriodPresets.h"

namespace {
QDate lunediDellaSettimana(const QDate &giorno)
{
    // Qt numbers the days Monday 1 .. Sunday 7.
    return giorno.addDays(1 - giorno.dayOfWeek());
}
} // namespace

Periodo periodoPredefinito(int preset, const QDate &oggi)
{
    switch (preset) {
    case 0:
        return {oggi, oggi};
    case 1:
        return {lunediDellaSettimana(oggi), oggi};
    case 2:
        return {QDate(oggi.year(), oggi.month(), 1), oggi};
    case 3:
        return {QDate(oggi.year(), 1, 1), oggi};
    case 4:
        return {oggi.addDays(-1), oggi.addDays(-1)};
    case 5: {
        const QDate lunedi = lunediDellaSettimana(oggi).addDays(-7);
        return {lunedi, lunedi.addDays(6)};
    }
    case 6: {
        const QDate primo = QDate(oggi.year(), oggi.month(), 1).addMonths(-1);
        return {primo, primo.addDays(primo.daysInMonth() - 1)};
    }
    default:
        return {QDate(2013, 1, 1), QDate(2013, 1, 1)};
    }
}
