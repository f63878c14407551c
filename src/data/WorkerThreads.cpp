#include "data/WorkerThreads.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

struct Count
{
    std::mutex mutex;
    std::condition_variable ended;
    int running = 0;
};

// Never destroyed: a job may still end while the program's statics go.
Count &count()
{
    static Count *c = new Count;
    return *c;
}

} // namespace

void WorkerThreads::start(std::function<void()> job)
{
    Count &c = count();
    {
        const std::lock_guard lock(c.mutex);
        ++c.running;
    }
    try {
        std::thread([job = std::move(job), &c] {
            job();
            const std::lock_guard lock(c.mutex);
            --c.running;
            c.ended.notify_all();
        }).detach();
    } catch (...) {
        const std::lock_guard lock(c.mutex);
        --c.running;
        throw;
    }
}

int WorkerThreads::running()
{
    Count &c = count();
    const std::lock_guard lock(c.mutex);
    return c.running;
}

bool WorkerThreads::waitForAll(std::chrono::milliseconds limit)
{
    Count &c = count();
    std::unique_lock lock(c.mutex);
    return c.ended.wait_for(lock, limit, [&c] { return c.running == 0; });
}
