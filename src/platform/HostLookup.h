#pragma once

#include <QString>

// This computer's name: the value of the environment variable COMPUTERNAME,
// empty when it is not set.
QString nomecomputer();

// The IPv4 address of a computer name as dotted decimal text, the first in
// the resolver's order. An empty name means this computer (nomecomputer());
// when that is empty too the result is empty. Raises TolmError when the name
// cannot be resolved.
QString indirizzoip(const QString &nome = QString());
