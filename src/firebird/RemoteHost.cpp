#include "firebird/RemoteHost.h"

namespace {

// The port the client uses where the name gives none.
const QString kDefaultService = QStringLiteral("3050");

// "host", "host/port", "[v6]" or "[v6]/port" before a colon or a slash.
std::optional<RemoteHost> splitHost(const QString &text, QChar portMark)
{
    QString host = text;
    QString service = kDefaultService;
    qsizetype mark = -1;
    if (host.startsWith(QLatin1Char('['))) {
        const qsizetype close = host.indexOf(QLatin1Char(']'));
        if (close < 0)
            return std::nullopt;
        mark = host.indexOf(portMark, close);
        service = mark < 0 ? kDefaultService : host.mid(mark + 1);
        host = host.mid(1, close - 1);
    } else {
        mark = host.indexOf(portMark);
        if (mark >= 0) {
            service = host.mid(mark + 1);
            host.truncate(mark);
        }
    }
    if (host.isEmpty() || service.isEmpty())
        return std::nullopt;
    return RemoteHost{host, service};
}

} // namespace

std::optional<RemoteHost> remoteHost(const QString &databaseName)
{
    const QString name = databaseName.trimmed();
    for (const char *scheme : {"inet://", "inet4://", "inet6://"}) {
        const QLatin1String prefix(scheme);
        if (name.startsWith(prefix, Qt::CaseInsensitive)) {
            const QString rest = name.mid(prefix.size());
            const qsizetype slash = rest.indexOf(QLatin1Char('/'));
            return slash <= 0 ? std::nullopt : splitHost(rest.left(slash), QLatin1Char(':'));
        }
    }
    if (name.contains(QLatin1String("://")) || name.startsWith(QLatin1String("\\\\")))
        return std::nullopt;
    // The host ends at the first colon after it (an IPv6 address stands in
    // brackets); a single letter before it is a drive.
    const qsizetype from = name.startsWith(QLatin1Char('[')) ? name.indexOf(QLatin1Char(']')) : 0;
    if (from < 0)
        return std::nullopt;
    const qsizetype colon = name.indexOf(QLatin1Char(':'), from);
    if (colon <= 1)
        return std::nullopt;
    const QString host = name.left(colon);
    // A path before the colon ("/srv/a:b") is a local file's.
    if (host.contains(QLatin1Char('\\')) || (host.contains(QLatin1Char('/')) && host.startsWith(QLatin1Char('/'))))
        return std::nullopt;
    return splitHost(host, QLatin1Char('/'));
}
