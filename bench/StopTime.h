#pragma once

#include <QDate>
#include <QString>

class TDataModule1;

// The main window reading the whole period through "Estrai Dati", and
// Escape pressed once pressAfterMs have passed: how long from the press to
// the handler's return, the window idle again with the table empty (the
// read's threads end on their own). The press
// counts from when it was due, so the wait for the event loop to take it is
// part of the figure, as it is for a user's key.
struct StopTime
{
    double stopMs = 0;
    QString progressAtPress; // the summary line when Escape was taken
};

// With pressAtInvoices, Escape is pressed instead as soon as the summary line
// counts that many invoices read (pressAfterMs is then not used).
StopTime measureStop(TDataModule1 &dataModule, const QDate &from, const QDate &to, int pressAfterMs,
                     qint64 pressAtInvoices = -1);
