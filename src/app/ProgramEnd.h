#pragma once

#include <QObject>

// Ends the program as closing the main window does when the system asks it
// to: open dialogs and message boxes are cancelled and the event loop ends,
// so the windows and then the data module are destroyed as usual (the
// connections committed and closed, nothing written to Tolm.ini).
//
// How the request arrives is the platform's (ProgramEndPosix.cpp,
// ProgramEndWindows.cpp):
// - POSIX: SIGTERM, SIGINT and SIGHUP (logout, shutdown, kill, a service
//   manager, a closed terminal);
// - Windows: the session's end (log-off, shutdown), which Qt reports through
//   QGuiApplication::commitDataRequest.
//
// Create one, after the application object and before the data module. What
// it installs stays for the rest of the process, so a request during the
// ending itself changes nothing.
class ProgramEnd : public QObject
{
    Q_OBJECT

public:
    explicit ProgramEnd(QObject *parent = nullptr);
    ~ProgramEnd() override;
    ProgramEnd(const ProgramEnd &) = delete;
    ProgramEnd &operator=(const ProgramEnd &) = delete;

private:
    // Starts listening for the platform's requests.
    void watch();
    // A request has come: ends the program (once; later ones change nothing).
    void request();
    void endProgram();

    bool m_requested = false;
};
