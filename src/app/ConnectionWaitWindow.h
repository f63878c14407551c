#pragma once

#include "data/ConnectionWait.h"

// The small window that says, at start-up, that the configuration database
// is being attached while its server is slow to answer, until the attach
// returns or the program is told to end.
class ConnectionWaitWindow : public ConnectionWait
{
public:
    void wait(const QString &database, const std::function<bool(std::chrono::milliseconds)> &waitFor) override;
};
