#include "app/SignalEnd.h"

#include "firebird/FbClient.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QList>
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

// Cancels a modal dialog shown after the end was asked for (an error box
// of the data module's closing, say), once its event loop runs.
class LateDialogCanceller : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            auto *dialog = qobject_cast<QDialog *>(watched);
            if (dialog && dialog->isWindow() && dialog->isModal())
                QMetaObject::invokeMethod(dialog, &QDialog::reject, Qt::QueuedConnection);
        }
        return false;
    }
};

} // namespace

SignalEnd::SignalEnd(QObject *parent)
    : QObject(parent)
{
    if (g_socket[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, g_socket) != 0) {
        g_socket[0] = g_socket[1] = -1;
        return; // the signals keep their default actions
    }
    m_notifier = new QSocketNotifier(g_socket[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalEnd::readSignal);

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

SignalEnd::~SignalEnd() = default;

void SignalEnd::readSignal()
{
    char buffer[64];
    while (::read(g_socket[0], buffer, sizeof buffer) > 0) {
    }
    if (!m_requested) {
        m_requested = true;
        qApp->installEventFilter(new LateDialogCanceller(this));
    }
    endProgram();
}

void SignalEnd::endProgram()
{
    // Innermost first; each exec() returns as after Cancel.
    QList<QWidget *> cancelled;
    while (QWidget *modal = QApplication::activeModalWidget()) {
        if (cancelled.contains(modal))
            break; // one that stays open: the loops end below all the same
        cancelled.append(modal);
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
    }
    QApplication::closeAllWindows();
    // Ends every running event loop; a dialog's exec() that starts before the
    // main loop has ended returns at once.
    QCoreApplication::exit(0);
    // During start-up no main loop runs yet: the one that starts later ends
    // as soon as it has begun.
    QMetaObject::invokeMethod(qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}
