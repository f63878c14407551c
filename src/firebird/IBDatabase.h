#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <ibase.h>

#include <utility>

class FbClient;
class IBTransaction;

// An attachment made by IBDatabase::attach() and not yet given to a
// connection. Any thread may make one; whoever holds it last detaches it, so
// one made for a connection that no longer wants it (a read that was
// stopped, a program that ends) is released where it is dropped.
class IBAttachment
{
public:
    enum class Charset { Ansi, Latin1, Utf8 };

    IBAttachment() = default;
    IBAttachment(const FbClient &client, isc_db_handle handle, int dialect, int databaseDialect, Charset charset)
        : m_client(&client), m_handle(handle), m_dialect(dialect), m_databaseDialect(databaseDialect),
          m_charset(charset)
    {
    }
    ~IBAttachment() { detach(); }
    IBAttachment(IBAttachment &&other) noexcept { *this = std::move(other); }
    IBAttachment &operator=(IBAttachment &&other) noexcept;
    IBAttachment(const IBAttachment &) = delete;
    IBAttachment &operator=(const IBAttachment &) = delete;

    bool isValid() const { return m_handle != 0; }
    int dialect() const { return m_dialect; }
    int databaseDialect() const { return m_databaseDialect; }
    Charset charset() const { return m_charset; }
    // The handle, now the caller's to detach.
    isc_db_handle release()
    {
        const isc_db_handle handle = m_handle;
        m_handle = 0;
        return handle;
    }
    // Detaches now, quietly.
    void detach();

private:
    const FbClient *m_client = nullptr;
    isc_db_handle m_handle = 0;
    int m_dialect = 3;
    int m_databaseDialect = 0;
    Charset m_charset = Charset::Ansi;
};

// One connection to a Firebird database through the client library.
//
// Parameter lines, used in their order to build the database parameter block:
//   user_name=<user>  password=<password>  lc_ctype=<character set>
//   sql_role_name=<role>  sql_dialect=<1 or 3>
// A connection works in dialect 3 unless it asks for dialect 1
// ("sql_dialect=1") or the database's own dialect is lower.
//
// Building one loads the client library (FbClient), so it throws TolmError when
// the library is missing. Every other failure is a TolmError carrying the
// client's own message text. The destructor closes the connection and never
// throws.
//
// The connection owns the attachment handle and nothing else. What runs on it
// learns of a close through two signals and releases its own handles: the
// datasets bound to it on aboutToDisconnect(), then its transactions on
// transactionsEnding().
class IBDatabase : public QObject
{
    Q_OBJECT

public:
    IBDatabase();
    ~IBDatabase() override;
    IBDatabase(const IBDatabase &) = delete;
    IBDatabase &operator=(const IBDatabase &) = delete;

    // Local path or connection string, handed to the client as Windows-1252
    // bytes. Read by Open().
    const QString &DatabaseName() const { return m_databaseName; }
    void setDatabaseName(const QString &name) { m_databaseName = name; }

    // Parameter lines, read by Open().
    QStringList &Params() { return m_params; }
    const QStringList &Params() const { return m_params; }

    // Every attachment waits at most this long for a server that does not
    // answer, so that a server PC switched off is told in seconds.
    static constexpr int kConnectTimeoutSeconds = 15;

    // Attaches. Does nothing when already connected. An empty name fails
    // without contacting the client.
    void Open();
    // Makes an attachment as Open() does, on any thread, without touching a
    // connection: give it to one with adopt().
    static IBAttachment attach(const QString &databaseName, const QStringList &params);
    // Takes an attachment made for this connection's name and parameters.
    // Does nothing when already connected (the attachment is then dropped).
    void adopt(IBAttachment attachment);
    // Closes the datasets bound to this connection, commits every active
    // transaction (rolls it back when the commit fails), then detaches.
    // Does nothing when closed.
    void Close();
    bool Connected() const { return m_handle != 0; }
    // The attachment handle (0 when closed), for the client calls of the
    // transactions and datasets on this connection.
    isc_db_handle handle() const { return m_handle; }

    // Dialect in use: 1 or 3 (3 until the first Open).
    int SQLDialect() const { return m_dialect; }
    // The database's own dialect, read at Open (0 while never opened).
    int DBSQLDialect() const { return m_databaseDialect; }

    // The transaction the connection's datasets use unless given another.
    // The transaction makes the link both ways when it is given this
    // connection as its default database (IBTransaction::setDefaultDatabase),
    // and undoes it when it leaves the connection or is destroyed.
    IBTransaction *DefaultTransaction() const { return m_defaultTransaction; }

    // Text in the connection's character set (lc_ctype): ISO8859_1 as
    // Latin-1, UTF8 as UTF-8, anything else (NONE, WIN1252) as Windows-1252.
    QByteArray encodeText(const QString &text) const;
    QString decodeText(const char *bytes, qsizetype length) const;

    const FbClient &client() const { return *m_client; }

signals:
    // Close() has begun: datasets bound to the connection close and drop
    // their statements. Emitted only while connected.
    void aboutToDisconnect();
    // Next step of Close(), once the statements are gone: every transaction
    // on the connection commits (rolls back when the commit fails).
    void transactionsEnding();

private:
    using Charset = IBAttachment::Charset;

    void detachQuietly();

    const FbClient *m_client;
    QString m_databaseName;
    QStringList m_params;
    isc_db_handle m_handle = 0;
    int m_dialect = 3;
    int m_databaseDialect = 0;
    Charset m_charset = Charset::Ansi;
    // Set and cleared by the transaction alone, so that it never outlives it.
    friend class IBTransaction;
    IBTransaction *m_defaultTransaction = nullptr;
};
