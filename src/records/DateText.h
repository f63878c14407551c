#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

// The texts of dates that the program writes itself (the grid and the date
// pickers follow the regional settings instead).

// The short date text: day and month as two digits each, then the last two
// digits of the year; 6 November 2025 gives 061125. Names the dated export
// subfolder and fills the date columns of the export file. An invalid date
// gives the empty text.
QString datacorta(const QDate &date);

// A day as the messages, the tooltips and the export journal write it:
// 06/11/2025.
QString dayText(const QDate &day);

// The moment of an export as the journal writes it: 06/11/2025 10:30:05.
QString momentText(const QDateTime &moment);
