#include "firebird/IBDataSet.h"

#include "firebird/FbClient.h"
#include "firebird/IBDatabase.h"
#include "firebird/IBTransaction.h"
#include "platform/TolmError.h"

#include <QTime>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

constexpr ISC_STATUS kEndOfCursor = 100;

constexpr qint64 kPow10[] = {
    1LL, 10LL, 100LL, 1000LL, 10000LL, 100000LL, 1000000LL, 10000000LL, 100000000LL,
    1000000000LL, 10000000000LL, 100000000000LL, 1000000000000LL, 10000000000000LL,
    100000000000000LL, 1000000000000000LL, 10000000000000000LL, 100000000000000000LL,
    1000000000000000000LL,
};

// x * 10^4 rounded to the nearest; false when it is not a number or does not
// fit.
bool roundMoney(double x, qint64 *result)
{
    const double scaled = x * double(kMoneyScale);
    // 2^63: the first value that no qint64 holds.
    if (!(scaled > -9223372036854775808.0 && scaled < 9223372036854775808.0))
        return false;
    *result = std::llround(scaled);
    return true;
}

// value * 10^shift, rounded half away from zero when shift is negative.
qint64 shiftDecimal(qint64 value, int shift)
{
    if (shift >= 0)
        return shift <= 18 ? value * kPow10[shift] : 0;
    if (shift < -18)
        return 0;
    const qint64 divisor = kPow10[-shift];
    qint64 quotient = value / divisor;
    const qint64 remainder = value % divisor;
    if ((remainder < 0 ? -remainder : remainder) * 2 >= divisor)
        quotient += value < 0 ? -1 : 1;
    return quotient;
}

// value * 10^shift, rounded half away from zero when shift is negative, into
// *result; false when it does not fit.
bool shiftMoney(qint64 value, int shift, qint64 *result)
{
    if (shift > 0)
        return shift <= 18 && !__builtin_mul_overflow(value, kPow10[shift], result);
    *result = shiftDecimal(value, shift);
    return true;
}

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

XSQLDA *allocateSqlda(int count)
{
    count = std::max(count, 1);
    auto *sqlda = static_cast<XSQLDA *>(std::calloc(1, XSQLDA_LENGTH(count)));
    if (!sqlda)
        throw std::bad_alloc();
    sqlda->version = SQLDA_VERSION1;
    sqlda->sqln = short(count);
    return sqlda;
}

size_t alignUp(size_t offset, size_t alignment)
{
    return (offset + alignment - 1) / alignment * alignment;
}

} // namespace

