#pragma once

#include <QString>

#include <optional>

// One patient database as the database list shows it: a host (empty for a
// local database) and the path or name of the file on that host. Neither
// text is cut, however long.
struct ConnectionParts
{
    QString host;
    QString file;
    // The text the row was read from; empty for a row added in the dialog.
    QString original = {};
};

// A connection string split into its parts; malformed for a named pipe
// without a backslash after the host, which its reader reports with "Errore".
struct ParsedConnection
{
    ConnectionParts parts;
    bool malformed = false;
};

// Splits a connection string, trying its forms in this order:
//   \\host\file   named pipe (without a backslash after the host the text
//                 is malformed and kept whole as the file)
//   file          local: no colon, or the first colon is a drive letter's
//   host@file     SPX: only when the "@" stands before the first colon
//   host:file     TCP
// Nothing is trimmed or changed in case.
ParsedConnection analizzaconnessione(const QString &text);

// The text stored for a row of the database list: host, ":" and file, or the
// file alone when there is no host.
QString connectionText(const QString &host, const QString &file);

// A file chosen in the file-open dialog, as the server sees it. A network
// name \\srv\d\dati\x.fdb gives host srv and file d:\dati\x.fdb (the share is
// taken for the server's drive letter); any other name is a local path and
// gives no host.
struct ChosenFile
{
    QString file;
    std::optional<QString> host;
};

// The text stored for a row when the list is confirmed: host:file, or the
// file alone; a row read from the settings keeps its own text where that form
// would not read back as the same host and file.
QString confirmedText(const ConnectionParts &row);

ChosenFile separahost(const QString &fullName);
