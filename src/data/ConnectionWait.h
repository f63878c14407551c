#pragma once

#include <QString>

#include <chrono>
#include <functional>

// Whoever started the program and waits while the configuration database is
// attached on a worker thread: the window layer shows that a server is slow
// to answer, so that nobody starts the program a second time meanwhile.
class ConnectionWait
{
public:
    // waitFor(limit) waits for the attach at most limit and says whether it
    // has returned. Returns when the attach has, or when the program is to
    // end (the attach is then left to finish on its own).
    virtual void wait(const QString &database, const std::function<bool(std::chrono::milliseconds)> &waitFor) = 0;

protected:
    ~ConnectionWait() = default;
};
