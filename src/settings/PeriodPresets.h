#pragma once

#include <QDate>

// The date range the main window starts with, chosen by the setting
// "PeriodoSalvataggio":
//   0 today                      4 yesterday
//   1 Monday of this week..today 5 Monday..Sunday of the week before
//   2 first of the month..today  6 first..last day of the month before
//   3 1 January..today
// Weeks begin on Monday: a Sunday belongs to the week that began six days
// earlier. Any other value gives kInitialDate for both dates.
struct Period
{
    QDate from;
    QDate to;
};

// The date pickers' value before a preset is applied, and both dates of a
// preset outside 0 to 6.
inline const QDate kInitialDate(2013, 1, 1);

Period defaultPeriod(int preset, const QDate &today);
