#pragma once

#include <chrono>
#include <functional>

// The threads on which the data module calls the client library: each runs
// one job to its end and is not waited for. A job that a server keeps waiting
// is left to finish on its own; it holds whatever it uses itself and touches
// nothing of the window's. The data module's end waits for them a second at
// most; a process that ends while one still runs must end without the
// client library's exit-time shutdown, which would pull the engine from under
// the call (main() ends so).
namespace WorkerThreads {

// Starts job on a thread of its own. Throws std::system_error when no thread
// can be started.
void start(std::function<void()> job);

// Jobs started and not yet ended.
int running();

// Waits until every job has ended, at most limit; true when they have.
bool waitForAll(std::chrono::milliseconds limit);

} // namespace WorkerThreads
