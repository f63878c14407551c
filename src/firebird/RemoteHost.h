#pragma once

#include <QString>

#include <optional>

// The server a database name reaches over TCP, as the client reads the name:
// "host:path", "host/port:path", "[IPv6 address]:path" (each with an
// optional "/port" after the host) and "inet://host[:port]/path" (also
// inet4://, inet6://). A local path, a drive letter ("C:\..."), a named pipe
// ("\\host\path") and every other protocol reach none.
struct RemoteHost
{
    QString host;
    QString service; // a port number or a service name
};

std::optional<RemoteHost> remoteHost(const QString &databaseName);
