#pragma once

#include <QByteArray>
#include <QDate>
#include <QStringList>

// The floor the extraction is measured against: the extraction's SQL run
// over the same databases, in the same order, through the same client
// library, with the same connection and transaction parameters, fetching
// every row and reading nothing from it.
struct RawFetchRequest
{
    QStringList databases; // connection strings, in list order
    QByteArray user;
    QByteArray password;
    QByteArray characterSet; // lc_ctype
    QDate from;
    QDate to;
    QByteArray heading; // in the connection's character set
};

// Attaches, starts the transaction, prepares, executes and fetches to the
// end, commits and detaches, database by database. Returns the rows fetched.
// Throws TolmError with the client's text on a failure.
qint64 rawFetch(const RawFetchRequest &request);
