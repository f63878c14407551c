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

// Whether a TCP connection to host at service (a port number or a service
// name) is answered within limit: accepted or refused. False only when no
// address of the host answers at all in that time, as a computer that is
// switched off or a link that is down; a name that cannot be resolved counts
// as answered (whoever connects then says so in its own words).
bool hostAnswers(const QString &host, const QString &service, int limitMs);
