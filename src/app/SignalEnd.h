#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP (logout, shutdown, kill, a service manager, a
// closed terminal) end the program as closing the main window does: open
// dialogs and message boxes are cancelled and the event loop ends, so the
// windows and then the data module are destroyed as usual.
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
//
// Create one, after the application object and before the data module. The
// handlers and the thread stay for the rest of the process, so a signal
// during the ending itself changes nothing.
class SignalEnd : public QObject
{
    Q_OBJECT

public:
    explicit SignalEnd(QObject *parent = nullptr);
    ~SignalEnd() override;
    SignalEnd(const SignalEnd &) = delete;
    SignalEnd &operator=(const SignalEnd &) = delete;

private:
    void readSignal();
    void endProgram();

    QSocketNotifier *m_notifier = nullptr;
    bool m_requested = false;
};