QString IBDataSet::toPositional(const QString &sql, QStringList *names)
{
    names->clear();
    QString out;
    out.reserve(sql.size());
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            // A quoted span runs to the next same quote; a doubled quote
            // closes and reopens it, which comes to the same.
            const qsizetype end = sql.indexOf(c, i + 1);
            const qsizetype stop = end < 0 ? n : end + 1;
            out += QStringView(sql).mid(i, stop - i);
            i = stop;
        } else if (c == QLatin1Char('-') && i + 1 < n && sql.at(i + 1) == QLatin1Char('-')) {
            const qsizetype end = sql.indexOf(QLatin1Char('\n'), i);
            const qsizetype stop = end < 0 ? n : end + 1;
            out += QStringView(sql).mid(i, stop - i);
            i = stop;
        } else if (c == QLatin1Char('/') && i + 1 < n && sql.at(i + 1) == QLatin1Char('*')) {
            const qsizetype end = sql.indexOf(QLatin1String("*/"), i + 2);
            const qsizetype stop = end < 0 ? n : end + 2;
            out += QStringView(sql).mid(i, stop - i);
            i = stop;
        } else if (c == QLatin1Char(':') && i + 1 < n && isNameChar(sql.at(i + 1))) {
            qsizetype end = i + 1;
            while (end < n && isNameChar(sql.at(end)))
                ++end;
            names->append(sql.mid(i + 1, end - i - 1));
            out += QLatin1Char('?');
            i = end;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

IBDataSet::IBDataSet(IBDatabase *database)
    : m_client(&FbClient::instance())
{
    setDatabase(database);
}

IBDataSet::~IBDataSet()
{
    Unprepare();
}

IBDatabase *IBDataSet::Database() const
{
    return m_database.data();
}

IBTransaction *IBDataSet::Transaction() const
{
    return m_transaction.data();
}

void IBDataSet::setDatabase(IBDatabase *database)
{
    if (database == m_database)
        return;
    Unprepare();
    if (m_database)
        disconnect(m_database, nullptr, this, nullptr);
    m_database = database;
    if (!database)
        return;
    connect(database, &IBDatabase::aboutToDisconnect, this, &IBDataSet::Unprepare, Qt::DirectConnection);
    if (!m_transaction || m_transaction->DefaultDatabase() != database)
        setTransaction(database->DefaultTransaction());
}

void IBDataSet::setTransaction(IBTransaction *transaction)
{
    if (transaction == m_transaction)
        return;
    Close();
    if (m_transaction)
        disconnect(m_transaction, nullptr, this, nullptr);
    m_transaction = transaction;
    if (transaction)
        connect(transaction, &IBTransaction::aboutToEnd, this, &IBDataSet::Close, Qt::DirectConnection);
}

void IBDataSet::setSQL(const QString &sql)
{
    if (sql == m_sql)
        return;
    Unprepare();
    m_sql = sql;
    m_positionalSql = toPositional(sql, &m_paramNames);
}

IBTransaction *IBDataSet::effectiveTransaction() const
{
    IBTransaction *transaction = m_transaction.data();
    if (!transaction)
        throw TolmError(QStringLiteral("Dataset has no transaction"));
    if (transaction->DefaultDatabase() != m_database)
        throw TolmError(QStringLiteral("The dataset's transaction runs on another database"));
    if (!transaction->InTransaction())
        transaction->StartTransaction();
    return transaction;
}

void IBDataSet::Prepare()
{
    if (Prepared())
        return;
    if (!m_database)
        throw TolmError(QStringLiteral("Dataset has no database"));
    if (!m_database->Connected())
        throw TolmError(QStringLiteral("Database not open"));
    if (!m_transaction && m_database->DefaultTransaction())
        setTransaction(m_database->DefaultTransaction());
    if (m_sql.trimmed().isEmpty())
        throw TolmError(QStringLiteral("SQL text is empty"));
    const QByteArray sql = m_database->encodeText(m_positionalSql);
    if (sql.size() > USHRT_MAX)
        throw TolmError(QStringLiteral("SQL text too long"));
    IBTransaction *transaction = effectiveTransaction();

    ISC_STATUS_ARRAY status;
    isc_db_handle database = m_database->handle();
    isc_stmt_handle statement = 0;
    m_client->dsql_allocate_statement(status, &database, &statement);
    m_client->check(status);
    m_statement = statement;
    try {
        m_out.reset(allocateSqlda(32));
        isc_tr_handle transactionHandle = transaction->handle();
        m_client->dsql_prepare(status, &transactionHandle, &m_statement, (unsigned short)(sql.size()),
                               sql.constData(), (unsigned short)(m_database->SQLDialect()), m_out.get());
        m_client->check(status);
        describeOutput();
        describeInput();
    } catch (...) {
        Unprepare();
        throw;
    }
}

void IBDataSet::describeOutput()
{
    ISC_STATUS_ARRAY status;
    if (m_out->sqld > m_out->sqln) {
        m_out.reset(allocateSqlda(m_out->sqld));
        m_client->dsql_describe(status, &m_statement, SQLDA_VERSION1, m_out.get());
        m_client->check(status);
    }
    const int count = m_out->sqld;

    // One block for every column: data areas aligned to 8, then indicators.
    std::vector<size_t> offsets(static_cast<size_t>(count));
    size_t size = 0;
    for (int i = 0; i < count; ++i) {
        const XSQLVAR &var = m_out->sqlvar[i];
        const size_t length = size_t(std::max<short>(var.sqllen, 0)) + ((var.sqltype & ~1) == SQL_VARYING ? 2 : 0);
        size = alignUp(size, 8);
        offsets[size_t(i)] = size;
        size += std::max<size_t>(length, 1);
    }
    size = alignUp(size, 8);
    const size_t indicators = size;
    size += sizeof(short) * size_t(std::max(count, 1));
    m_row.reset(new char[size]());

    m_columns.clear();
    m_columns.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        XSQLVAR &var = m_out->sqlvar[i];
        var.sqldata = m_row.get() + offsets[size_t(i)];
        var.sqlind = reinterpret_cast<short *>(m_row.get() + indicators) + i;
        var.sqltype = short(var.sqltype | 1); // always report nulls
        Column column{short(var.sqltype & ~1), var.sqlscale, var.sqllen, var.sqldata, var.sqlind,
                      QString::fromLatin1(var.aliasname, var.aliasname_length), {}};
        m_columns.push_back(std::move(column));
    }
}

