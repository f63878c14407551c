#pragma once

#include <QDate>
#include <QString>

// The short date text: day and month as two digits each, then the last two
// digits of the year; 6 November 2025 gives 061125. Names the dated export
// subfolder and fills the date columns of the export file. An invalid date
// gives the empty text.
QString datacorta(const QDate &date);
