// POSIX: SIGTERM, SIGINT and SIGHUP.
//
// A thread of our own takes the signals (the main thread and the threads it
// starts later block them) and writes a byte to a socket pair; a
// QSocketNotifier on the other end brings the request into the event loop.
// Handlers that do nothing but that write cover the threads that started
// earlier. A signal that comes while a database call or the export runs is
// served once that step has ended.
//
// The database engine is kept from shutting itself down on SIGINT and
// SIGTERM (FbClient::refuseSignalShutdown); where it takes such a signal
// itself (its own handlers go in at the first attach, on top of ours), the
// refused shutdown ends the program the same way.
//
// A display that goes away is another matter: Qt's xcb platform calls
// exit(1) from the event loop. None of the program's own objects is
// destroyed then; the engine's exit-time shutdown (not refused) releases the
// attachments and the operating system the rest.
#include "app/ProgramEnd.h"

#include "firebird/FbClient.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <system_error>
#include <thread>

#include <pthread.h>

#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// [0] is read by the event loop, [1] written on a signal. Opened once
// and never closed: a signal may come until the process has ended.
int g_socket[2] = {-1, -1};

// Async-signal-safe: run by the handlers, by the thread that takes the
// signals and by the database engine on its own thread.
void wake()
{
    const int savedErrno = errno;
    const char byte = 1;
    // Non-blocking: when the socket is full, a request is pending anyway.
    [[maybe_unused]] const ssize_t written = ::write(g_socket[1], &byte, 1);
    errno = savedErrno;
}

void onSignal(int)
{
    wake();
}

// The thread that takes the signals, blocked everywhere else.
void takeSignals(sigset_t taken)
{
    for (;;) {
        int number = 0;
        if (::sigwait(&taken, &number) == 0)
            wake();
    }
}

} // namespace

void ProgramEnd::watch()
{
    if (g_socket[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, g_socket) != 0) {
        g_socket[0] = g_socket[1] = -1;
        return; // the signals keep their default actions
    }
    auto *notifier = new QSocketNotifier(g_socket[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char buffer[64];
        while (::read(g_socket[0], buffer, sizeof buffer) > 0) {
        }
        request();
    });

    // A handler that runs on the main thread breaks off the call it was in
    // (poll, say) with EINTR, and errno keeps that. When Qt then calls
    // exit() on a lost display, the engine's exit-time shutdown loops for
    // ever on a stale EINTR. So the main thread, and every thread started
    // from it later (the engine's too), blocks these signals; one thread of
    // our own takes them with sigwait(). The handlers stay for threads that
    // started before this point (Qt's connection to the display) and for
    // the case that this thread could not start.
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigset_t taken;
    sigemptyset(&taken);
    for (const int number : kSignals) {
        ::sigaction(number, &action, nullptr);
        sigaddset(&taken, number);
    }
    ::pthread_sigmask(SIG_BLOCK, &taken, nullptr);
    try {
        std::thread(takeSignals, taken).detach();
    } catch (const std::system_error &) {
        ::pthread_sigmask(SIG_UNBLOCK, &taken, nullptr);
    }
    FbClient::refuseSignalShutdown(wake);
}