void IBDataSet::describeInput()
{
    ISC_STATUS_ARRAY status;
    m_in.reset(allocateSqlda(int(m_paramNames.size())));
    m_client->dsql_describe_bind(status, &m_statement, SQLDA_VERSION1, m_in.get());
    m_client->check(status);
    if (m_in->sqld > m_in->sqln) {
        m_in.reset(allocateSqlda(m_in->sqld));
        m_client->dsql_describe_bind(status, &m_statement, SQLDA_VERSION1, m_in.get());
        m_client->check(status);
    }
    m_in->sqln = m_in->sqld;
    m_params.assign(size_t(m_in->sqld), Param{});
    for (int i = 0; i < m_in->sqld; ++i) {
        const XSQLVAR &var = m_in->sqlvar[i];
        m_params[size_t(i)].describedType = short(var.sqltype & ~1);
        m_params[size_t(i)].describedSubtype = var.sqlsubtype;
        bindNull(i);
    }
}

void IBDataSet::Unprepare()
{
    Close();
    if (m_statement) {
        ISC_STATUS_ARRAY status;
        m_client->dsql_free_statement(status, &m_statement, DSQL_drop);
        m_statement = 0;
    }
    m_columns.clear();
    m_params.clear();
    m_in.reset();
    m_out.reset();
    m_row.reset();
}

void IBDataSet::ensurePrepared()
{
    if (!Prepared())
        Prepare();
}

std::vector<int> IBDataSet::slotsOf(const QString &name)
{
    ensurePrepared();
    std::vector<int> found;
    const qsizetype count = std::min<qsizetype>(m_paramNames.size(), qsizetype(m_params.size()));
    for (qsizetype i = 0; i < count; ++i)
        if (m_paramNames.at(i).compare(name, Qt::CaseInsensitive) == 0)
            found.push_back(int(i));
    if (found.empty())
        throw TolmError(QStringLiteral("Parameter %1 not found").arg(name));
    return found;
}

void IBDataSet::bindNull(int slot)
{
    Param &p = m_params[size_t(slot)];
    XSQLVAR &var = m_in->sqlvar[slot];
    p.indicator = -1;
    p.value.integer = 0;
    var.sqltype = SQL_LONG | 1;
    var.sqlscale = 0;
    var.sqlsubtype = 0;
    var.sqllen = sizeof(ISC_LONG);
    var.sqldata = reinterpret_cast<char *>(&p.value);
    var.sqlind = &p.indicator;
}

void IBDataSet::setParamNull(const QString &name)
{
    for (int slot : slotsOf(name))
        bindNull(slot);
}

void IBDataSet::setParamDate(const QString &name, QDate value, DayMoment moment)
{
    // ISC_TIME counts ten-thousandths of a second.
    constexpr ISC_TIME kLastMoment = ISC_TIME(24 * 60 * 60) * 10000 - 1;
    for (int slot : slotsOf(name)) {
        if (!value.isValid()) {
            bindNull(slot);
            continue;
        }
        Param &p = m_params[size_t(slot)];
        XSQLVAR &var = m_in->sqlvar[slot];
        const auto days = ISC_DATE(value.toJulianDay() - kIscDateEpoch);
        const bool asDate = p.describedType == SQL_TYPE_DATE
            || (p.describedType != SQL_TIMESTAMP && m_database->SQLDialect() >= 3);
        if (asDate) {
            p.value.date = days;
            var.sqltype = SQL_TYPE_DATE | 1;
            var.sqllen = sizeof(ISC_DATE);
        } else {
            p.value.timestamp = ISC_TIMESTAMP{days, moment == DayMoment::LastMoment ? kLastMoment : 0};
            var.sqltype = SQL_TIMESTAMP | 1;
            var.sqllen = sizeof(ISC_TIMESTAMP);
        }
        var.sqlscale = 0;
        var.sqlsubtype = 0;
        var.sqldata = reinterpret_cast<char *>(&p.value);
        p.indicator = 0;
    }
}

