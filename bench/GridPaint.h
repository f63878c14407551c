#pragma once

#include <QDate>

class TDataModule1;

// The main window's grid after an extraction: how long from the end of the
// invoice table's model reset (the moment the records stand sorted) until
// the grid has handled the reset and painted for the first time.
struct GridTiming
{
    double viewResetMs = 0; // reset end -> the window has taken the read's invoices
    double totalMs = 0;     // reset end -> first paint of the grid finished
};

// Shows the program's main window (offscreen platform) on an empty table,
// then extracts through its "Estrai Dati" handler. The data module must have
// no view on its invoice table yet.
GridTiming measureGridResetPaint(TDataModule1 &dataModule, const QDate &from, const QDate &to);
