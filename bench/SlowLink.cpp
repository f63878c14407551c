#include "SlowLink.h"

#include "platform/TolmError.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// One direction of one connection: what was read, each chunk with the
// moment it may be written.
struct Pipe
{
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::pair<Clock::time_point, std::vector<char>>> chunks;
    bool ended = false;
};

void readInto(int from, Pipe &pipe, std::chrono::milliseconds delay)
{
    std::vector<char> buffer(65536);
    for (;;) {
        const ssize_t got = ::read(from, buffer.data(), buffer.size());
        const std::lock_guard lock(pipe.mutex);
        if (got <= 0) {
            pipe.ended = true;
            pipe.changed.notify_all();
            return;
        }
        pipe.chunks.emplace_back(Clock::now() + delay, std::vector<char>(buffer.begin(), buffer.begin() + got));
        pipe.changed.notify_all();
    }
}

void writeFrom(Pipe &pipe, int to)
{
    std::unique_lock lock(pipe.mutex);
    for (;;) {
        pipe.changed.wait(lock, [&pipe] { return pipe.ended || !pipe.chunks.empty(); });
        if (pipe.chunks.empty()) {
            ::shutdown(to, SHUT_WR);
            return;
        }
        const Clock::time_point due = pipe.chunks.front().first;
        if (Clock::now() < due) {
            pipe.changed.wait_until(lock, due);
            continue;
        }
        std::vector<char> chunk = std::move(pipe.chunks.front().second);
        pipe.chunks.pop_front();
        lock.unlock();
        for (size_t sent = 0; sent < chunk.size();) {
            const ssize_t put = ::send(to, chunk.data() + sent, chunk.size() - sent, MSG_NOSIGNAL);
            if (put <= 0)
                break;
            sent += size_t(put);
        }
        lock.lock();
    }
}

int connectTo(quint16 port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (s < 0 || ::connect(s, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        if (s >= 0)
            ::close(s);
        return -1;
    }
    const int on = 1;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return s;
}

} // namespace

struct SlowLink::State
{
    int listener = -1;
    quint16 port = 0;
    quint16 serverPort = 0;
    std::chrono::milliseconds delay{0};
    std::mutex mutex;
    std::vector<int> sockets;
    std::vector<std::unique_ptr<Pipe>> pipes;
    std::vector<std::thread> threads;
    std::thread acceptor;

    void relay(int client)
    {
        const int server = connectTo(serverPort);
        if (server < 0) {
            ::close(client);
            return;
        }
        const int on = 1;
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        const std::lock_guard lock(mutex);
        sockets.push_back(client);
        sockets.push_back(server);
        for (const auto &[from, to] : {std::pair{client, server}, std::pair{server, client}}) {
            pipes.push_back(std::make_unique<Pipe>());
            Pipe &pipe = *pipes.back();
            threads.emplace_back(readInto, from, std::ref(pipe), delay);
            threads.emplace_back(writeFrom, std::ref(pipe), to);
        }
    }
};

SlowLink::SlowLink(quint16 serverPort, int delayMs) : m_state(std::make_unique<State>())
{
    State &s = *m_state;
    s.serverPort = serverPort;
    s.delay = std::chrono::milliseconds(delayMs);
    s.listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (s.listener < 0 || ::bind(s.listener, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0
        || ::listen(s.listener, 16) != 0
        || ::getsockname(s.listener, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        throw TolmError(QStringLiteral("the slow link cannot listen"));
    s.port = ntohs(address.sin_port);
    s.acceptor = std::thread([&s] {
        for (;;) {
            const int client = ::accept(s.listener, nullptr, nullptr);
            if (client < 0)
                return;
            s.relay(client);
        }
    });
}

SlowLink::~SlowLink()
{
    State &s = *m_state;
    ::shutdown(s.listener, SHUT_RDWR);
    s.acceptor.join();
    ::close(s.listener);
    {
        const std::lock_guard lock(s.mutex);
        for (const int socket : s.sockets)
            ::shutdown(socket, SHUT_RDWR);
    }
    for (std::thread &thread : s.threads)
        thread.join();
    for (const int socket : s.sockets)
        ::close(socket);
}

quint16 SlowLink::port() const
{
    return m_state->port;
}
