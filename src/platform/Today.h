#pragma once

#include <QDate>

// Today's local date. Tests fix it with setToday(); an invalid date returns
// to the system clock.
QDate today();
void setToday(const QDate &date);
