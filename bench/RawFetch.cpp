#include "RawFetch.h"

#include "firebird/FbClient.h"
#include "firebird/IBDataSet.h"
#include "data/TDataModule1.h"
#include "platform/TolmError.h"

#include <cstdlib>
#include <memory>
#include <vector>

namespace {

// ISC_DATE counts days from 17 November 1858, Julian day 2400001.
constexpr qint64 kIscDateEpoch = 2400001;
constexpr ISC_STATUS kEndOfCursor = 100;

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
using Sqlda = std::unique_ptr<XSQLDA, FreeDeleter>;

Sqlda allocateSqlda(int count)
{
    count = std::max(count, 1);
    Sqlda sqlda(static_cast<XSQLDA *>(std::calloc(1, XSQLDA_LENGTH(count))));
    if (!sqlda)
        throw std::bad_alloc();
    sqlda->version = SQLDA_VERSION1;
    sqlda->sqln = short(count);
    return sqlda;
}

void appendItem(QByteArray &block, char item, const QByteArray &value)
{
    block.append(item);
    block.append(char(value.size()));
    block.append(value);
}

// One statement on one attachment, released in reverse order however the
// fetch ends.
class Session
{
public:
    explicit Session(const FbClient &client) : m_client(client) {}
    ~Session()
    {
        ISC_STATUS_ARRAY status;
        if (m_statement)
            m_client.dsql_free_statement(status, &m_statement, DSQL_drop);
        if (m_transaction)
            m_client.rollback_transaction(status, &m_transaction);
        if (m_database)
            m_client.detach_database(status, &m_database);
    }

    qint64 run(const QString &database, const RawFetchRequest &r, const QByteArray &sql)
    {
        ISC_STATUS_ARRAY status;
        QByteArray dpb(1, char(isc_dpb_version1));
        appendItem(dpb, isc_dpb_user_name, r.user);
        appendItem(dpb, isc_dpb_password, r.password);
        appendItem(dpb, isc_dpb_lc_ctype, r.characterSet);
        const QByteArray name = database.toLocal8Bit();
        m_client.attach_database(status, short(name.size()), name.constData(), &m_database, short(dpb.size()),
                                 dpb.constData());
        m_client.check(status);

        const char tpb[] = {isc_tpb_version3, isc_tpb_read_committed, isc_tpb_rec_version, isc_tpb_nowait};
        FbTeb teb{&m_database, int(sizeof tpb), tpb};
        m_client.start_multiple(status, &m_transaction, 1, &teb);
        m_client.check(status);

        m_client.dsql_allocate_statement(status, &m_database, &m_statement);
        m_client.check(status);
        Sqlda out = allocateSqlda(32);
        m_client.dsql_prepare(status, &m_transaction, &m_statement, (unsigned short)sql.size(), sql.constData(), 3,
                              out.get());
        m_client.check(status);
        if (out->sqld > out->sqln) {
            out = allocateSqlda(out->sqld);
            m_client.dsql_describe(status, &m_statement, SQLDA_VERSION1, out.get());
            m_client.check(status);
        }
        // Room for every column: the client writes each fetched row there.
        std::vector<std::unique_ptr<char[]>> buffers;
        std::vector<short> indicators(size_t(out->sqld));
        for (int i = 0; i < out->sqld; ++i) {
            XSQLVAR &var = out->sqlvar[i];
            buffers.emplace_back(new char[size_t(var.sqllen) + 2]);
            var.sqldata = buffers.back().get();
            var.sqlind = &indicators[size_t(i)];
            var.sqltype = short(var.sqltype | 1);
        }

        // Parameters: the two days as dates, the heading as text.
        Sqlda in = allocateSqlda(3);
        m_client.dsql_describe_bind(status, &m_statement, SQLDA_VERSION1, in.get());
        m_client.check(status);
        if (in->sqld != 3)
            throw TolmError(QStringLiteral("The extraction's SQL has %1 parameters, not 3").arg(in->sqld));
        ISC_DATE days[2] = {ISC_DATE(r.from.toJulianDay() - kIscDateEpoch), ISC_DATE(r.to.toJulianDay() - kIscDateEpoch)};
        short present[3] = {0, 0, 0};
        for (int i = 0; i < 2; ++i) {
            XSQLVAR &var = in->sqlvar[i];
            var.sqltype = SQL_TYPE_DATE | 1;
            var.sqllen = sizeof(ISC_DATE);
            var.sqlscale = 0;
            var.sqlsubtype = 0;
            var.sqldata = reinterpret_cast<char *>(&days[i]);
            var.sqlind = &present[i];
        }
        QByteArray heading = r.heading;
        XSQLVAR &text = in->sqlvar[2];
        text.sqltype = SQL_TEXT | 1;
        text.sqllen = short(heading.size());
        text.sqlscale = 0;
        text.sqldata = heading.data();
        text.sqlind = &present[2];

        m_client.dsql_execute(status, &m_transaction, &m_statement, SQLDA_VERSION1, in.get());
        m_client.check(status);
        qint64 rows = 0;
        for (;;) {
            const ISC_STATUS result = m_client.dsql_fetch(status, &m_statement, SQLDA_VERSION1, out.get());
            if (result == kEndOfCursor)
                break;
            m_client.check(status);
            ++rows;
        }

        m_client.dsql_free_statement(status, &m_statement, DSQL_drop);
        m_statement = 0;
        m_client.commit_transaction(status, &m_transaction);
        m_client.check(status);
        m_transaction = 0;
        m_client.detach_database(status, &m_database);
        m_client.check(status);
        m_database = 0;
        return rows;
    }

private:
    const FbClient &m_client;
    isc_db_handle m_database = 0;
    isc_tr_handle m_transaction = 0;
    isc_stmt_handle m_statement = 0;
};

} // namespace

qint64 rawFetch(const RawFetchRequest &request)
{
    const FbClient &client = FbClient::instance();
    QStringList names;
    const QByteArray sql = IBDataSet::toPositional(QString::fromLatin1(TDataModule1::kExtractionSql), &names).toLatin1();
    qint64 rows = 0;
    for (const QString &database : request.databases) {
        Session session(client);
        rows += session.run(database, request, sql);
    }
    return rows;
}
