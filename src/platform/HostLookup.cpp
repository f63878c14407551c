#include "platform/HostLookup.h"

#include "platform/AnsiCodePage.h"
#include "platform/TolmError.h"

#include <memory>

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace {
#ifdef Q_OS_WIN
// Winsock, started once for the process and left running.
bool resolverReady()
{
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

QString lookupError(int code)
{
    return QString::fromWCharArray(gai_strerrorW(code));
}
#else
bool resolverReady()
{
    return true;
}

QString lookupError(int code)
{
    return QString::fromLocal8Bit(gai_strerror(code));
}
#endif
} // namespace

QString nomecomputer()
{
    return qEnvironmentVariable("COMPUTERNAME");
}

QString indirizzoip(const QString &nome)
{
    const QString toResolve = nome.isEmpty() ? nomecomputer() : nome;
    if (toResolve.isEmpty())
        return QString();

    if (!resolverReady())
        throw TolmError(QStringLiteral("Impossibile risolvere il nome %1: Winsock non disponibile").arg(toResolve));
    addrinfo request{};
    request.ai_family = AF_INET;
    request.ai_socktype = SOCK_STREAM;
    addrinfo *answer = nullptr;
    const int result = getaddrinfo(toAnsi(toResolve).constData(), nullptr, &request, &answer);
    if (result != 0 || !answer)
        throw TolmError(QStringLiteral("Impossibile risolvere il nome %1: %2")
                            .arg(toResolve, lookupError(result)));
    const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> release(answer, &freeaddrinfo);

    const auto *indirizzo = reinterpret_cast<const sockaddr_in *>(answer->ai_addr);
    const auto *byte = reinterpret_cast<const unsigned char *>(&indirizzo->sin_addr.s_addr);
    return QStringLiteral("%1.%2.%3.%4").arg(byte[0]).arg(byte[1]).arg(byte[2]).arg(byte[3]);
}
