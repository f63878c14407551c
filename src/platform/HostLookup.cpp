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
    const QString daRisolvere = nome.isEmpty() ? nomecomputer() : nome;
    if (daRisolvere.isEmpty())
        return QString();

    addrinfo richiesta{};
    richiesta.ai_family = AF_INET;
    richiesta.ai_socktype = SOCK_STREAM;
    addrinfo *risposta = nullptr;
    const int esito = getaddrinfo(toAnsi(daRisolvere).constData(), nullptr, &richiesta, &risposta);
    if (esito != 0 || !risposta)
        throw TolmError(QStringLiteral("Impossibile risolvere il nome %1: %2")
                            .arg(daRisolvere, QString::fromLocal8Bit(gai_strerror(esito))));
    const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> libera(risposta, &freeaddrinfo);

    const auto *indirizzo = reinterpret_cast<const sockaddr_in *>(risposta->ai_addr);
    const auto *byte = reinterpret_cast<const unsigned char *>(&indirizzo->sin_addr.s_addr);
    return QStringLiteral("%1.%2.%3.%4").arg(byte[0]).arg(byte[1]).arg(byte[2]).arg(byte[3]);
}
