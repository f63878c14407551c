#pragma once

#include <QtGlobal>

#include <memory>

// A slow link between a client and a server on this machine: a TCP relay on
// 127.0.0.1 that forwards each chunk it reads delayMs later, in each
// direction (a round trip of twice delayMs on top of the server's own time).
// The kernel here has no netem; this stands in for it. Listens from
// construction on a port of its own; the destructor ends every connection.
class SlowLink
{
public:
    SlowLink(quint16 serverPort, int delayMs);
    ~SlowLink();
    SlowLink(const SlowLink &) = delete;
    SlowLink &operator=(const SlowLink &) = delete;

    quint16 port() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};
