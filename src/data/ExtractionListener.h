#pragma once

#include <QtGlobal>

// Whoever starts an extraction and follows it: the read tells it how far it
// has come and asks it whether to stop.
//
// Both calls come from a thread of the read (one thread, never two at once),
// not from the one that started it: a window hands what it hears to its own
// thread with a queued call. progress() comes as the read begins, whenever a
// database ends, at least every ExtractionRun::kReportIntervalMs while the
// databases are read, and between the steps of the final ordering of the
// table; shouldStop() right after each progress(). A true answer stops the
// read: each database's connection ends as after a complete read, and the
// invoice table is left empty.
class ExtractionListener
{
public:
    // Database (from 1) of databases is the first, in list order, still
    // being read; invoices have been read so far, over all databases.
    virtual void progress(int database, int databases, qint64 invoices) = 0;
    virtual bool shouldStop() = 0;

protected:
    ~ExtractionListener() = default;
};
