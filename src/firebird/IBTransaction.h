#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <ibase.h>

class FbClient;
class IBDatabase;

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
//
// The transaction owns its handle and nothing else: it ends itself when its
// connection closes, and tells the datasets open on it through aboutToEnd().
class IBTransaction : public QObject
{
    Q_OBJECT

public:
    IBTransaction();
    ~IBTransaction() override;
    IBTransaction(const IBTransaction &) = delete;
    IBTransaction &operator=(const IBTransaction &) = delete;

    QStringList &Params() { return m_params; }
    const QStringList &Params() const { return m_params; }

    // The connection the transaction runs on. Linked both ways: the
    // connection gets this transaction as its default one when it has none.
    // Changing it ends an active transaction first (as the destructor does).
    IBDatabase *DefaultDatabase() const;
    void setDefaultDatabase(IBDatabase *database);

    void StartTransaction();
    void Commit();
    void Rollback();
    bool InTransaction() const { return m_handle != 0; }
    // The transaction handle (0 when not active), for the client calls of
    // the datasets that run on it.
    isc_tr_handle handle() const { return m_handle; }

signals:
    // The transaction is about to commit or roll back: datasets open on it
    // close their cursors.
    void aboutToEnd();

private:
    QByteArray buildTpb() const;
    // Commit, else roll back, else forget the handle. Never throws.
    void endQuietly();

    const FbClient *m_client;
    QStringList m_params;
    QPointer<IBDatabase> m_database; // null once it is destroyed
    isc_tr_handle m_handle = 0;
};
