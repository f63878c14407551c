#pragma once

#include "records/InvoiceStaging.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <atomic>

// One patient database as the settings name it: what a read needs to attach
// to it on a thread of its own.
struct PatientDatabase
{
    QString name;                 // as listed in [File]
    QStringList params;           // the connection's parameter lines
    QStringList transactionParams;
};

// What a read looks for: the heading's invoices between two days.
struct InvoiceQuery
{
    QDate from;
    QDate to;
    QString heading;
};

// Reads one patient database's invoices into a staging of its own, on the
// calling thread, through a connection, a transaction and a query that it
// makes and releases itself: a read that is no longer wanted ends at its next
// look at stop, or when the client's call it waits in returns, and closes its
// attachment then (the transaction committed, as after a whole read).
class DatabaseReader
{
public:
    DatabaseReader(const PatientDatabase &database, quint16 source, InvoiceStaging &staging,
                   std::atomic<qint64> &invoicesRead)
        : m_database(database), m_source(source), m_staging(staging), m_invoicesRead(invoicesRead)
    {
    }

    // False when stop turned true before the end. Errors name the database:
    // its name as listed, then the client's message; an amount that does
    // not fit, the invoice. The records read before an error stay in the
    // staging.
    bool read(const InvoiceQuery &query, const std::atomic<bool> &stop);

    // True while every invoice read has a tax code.
    bool everyTaxCode() const { return m_everyTaxCode; }

private:
    bool readRows(const InvoiceQuery &query, const std::atomic<bool> &stop);

    const PatientDatabase &m_database;
    quint16 m_source;
    InvoiceStaging &m_staging;
    std::atomic<qint64> &m_invoicesRead;
    bool m_everyTaxCode = true;
};
