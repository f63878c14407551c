#pragma once

#include <QStringList>

#include <ibase.h>

#include <vector>

class FbClient;
class IBDatabase;
class IBDataSet;

// A transaction on one connection.
//
// Parameter lines become a transaction parameter block of version 3, in their
// order: read_committed, rec_version, no_rec_version, nowait, wait,
// concurrency, consistency, read, write. Without lines the block is empty and
// the server's defaults apply (snapshot, wait, read-write).
//
// A dataset that opens on an inactive transaction starts it. Commit and
// Rollback close the datasets open on the transaction first. The destructor
// commits an active transaction (rolls back if that fails) and never throws.
class IBTransaction
{
public:
    IBTransaction();
    ~IBTransaction();
    IBTransaction(const IBTransaction &) = delete;
    IBTransaction &operator=(const IBTransaction &) = delete;

    QStringList &Params() { return m_params; }
    const QStringList &Params() const { return m_params; }

    // The connection the transaction runs on. Linked both ways: the
    // connection gets this transaction as its default one when it has none.
    IBDatabase *DefaultDatabase() const { return m_database; }
    void setDefaultDatabase(IBDatabase *database);

    void StartTransaction();
    void Commit();
    void Rollback();
    bool InTransaction() const { return m_handle != 0; }

private:
    friend class IBDatabase;
    friend class IBDataSet;

    QByteArray buildTpb() const;
    void closeDataSets();
    // Commit, else roll back, else forget the handle. Never throws.
    void endQuietly();

    const FbClient *m_client;
    QStringList m_params;
    IBDatabase *m_database = nullptr;
    isc_tr_handle m_handle = 0;
    std::vector<IBDataSet *> m_dataSets;
};
