#pragma once

#include <QtGlobal>

// Whoever starts an extraction and follows it: the data module tells it how
// far the read has come and asks it whether to stop. The main window shows
// the progress and runs the event loop from here; the core itself knows no
// event loop.
//
// The data module calls progress() when each database begins, every
// kRowsPerReport rows while its rows are read and between the steps of the
// final ordering of the table, and asks shouldStop() right after each
// progress(). A true answer stops the read: the query is closed and the
// transaction committed as after a complete read, and the invoice table is
// left empty.
class ExtractionListener
{
public:
    static constexpr qint64 kRowsPerReport = 2048;

    // Database (from 1) of databases is being read; invoices have been read
    // so far, over all databases.
    virtual void progress(int database, int databases, qint64 invoices) = 0;
    virtual bool shouldStop() = 0;

protected:
    ~ExtractionListener() = default;
};
