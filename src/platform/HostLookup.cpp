#include "platform/HostLookup.h"

#include "platform/AnsiCodePage.h"
#include "platform/TolmError.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <memory>

QString nomecomputer()
{
    return qEnvironmentVariable("COMPUTERNAME");
}

QString indirizzoip(const QString &nome)
{
    const QString toResolve = nome.isEmpty() ? nomecomputer() : nome;
    if (toResolve.isEmpty())
        return QString();

    addrinfo request{};
    request.ai_family = AF_INET;
    request.ai_socktype = SOCK_STREAM;
    addrinfo *answer = nullptr;
    const int result = getaddrinfo(toAnsi(toResolve).constData(), nullptr, &request, &answer);
    if (result != 0 || !answer)
        throw TolmError(QStringLiteral("Impossibile risolvere il nome %1: %2")
                            .arg(toResolve, QString::fromLocal8Bit(gai_strerror(result))));
    const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> release(answer, &freeaddrinfo);

    const auto *indirizzo = reinterpret_cast<const sockaddr_in *>(answer->ai_addr);
    const auto *byte = reinterpret_cast<const unsigned char *>(&indirizzo->sin_addr.s_addr);
    return QStringLiteral("%1.%2.%3.%4").arg(byte[0]).arg(byte[1]).arg(byte[2]).arg(byte[3]);
}