void IBDataSet::setParamText(const QString &name, const QString &value)
{
    const std::vector<int> targets = slotsOf(name);
    const QByteArray bytes = m_database->encodeText(value);
    if (bytes.size() > SHRT_MAX)
        throw TolmError(QStringLiteral("Parameter %1 too long").arg(name));
    for (int slot : targets) {
        Param &p = m_params[size_t(slot)];
        XSQLVAR &var = m_in->sqlvar[slot];
        p.text = bytes;
        var.sqltype = SQL_TEXT | 1;
        var.sqlscale = 0;
        var.sqlsubtype = (p.describedType == SQL_TEXT || p.describedType == SQL_VARYING) ? p.describedSubtype : 0;
        var.sqllen = short(bytes.size());
        var.sqldata = p.text.data();
        p.indicator = 0;
    }
}

void IBDataSet::setParamInteger(const QString &name, qint64 value)
{
    for (int slot : slotsOf(name)) {
        Param &p = m_params[size_t(slot)];
        XSQLVAR &var = m_in->sqlvar[slot];
        if (value >= INT_MIN && value <= INT_MAX) {
            p.value.int32 = ISC_LONG(value);
            var.sqltype = SQL_LONG | 1;
            var.sqllen = sizeof(ISC_LONG);
        } else {
            p.value.integer = value;
            var.sqltype = SQL_INT64 | 1;
            var.sqllen = sizeof(ISC_INT64);
        }
        var.sqlscale = 0;
        var.sqlsubtype = 0;
        var.sqldata = reinterpret_cast<char *>(&p.value);
        p.indicator = 0;
    }
}

void IBDataSet::execute()
{
    IBTransaction *transaction = effectiveTransaction();
    isc_tr_handle transactionHandle = transaction->handle();
    ISC_STATUS_ARRAY status;
    m_client->dsql_execute(status, &transactionHandle, &m_statement, SQLDA_VERSION1,
                           m_in && m_in->sqld > 0 ? m_in.get() : nullptr);
    m_client->check(status);
}

void IBDataSet::Open()
{
    if (m_active)
        return;
    ensurePrepared();
    if (m_columns.empty())
        throw TolmError(QStringLiteral("The statement returns no rows"));
    execute();
    m_cursorOpen = true;
    m_active = true;
    m_eof = false;
    try {
        Next();
    } catch (...) {
        Close();
        throw;
    }
}

bool IBDataSet::Next()
{
    if (!m_active || m_eof)
        return false;
    ISC_STATUS_ARRAY status;
    const ISC_STATUS result = m_client->dsql_fetch(status, &m_statement, SQLDA_VERSION1, m_out.get());
    if (result == kEndOfCursor) {
        m_eof = true;
        return false;
    }
    if (FbClient::failed(status)) {
        m_eof = true;
        m_client->throwError(status);
    }
    return true;
}

void IBDataSet::ExecSQL()
{
    Close();
    ensurePrepared();
    execute();
    if (!m_columns.empty()) {
        m_cursorOpen = true;
        closeCursor();
    }
}

void IBDataSet::closeCursor() noexcept
{
    if (!m_cursorOpen)
        return;
    m_cursorOpen = false;
    ISC_STATUS_ARRAY status;
    m_client->dsql_free_statement(status, &m_statement, DSQL_close);
}

void IBDataSet::Close()
{
    closeCursor();
    m_active = false;
    m_eof = true;
}

