#include "settings/ConnectionString.h"

namespace {
const QString kDoubleBackslash = QStringLiteral("\\\\");
} // namespace

ParsedConnection analizzaconnessione(const QString &text)
{
    if (text.startsWith(kDoubleBackslash)) {
        const QString rest = text.mid(2);
        const qsizetype backslash = rest.indexOf(QLatin1Char('\\'));
        // Kept whole, so that confirming the list stores it unchanged.
        if (backslash < 0)
            return {{QString(), text, text}, true};
        return {{rest.left(backslash), rest.mid(backslash + 1), text}, false};
    }

    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0 || colon == 1)
        return {{QString(), text, text}, false};

    const qsizetype at = text.indexOf(QLatin1Char('@'));
    if (at >= 0 && at < colon)
        return {{text.left(at), text.mid(at + 1), text}, false};

    return {{text.left(colon), text.mid(colon + 1), text}, false};
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
    const ParsedConnection reread = analizzaconnessione(text);
    if (!reread.malformed && reread.parts.host == row.host && reread.parts.file == row.file)
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

    QString rest = fullName.mid(2);
    const qsizetype backslash = rest.indexOf(QLatin1Char('\\'));
    const QString host = backslash < 0 ? rest : rest.left(backslash);
    rest = backslash < 0 ? QString() : rest.mid(backslash + 1);

    // The share name stands for a drive letter of the server.
    if (!rest.isEmpty() && !(rest.size() > 1 && rest.at(1) == QLatin1Char(':')))
        rest.insert(1, QLatin1Char(':'));
    return {rest, host};
}
