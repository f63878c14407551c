#include "platform/HostLookup.h"

#include "platform/AnsiCodePage.h"
#include "platform/TolmError.h"

#include <memory>

#include <QElapsedTimer>

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {
// How a connection began: at once (accepted, refused, unreachable), on its
// way, or not at all for want of a socket.
enum class Start { Answered, Waiting, NoSocket };

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

// Starts a connection to address without waiting, the socket in socket.
Start startConnect(const addrinfo &address, SOCKET &socket)
{
    socket = ::socket(address.ai_family, address.ai_socktype, address.ai_protocol);
    if (socket == INVALID_SOCKET)
        return Start::NoSocket;
    u_long nonBlocking = 1;
    ioctlsocket(socket, FIONBIO, &nonBlocking);
    if (::connect(socket, address.ai_addr, int(address.ai_addrlen)) == 0)
        return Start::Answered;
    return WSAGetLastError() == WSAEWOULDBLOCK ? Start::Waiting : Start::Answered;
}

// Waits for a connection started, at most ms: true when it was accepted or
// refused.
bool connectAnswered(SOCKET socket, int ms)
{
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(socket, &writable);
    FD_SET(socket, &failed);
    timeval limit{ms / 1000, (ms % 1000) * 1000};
    return select(0, nullptr, &writable, &failed, &limit) > 0;
}

void closeSocket(SOCKET socket)
{
    if (socket != INVALID_SOCKET)
        closesocket(socket);
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

using SOCKET = int;
constexpr SOCKET INVALID_SOCKET = -1;

Start startConnect(const addrinfo &address, SOCKET &socket)
{
    socket = ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol);
    if (socket < 0)
        return Start::NoSocket;
    if (::connect(socket, address.ai_addr, address.ai_addrlen) == 0)
        return Start::Answered;
    return errno == EINPROGRESS ? Start::Waiting : Start::Answered;
}

bool connectAnswered(SOCKET socket, int ms)
{
    pollfd waiting{socket, POLLOUT, 0};
    int ready = 0;
    do {
        ready = ::poll(&waiting, 1, ms);
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

void closeSocket(SOCKET socket)
{
    if (socket >= 0)
        ::close(socket);
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

bool hostAnswers(const QString &host, const QString &service, int limitMs)
{
    if (!resolverReady())
        return true;
    addrinfo request{};
    request.ai_family = AF_UNSPEC;
    request.ai_socktype = SOCK_STREAM;
    addrinfo *answer = nullptr;
    if (getaddrinfo(toAnsi(host).constData(), toAnsi(service).constData(), &request, &answer) != 0 || !answer)
        return true;
    const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> release(answer, &freeaddrinfo);
    // The addresses in the resolver's order, within one limit for all.
    QElapsedTimer clock;
    clock.start();
    for (const addrinfo *address = answer; address; address = address->ai_next) {
        const int left = limitMs - int(clock.elapsed());
        if (left <= 0)
            break;
        SOCKET socket = INVALID_SOCKET;
        const Start start = startConnect(*address, socket);
        const bool answered = start == Start::Answered || (start == Start::Waiting && connectAnswered(socket, left));
        closeSocket(socket);
        // Without a socket nothing can be told: the client will say.
        if (answered || start == Start::NoSocket)
            return true;
    }
    return false;
}
