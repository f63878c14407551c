#include "firebird/IBTransaction.h"

#include "firebird/FbClient.h"
#include "firebird/IBDatabase.h"
#include "platform/TolmError.h"

#include <algorithm>

namespace {

struct TpbItem
{
    const char *name;
    char item;
};

constexpr TpbItem kTpbItems[] = {
    {"read_committed", isc_tpb_read_committed},
    {"rec_version", isc_tpb_rec_version},
    {"no_rec_version", isc_tpb_no_rec_version},
    {"nowait", isc_tpb_nowait},
    {"wait", isc_tpb_wait},
    {"concurrency", isc_tpb_concurrency},
    {"consistency", isc_tpb_consistency},
    {"read", isc_tpb_read},
    {"write", isc_tpb_write},
};

} // namespace

IBTransaction::IBTransaction()
    : m_client(&FbClient::instance())
{
}

IBTransaction::~IBTransaction()
{
    endQuietly();
    setDefaultDatabase(nullptr);
}

IBDatabase *IBTransaction::DefaultDatabase() const
{
    return m_database.data();
}

void IBTransaction::setDefaultDatabase(IBDatabase *database)
{
    if (database == m_database)
        return;
    endQuietly();
    if (IBDatabase *previous = m_database.data()) {
        disconnect(previous, nullptr, this, nullptr);
        if (previous->m_defaultTransaction == this)
            previous->m_defaultTransaction = nullptr;
    }
    m_database = database;
    if (database) {
        connect(database, &IBDatabase::transactionsEnding, this, &IBTransaction::endQuietly, Qt::DirectConnection);
        if (!database->m_defaultTransaction)
            database->m_defaultTransaction = this;
    }
}

QByteArray IBTransaction::buildTpb() const
{
    QByteArray tpb;
    for (const QString &line : m_params) {
        const QString name = line.trimmed().toLower();
        if (name.isEmpty())
            continue;
        const auto found = std::find_if(std::begin(kTpbItems), std::end(kTpbItems),
                                        [&](const TpbItem &t) { return name == QLatin1String(t.name); });
        if (found == std::end(kTpbItems))
            throw TolmError(QStringLiteral("Unknown transaction parameter: %1").arg(line));
        tpb.append(found->item);
    }
    if (!tpb.isEmpty())
        tpb.prepend(char(isc_tpb_version3));
    return tpb;
}

void IBTransaction::StartTransaction()
{
    if (InTransaction())
        throw TolmError(QStringLiteral("Transaction is already active"));
    if (!m_database)
        throw TolmError(QStringLiteral("Transaction has no database"));
    if (!m_database->Connected())
        throw TolmError(QStringLiteral("Database not open"));

    const QByteArray tpb = buildTpb();
    isc_db_handle database = m_database->handle();
    FbTeb teb{&database, int(tpb.size()), tpb.isEmpty() ? nullptr : tpb.constData()};
    ISC_STATUS_ARRAY status;
    isc_tr_handle handle = 0;
    m_client->start_multiple(status, &handle, 1, &teb);
    m_client->check(status);
    m_handle = handle;
}

void IBTransaction::Commit()
{
    if (!InTransaction())
        throw TolmError(QStringLiteral("Transaction is not active"));
    emit aboutToEnd();
    ISC_STATUS_ARRAY status;
    m_client->commit_transaction(status, &m_handle);
    m_client->check(status);
    m_handle = 0;
}

void IBTransaction::Rollback()
{
    if (!InTransaction())
        throw TolmError(QStringLiteral("Transaction is not active"));
    emit aboutToEnd();
    ISC_STATUS_ARRAY status;
    m_client->rollback_transaction(status, &m_handle);
    m_client->check(status);
    m_handle = 0;
}

void IBTransaction::endQuietly()
{
    if (!InTransaction())
        return;
    emit aboutToEnd();
    ISC_STATUS_ARRAY status;
    m_client->commit_transaction(status, &m_handle);
    if (FbClient::failed(status))
        m_client->rollback_transaction(status, &m_handle);
    m_handle = 0;
}
