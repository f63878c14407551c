#include "data/ConnectionString.h"

#include "platform/Prompter.h"

namespace {
const QString doppiaBarra = QStringLiteral("\\\\");
} // namespace

Connessione analizzaconnessione(const QString &testo)
{
    if (testo.startsWith(doppiaBarra)) {
        const QString resto = testo.mid(2);
        const qsizetype barra = resto.indexOf(QLatin1Char('\\'));
        if (barra < 0) {
            Prompter::current().information(QStringLiteral("Errore"));
            // Kept whole, so that confirming the list stores it unchanged.
            return {QString(), testo};
        }
        return {resto.left(barra), resto.mid(barra + 1)};
    }

    const qsizetype duePunti = testo.indexOf(QLatin1Char(':'));
    if (duePunti < 0 || duePunti == 1)
        return {QString(), testo};

    const qsizetype chiocciola = testo.indexOf(QLatin1Char('@'));
    if (chiocciola >= 0 && chiocciola < duePunti)
        return {testo.left(chiocciola), testo.mid(chiocciola + 1)};

    return {testo.left(duePunti), testo.mid(duePunti + 1)};
}

QString testoConnessione(const QString &host, const QString &file)
{
    if (host.isEmpty())
        return file;
    return host + QLatin1Char(':') + file;
}

FileScelto separahost(const QString &nomeCompleto)
{
    if (!nomeCompleto.startsWith(QLatin1Char('\\')))
        return {nomeCompleto, std::nullopt};

    QString resto = nomeCompleto.mid(2);
    const qsizetype barra = resto.indexOf(QLatin1Char('\\'));
    const QString host = barra < 0 ? resto : resto.left(barra);
    resto = barra < 0 ? QString() : resto.mid(barra + 1);

    // The share name stands for a drive letter of the server.
    if (!resto.isEmpty() && !(resto.size() > 1 && resto.at(1) == QLatin1Char(':')))
        resto.insert(1, QLatin1Char(':'));
    return {resto, host};
}
