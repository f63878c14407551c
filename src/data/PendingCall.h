#pragma once

#include "data/WorkerThreads.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

// One call made on a worker thread and its result, which the caller takes
// when the call has returned, or never: a result nobody takes is destroyed
// with the last reference to it, on whichever side lets go last.
template <typename T>
class PendingCall
{
public:
    static std::shared_ptr<PendingCall> start(std::function<T()> call)
    {
        auto pending = std::make_shared<PendingCall>();
        WorkerThreads::start([pending, call = std::move(call)] {
            std::optional<T> value;
            std::exception_ptr error;
            try {
                value.emplace(call());
            } catch (...) {
                error = std::current_exception();
            }
            const std::lock_guard lock(pending->m_mutex);
            pending->m_value = std::move(value);
            pending->m_error = error;
            pending->m_done = true;
            pending->m_doneSignal.notify_all();
        });
        return pending;
    }

    // Waits at most limit; true once the call has returned.
    bool waitFor(std::chrono::milliseconds limit)
    {
        std::unique_lock lock(m_mutex);
        return m_doneSignal.wait_for(lock, limit, [this] { return m_done; });
    }
    void wait()
    {
        std::unique_lock lock(m_mutex);
        m_doneSignal.wait(lock, [this] { return m_done; });
    }
    // The call's result, once it has returned; throws its error.
    T take()
    {
        const std::lock_guard lock(m_mutex);
        if (m_error)
            std::rethrow_exception(m_error);
        return std::move(*m_value);
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_doneSignal;
    bool m_done = false;
    std::optional<T> m_value;
    std::exception_ptr m_error;
};
