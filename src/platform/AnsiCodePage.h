#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The system's ANSI code page, one byte per character: Windows-1252 here and
// on a Windows whose code page it is (the usual one in an Italian office);
// on a Windows with another single-byte code page, that one through
// Windows' own conversions. Characters the code page lacks become "?"
// (never a look-alike: "Ł" stays "?" rather than "L").
QByteArray toAnsi(const QString &text);
QString fromAnsi(const QByteArray &bytes);
QString fromAnsi(const char *bytes, qsizetype length);

// ISO-8859-1 bytes as the database client hands them over, turned into
// Windows-1252 bytes (the same byte except for what 1252 lacks).
QByteArray latin1ToAnsi(const QByteArray &latin1);
// The same bytes as text, read through the ANSI code page.
QString latin1ToText(QByteArrayView latin1);
