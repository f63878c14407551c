#include "firebird/IBDatabase.h"

#include "firebird/FbClient.h"
#include "firebird/RemoteHost.h"
#include "platform/HostLookup.h"
#include "platform/AnsiCodePage.h"
#include "platform/TolmError.h"

#include <climits>
#include <utility>

namespace {

void appendString(QByteArray &dpb, char item, const QByteArray &value)
{
    if (value.size() > 255)
        throw TolmError(QStringLiteral("Database parameter too long: %1").arg(QString::fromLatin1(value)));
    dpb.append(item);
    dpb.append(char(value.size()));
    dpb.append(value);
}

void appendInteger(QByteArray &dpb, char item, qint32 value)
{
    dpb.append(item);
    dpb.append(char(4));
    for (int i = 0; i < 4; ++i) // little-endian, as the client reads it
        dpb.append(char((quint32(value) >> (8 * i)) & 0xFF));
}

// A little-endian integer of the length given, as the client writes them.
int readInteger(const char *bytes, int length)
{
    quint32 value = 0;
    for (int i = 0; i < length && i < 4; ++i)
        value |= quint32(static_cast<unsigned char>(bytes[i])) << (8 * i);
    return int(value);
}

} // namespace

IBDatabase::IBDatabase()
    : m_client(&FbClient::instance())
{
}

IBDatabase::~IBDatabase()
{
    try {
        Close();
    } catch (...) {
        detachQuietly();
    }
}

namespace {

using Charset = IBAttachment::Charset;

// The database parameter block of the parameter lines, with the dialect and
// character set they ask for.
QByteArray buildDpb(const QStringList &params, int *dialect, Charset *charset)
{
    QByteArray dpb;
    dpb.append(char(isc_dpb_version1));
    *dialect = 3;
    *charset = Charset::Ansi;
    for (const QString &line : params) {
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty())
            continue;
        const qsizetype eq = trimmed.indexOf(QLatin1Char('='));
        const QString name = (eq < 0 ? trimmed : trimmed.left(eq)).trimmed().toLower();
        const QString value = eq < 0 ? QString() : trimmed.mid(eq + 1);
        if (name == QLatin1String("user_name")) {
            appendString(dpb, isc_dpb_user_name, toAnsi(value));
        } else if (name == QLatin1String("password")) {
            appendString(dpb, isc_dpb_password, toAnsi(value));
        } else if (name == QLatin1String("sql_role_name")) {
            appendString(dpb, isc_dpb_sql_role_name, toAnsi(value));
        } else if (name == QLatin1String("lc_ctype")) {
            const QString set = value.trimmed().toUpper();
            appendString(dpb, isc_dpb_lc_ctype, set.toLatin1());
            if (set == QLatin1String("ISO8859_1"))
                *charset = Charset::Latin1;
            else if (set == QLatin1String("UTF8") || set == QLatin1String("UNICODE_FSS"))
                *charset = Charset::Utf8;
            else
                *charset = Charset::Ansi;
        } else if (name == QLatin1String("sql_dialect")) {
            bool ok = false;
            const int d = value.trimmed().toInt(&ok);
            if (!ok || d < 1 || d > 3)
                throw TolmError(QStringLiteral("Invalid SQL dialect: %1").arg(value));
            appendInteger(dpb, isc_dpb_sql_dialect, d);
            *dialect = d == 3 ? 3 : 1;
        } else {
            throw TolmError(QStringLiteral("Unknown database parameter: %1").arg(line));
        }
    }
    appendInteger(dpb, isc_dpb_connect_timeout, IBDatabase::kConnectTimeoutSeconds);
    // File names on this platform are UTF-8: say so to the client, which
    // otherwise reads the name in the connection's character set.
    dpb.append(char(isc_dpb_utf8_filename));
    dpb.append(char(0));
    return dpb;
}