int IBDataSet::findField(const QString &name) const
{
    for (size_t i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

int IBDataSet::fieldIndex(const QString &name) const
{
    const int index = findField(name);
    if (index < 0)
        throw TolmError(QStringLiteral("Field %1 not found").arg(name));
    return index;
}

void IBDataSet::conversionError(int index, const char *target) const
{
    throw TolmError(QStringLiteral("Field %1 cannot be read as %2")
                        .arg(m_columns[size_t(index)].name, QString::fromLatin1(target)));
}

QByteArrayView IBDataSet::formatted(int index) const
{
    const Column &c = m_columns[size_t(index)];
    auto decimal = [&](qint64 raw) {
        if (c.scale >= 0)
            return QByteArray::number(shiftDecimal(raw, c.scale));
        const qint64 divisor = kPow10[std::min(-c.scale, 18)];
        QByteArray fraction = QByteArray::number(raw < 0 ? -(raw % divisor) : raw % divisor);
        fraction = fraction.rightJustified(-c.scale, '0');
        QByteArray whole = QByteArray::number(raw / divisor);
        if (raw < 0 && raw / divisor == 0)
            whole.prepend('-');
        return whole + '.' + fraction;
    };
    switch (c.type) {
    case SQL_SHORT:
        c.scratch = decimal(load<ISC_SHORT>(c.data));
        break;
    case SQL_LONG:
        c.scratch = decimal(load<ISC_LONG>(c.data));
        break;
    case SQL_INT64:
        c.scratch = decimal(load<ISC_INT64>(c.data));
        break;
    case SQL_FLOAT:
        c.scratch = QByteArray::number(double(load<float>(c.data)), 'g', 7);
        break;
    case SQL_DOUBLE:
        c.scratch = QByteArray::number(load<double>(c.data), 'g', 15);
        break;
    case SQL_TYPE_DATE:
        c.scratch = asDate(index).toString(Qt::ISODate).toLatin1();
        break;
    case SQL_TIMESTAMP: {
        const auto ts = load<ISC_TIMESTAMP>(c.data);
        c.scratch = (asDate(index).toString(Qt::ISODate) + QLatin1Char(' ')
                     + QTime::fromMSecsSinceStartOfDay(int(ts.timestamp_time / 10)).toString(Qt::ISODate))
                        .toLatin1();
        break;
    }
    case SQL_TYPE_TIME:
        c.scratch = QTime::fromMSecsSinceStartOfDay(int(load<ISC_TIME>(c.data) / 10)).toString(Qt::ISODate).toLatin1();
        break;
    case SQL_BOOLEAN:
        c.scratch = *c.data ? QByteArrayLiteral("true") : QByteArrayLiteral("false");
        break;
    default:
        conversionError(index, "text");
    }
    return c.scratch;
}

QString IBDataSet::asString(int index) const
{
    const Column &c = m_columns[size_t(index)];
    const QByteArrayView bytes = asBytes(index);
    if (c.type == SQL_TEXT || c.type == SQL_VARYING)
        return m_database ? m_database->decodeText(bytes.data(), bytes.size())
                          : QString::fromLatin1(bytes.data(), bytes.size());
    return QString::fromLatin1(bytes.data(), bytes.size());
}

// asInteger() of the types it does not read in line.
qint64 IBDataSet::integerOf(int index) const
{
    const Column &c = m_columns[size_t(index)];
    if (*c.indicator < 0)
        return 0;
    switch (c.type) {
    case SQL_SHORT:
        return shiftDecimal(load<ISC_SHORT>(c.data), c.scale);
    case SQL_LONG:
        return shiftDecimal(load<ISC_LONG>(c.data), c.scale);
    case SQL_INT64:
        return shiftDecimal(load<ISC_INT64>(c.data), c.scale);
    case SQL_FLOAT:
        return std::llround(double(load<float>(c.data)));
    case SQL_DOUBLE:
        return std::llround(load<double>(c.data));
    case SQL_BOOLEAN:
        return *c.data ? 1 : 0;
    case SQL_TEXT:
    case SQL_VARYING: {
        bool ok = false;
        const qint64 value = asBytes(index).trimmed().toLongLong(&ok);
        if (ok)
            return value;
        break;
    }
    default:
        break;
    }
    conversionError(index, "integer");
}

// asMoney() of the types and scales it does not read in line, and of the
// values that do not fit there.
qint64 IBDataSet::moneyOf(int index) const
{
    const Column &c = m_columns[size_t(index)];
    if (*c.indicator < 0)
        return 0;
    qint64 money = 0;
    bool fits = true;
    switch (c.type) {
    case SQL_SHORT:
        fits = shiftMoney(load<ISC_SHORT>(c.data), c.scale + kMoneyDecimals, &money);
        break;
    case SQL_LONG:
        fits = shiftMoney(load<ISC_LONG>(c.data), c.scale + kMoneyDecimals, &money);
        break;
    case SQL_INT64:
        fits = shiftMoney(load<ISC_INT64>(c.data), c.scale + kMoneyDecimals, &money);
        break;
    case SQL_FLOAT:
        fits = roundMoney(double(load<float>(c.data)), &money);
        break;
    case SQL_DOUBLE:
        fits = roundMoney(load<double>(c.data), &money);
        break;
    default:
        conversionError(index, "money");
    }
    if (!fits)
        throw AmountOutOfRange(c.name, QString::fromLatin1(formatted(index)));
    return money;
}
