#include "settings/ConnectionString.h"

#include "platform/Prompter.h"

namespace {
const QString doppiaBarra = QStringLiteral("\\\\");
} // namespace

namespace {
// The split itself; malformed is set for a named pipe without a backslash
// after the host.
Connessione dividi(const QString &testo, bool *malformed)
{
    *malformed = false;
    if (testo.startsWith(doppiaBarra)) {
        const QString resto = testo.mid(2);
        const qsizetype barra = resto.indexOf(QLatin1Char('\\'));
        if (barra < 0) {
            *malformed = true;
            // Kept whole, so that confirming the list stores it unchanged.
            return {QString(), testo, testo};
        }
        return {resto.left(barra), resto.mid(barra + 1), testo};
    }

    const qsizetype duePunti = testo.indexOf(QLatin1Char(':'));
    if (duePunti < 0 || duePunti == 1)
        return {QString(), testo, testo};

    const qsizetype chiocciola = testo.indexOf(QLatin1Char('@'));
    if (chiocciola >= 0 && chiocciola < duePunti)
        return {testo.left(chiocciola), testo.mid(chiocciola + 1), testo};

    return {testo.left(duePunti), testo.mid(duePunti + 1), testo};
}
} // namespace

Connessione analizzaconnessione(const QString &testo)
{
    bool malformed = false;
    const Connessione connessione = dividi(testo, &malformed);
    if (malformed)
        Prompter::current().information(QStringLiteral("Errore"));
    return connessione;
}

QString testoConfermato(const Connessione &riga)
{
    const QString testo = testoConnessione(riga.host, riga.file);
    if (riga.originale.isEmpty() || testo == riga.originale)
        return testo;
    // Without a host there is no other form to write: an entry such as :x.fdb
    // stays as it was rather than losing its separator.
    if (riga.host.isEmpty())
        return riga.originale;
    // The stored form must name the same host and file again; where it would
    // not (a one-letter host read back as a drive, a host holding ":"), the entry
    // keeps the text it was read from.
    bool malformed = false;
    const Connessione riletta = dividi(testo, &malformed);
    if (!malformed && riletta.host == riga.host && riletta.file == riga.file)
        return testo;
    return riga.originale;
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