// The database's own SQL dialect, 0 when the server does not say.
int readDatabaseDialect(const FbClient &client, isc_db_handle handle)
{
    const char items[] = {char(isc_info_db_sql_dialect), char(isc_info_end)};
    char buffer[64] = {};
    ISC_STATUS_ARRAY status;
    client.database_info(status, &handle, short(sizeof items), items, short(sizeof buffer), buffer);
    client.check(status);
    for (size_t p = 0; p + 3 <= sizeof buffer;) {
        const char item = buffer[p];
        if (item == char(isc_info_end) || item == char(isc_info_truncated))
            break;
        const int length = readInteger(buffer + p + 1, 2);
        if (p + 3 + size_t(length) > sizeof buffer)
            break;
        if (item == char(isc_info_db_sql_dialect))
            return readInteger(buffer + p + 3, length);
        p += 3 + size_t(length);
    }
    return 0;
}

} // namespace

IBAttachment &IBAttachment::operator=(IBAttachment &&other) noexcept
{
    if (this != &other) {
        detach();
        m_client = other.m_client;
        m_handle = other.release();
        m_dialect = other.m_dialect;
        m_databaseDialect = other.m_databaseDialect;
        m_charset = other.m_charset;
    }
    return *this;
}

void IBAttachment::detach()
{
    if (!m_handle)
        return;
    ISC_STATUS_ARRAY status;
    m_client->detach_database(status, &m_handle);
    m_handle = 0;
}

IBAttachment IBDatabase::attach(const QString &databaseName, const QStringList &params)
{
    if (databaseName.isEmpty())
        throw TolmError(QStringLiteral("Database name is missing"));
    int dialect = 3;
    Charset charset = Charset::Ansi;
    const QByteArray dpb = buildDpb(params, &dialect, &charset);
    const QByteArray name = databaseName.toUtf8();
    if (name.size() > SHRT_MAX)
        throw TolmError(QStringLiteral("Database name too long"));

    const FbClient &client = FbClient::instance();
    // The client waits on a server PC that is switched off as long as the
    // system lets a connection try (two minutes and more): ask first, for
    // the connect time-out at most.
    if (const auto remote = remoteHost(databaseName);
        remote && !hostAnswers(remote->host, remote->service, kConnectTimeoutSeconds * 1000))
        throw TolmError(client.noAnswerMessage(remote->host));
    ISC_STATUS_ARRAY status;
    isc_db_handle handle = 0;
    client.attach_database(status, short(name.size()), name.constData(), &handle, short(dpb.size()),
                           dpb.constData());
    client.check(status);
    // Detached again by the attachment should the dialect's look-up fail.
    IBAttachment attachment(client, handle, dialect, 0, charset);
    const int databaseDialect = readDatabaseDialect(client, handle);
    const int inUse = (databaseDialect > 0 && databaseDialect < dialect) ? 1 : dialect;
    return IBAttachment(client, attachment.release(), inUse, databaseDialect, charset);
}

void IBDatabase::Open()
{
    if (Connected())
        return;
    adopt(attach(m_databaseName, m_params));
}

void IBDatabase::adopt(IBAttachment attachment)
{
    if (Connected() || !attachment.isValid())
        return;
    m_charset = attachment.charset();
    m_dialect = attachment.dialect();
    m_databaseDialect = attachment.databaseDialect();
    m_handle = attachment.release();
}

void IBDatabase::Close()
{
    if (!Connected())
        return;
    emit aboutToDisconnect();
    emit transactionsEnding();

    ISC_STATUS_ARRAY status;
    m_client->detach_database(status, &m_handle);
    // A detach that fails leaves nothing the program could still use.
    m_handle = 0;
    m_client->check(status);
}

void IBDatabase::detachQuietly()
{
    if (!m_handle)
        return;
    // Given back to an attachment that is dropped at once: detached.
    IBAttachment(*m_client, std::exchange(m_handle, 0), m_dialect, m_databaseDialect, m_charset).detach();
}

QByteArray IBDatabase::encodeText(const QString &text) const
{
    switch (m_charset) {
    case Charset::Latin1:
        return text.toLatin1();
    case Charset::Utf8:
        return text.toUtf8();
    case Charset::Ansi:
        break;
    }
    return toAnsi(text);
}

QString IBDatabase::decodeText(const char *bytes, qsizetype length) const
{
    switch (m_charset) {
    case Charset::Latin1:
        return QString::fromLatin1(bytes, length);
    case Charset::Utf8:
        return QString::fromUtf8(bytes, length);
    case Charset::Ansi:
        break;
    }
    return fromAnsi(bytes, length);
}
