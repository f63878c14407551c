#pragma once

#include <QDate>

class TDataModule1;

// The main window while "Estrai Dati" runs: how long, at most, the event
// loop went without running (from the press to the handler's return), and
// how many times it ran.
struct UiGap
{
    double maxGapMs = 0;
    int loopRuns = 0;
};

// Shows the program's main window (offscreen platform) and extracts through
// its "Estrai Dati" handler, with a zero-interval timer as the event loop's
// pulse, until the read's invoices are in the grid; or, with watchMs, for
// that long only, then stops the read with Escape (a read that waits on a
// server that does not answer).
UiGap measureUiGap(TDataModule1 &dataModule, const QDate &from, const QDate &to, int watchMs = 0);
