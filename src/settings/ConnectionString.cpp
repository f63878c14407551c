#include "settings/ConnectionString.h"

#include "platform/Prompter.h"

namespace {
const QString kDoubleBackslash = QStringLiteral("\\\\");
} // namespace

namespace {
// The split itself; malformed is set for a named pipe without a backslash
// after the host.
ConnectionParts split(const QString &text, bool *malformed)
{
    *malformed = false;
    if (text.startsWith(kDoubleBackslash)) {
        const QString resto = text.mid(2);
        const qsizetype barra = resto.indexOf(QLatin1Char('\\'));
        if (barra < 0) {
            *malformed = true;
            // Kept whole, so that confirming the list stores it unchanged.
            return {QString(), text, text};
        }
        return {resto.left(barra), resto.mid(barra + 1), text};
    }

    const qsizetype duePunti = text.indexOf(QLatin1Char(':'));
    if (duePunti < 0 || duePunti == 1)
        return {QString(), text, text};

    const qsizetype chiocciola = text.indexOf(QLatin1Char('@'));
    if (chiocciola >= 0 && chiocciola < duePunti)
        return {text.left(chiocciola), text.mid(chiocciola + 1), text};

    return {text.left(duePunti), text.mid(duePunti + 1), text};
}
} // namespace

ConnectionParts analizzaconnessione(const QString &text)
{
    bool malformed = false;
    const ConnectionParts parts = split(text, &malformed);
    if (malformed)
        Prompter::current().information(QStringLiteral("Errore"));
    return parts;
}

QString confirmedText(const ConnectionParts &row)
{
    const QString text = connectionText(row.host, row.file);
    if (row.original.isEmpty() || text == row.original)
        return text;
    // Without a host there is no other form to write: an entry such as :x.fdb
    // stays as it was rather than losing its separator.
    if (row.host.isEmpty())
        return row.original;
    // The stored form must name the same host and file again; where it would
    // not (a one-letter host read back as a drive, a host holding ":"), the entry
    // keeps the text it was read from.
    bool malformed = false;
    const ConnectionParts riletta = split(text, &malformed);
    if (!malformed && riletta.host == row.host && riletta.file == row.file)
        return text;
    return row.original;
}

QString connectionText(const QString &host, const QString &file)
{
    if (host.isEmpty())
        return file;
    return host + QLatin1Char(':') + file;
}

ChosenFile separahost(const QString &fullName)
{
    if (!fullName.startsWith(QLatin1Char('\\')))
        return {fullName, std::nullopt};

    QString resto = fullName.mid(2);
    const qsizetype barra = resto.indexOf(QLatin1Char('\\'));
    const QString host = barra < 0 ? resto : resto.left(barra);
    resto = barra < 0 ? QString() : resto.mid(barra + 1);

    // The share name stands for a drive letter of the server.
    if (!resto.isEmpty() && !(resto.size() > 1 && resto.at(1) == QLatin1Char(':')))
        resto.insert(1, QLatin1Char(':'));
    return {resto, host};
}
