#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The stand-in for the Windows ANSI code page: Windows-1252, one byte per
// character. Characters it lacks become "?".
QByteArray toAnsi(const QString &text);
QString fromAnsi(const QByteArray &bytes);
QString fromAnsi(const char *bytes, qsizetype length);

// ISO-8859-1 bytes as the database client hands them over, turned into
// Windows-1252 bytes (the same byte except for what 1252 lacks).
QByteArray latin1ToAnsi(const QByteArray &latin1);
// The same bytes as text, read through the ANSI code page.
QString latin1ToText(QByteArrayView latin1);
