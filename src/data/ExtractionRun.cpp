#include "data/ExtractionRun.h"

#include "data/ExtractionListener.h"
#include "data/WorkerThreads.h"
#include "export/ExportJournal.h"
#include "records/InvoiceOrdering.h"

#include <algorithm>
#include <chrono>
#include <new>

namespace {
std::atomic<int> g_readersAtOnce{ExtractionRun::kReadersAtOnce};
} // namespace

void ExtractionRun::setReadersAtOnce(int readers)
{
    g_readersAtOnce = std::max(1, readers);
}

// One database's share of the read.
struct ExtractionRun::Part
{
    InvoiceStaging staging; // as the read adds them
    SortedPart sorted{&staging, {}};
    std::atomic<qint64> invoicesRead{0};
    bool started = false; // these three under the run's mutex
    bool ended = false;
    bool everyTaxCode = true;
    bool shortOfMemory = false;
    std::exception_ptr error;
};

std::shared_ptr<ExtractionRun> ExtractionRun::start(ExtractionRequest request, ExtractionListener *listener,
                                                    std::function<void()> onFinished)
{
    auto run = std::make_shared<ExtractionRun>(std::move(request), listener, std::move(onFinished));
    const size_t readers = std::min(run->m_parts.size(), size_t(g_readersAtOnce.load()));
    for (size_t i = 0; i < readers; ++i)
        WorkerThreads::start([run] { run->readNext(); });
    WorkerThreads::start([run] { run->follow(); });
    return run;
}

ExtractionRun::ExtractionRun(ExtractionRequest request, ExtractionListener *listener,
                             std::function<void()> onFinished)
    : m_request(std::move(request)), m_failedAt(m_request.databases.size()), m_listener(listener),
      m_onFinished(std::move(onFinished))
{
    m_spare.swap(m_request.spare);
    for (size_t i = 0; i < m_request.databases.size(); ++i)
        m_parts.push_back(std::make_unique<Part>());
}

// A reader's thread: the next database not yet taken, until none is left or
// the read is to end.
void ExtractionRun::readNext()
{
    for (;;) {
        const size_t i = m_next.fetch_add(1);
        if (i >= m_parts.size() || m_stop.load() || i > m_failedAt.load())
            return;
        Part &part = *m_parts[i];
        {
            const std::lock_guard lock(m_mutex);
            part.started = true;
        }
        m_changed.notify_all();
        DatabaseReader reader(m_request.databases[i], quint16(i), part.staging, part.invoicesRead);
        std::exception_ptr error;
        bool shortOfMemory = false;
        try {
            reader.read(m_request.query, m_stop);
        } catch (const std::bad_alloc &) {
            shortOfMemory = true;
        } catch (...) {
            error = std::current_exception();
        }
        const auto failed = [this, i] {
            // The databases listed after it are no longer needed.
            size_t first = m_failedAt.load();
            while (i < first && !m_failedAt.compare_exchange_weak(first, i)) {
            }
        };
        if (error || shortOfMemory)
            failed();
        // The order of what the database gave, found here while the others
        // are still read; after an error too, as its records up to the error
        // count.
        if (!shortOfMemory && !m_stop.load() && i <= m_failedAt.load()) {
            try {
                sortPart(part.sorted, [this] { return !m_stop.load(); });
            } catch (const std::bad_alloc &) {
                shortOfMemory = true;
                failed();
            }
        }
        {
            const std::lock_guard lock(m_mutex);
            part.everyTaxCode = reader.everyTaxCode();
            part.shortOfMemory = shortOfMemory;
            part.error = error;
            part.ended = true;
        }
        m_changed.notify_all();
    }
}

bool ExtractionRun::readEnded()
{
    const size_t last = std::min(m_failedAt.load(), m_parts.size() - 1);
    for (size_t i = 0; i <= last && i < m_parts.size(); ++i) {
        if (!m_parts[i]->ended)
            return false;
    }
    return true;
}

// The following thread: tells the listener how far the read has come, waits
// for the databases, then assembles the result.
void ExtractionRun::follow()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (!report()) {
            m_stop = true;
            break;
        }
        if (m_stop || m_parts.empty() || readEnded())
            break;
        m_changed.wait_for(lock, std::chrono::milliseconds(kReportIntervalMs));
    }
    if (m_stop) {
        m_result.outcome = ExtractionResult::Outcome::Stopped;
        lock.unlock();
        std::vector<InvoiceRecord>().swap(m_spare);
        finish();
        return;
    }
    const size_t failedAt = m_failedAt.load();
    const size_t kept = std::min(failedAt + 1, m_parts.size());
    lock.unlock();
    ExtractionResult result = assemble(kept);
    lock.lock();
    m_result = std::move(result);
    lock.unlock();
    finish();
}

bool ExtractionRun::report()
{
    if (!m_listener)
        return !m_stop;
    size_t current = 0;
    while (current + 1 < m_parts.size() && m_parts[current]->ended)
        ++current;
    qint64 invoices = 0;
    for (const auto &part : m_parts)
        invoices += part->invoicesRead.load(std::memory_order_relaxed);
    m_listener->progress(int(current) + 1, int(m_parts.size()), invoices);
    return !m_listener->shouldStop();
}

ExtractionResult ExtractionRun::assemble(size_t kept)
{
    using Outcome = ExtractionResult::Outcome;
    ExtractionResult result;
    std::vector<const SortedPart *> parts;
    for (size_t i = 0; i < kept; ++i) {
        const Part &part = *m_parts[i];
        if (part.shortOfMemory) {
            result.outcome = Outcome::ShortOfMemory;
            return result;
        }
        if (part.error && !result.error)
            result.error = part.error;
        result.everyTaxCode = result.everyTaxCode && part.everyTaxCode;
        parts.push_back(&part.sorted);
    }
    const auto goOn = [this] {
        const std::lock_guard lock(m_mutex);
        if (!report())
            m_stop = true;
        return !m_stop;
    };
    try {
        if (!putInOrder(parts, m_spare, result.records, goOn)) {
            result.outcome = Outcome::Stopped;
            return result;
        }
        // The parts after the kept ones may still be written by a reader
        // that was told to stop; they go with the run.
        for (size_t i = 0; i < kept; ++i) {
            m_parts[i]->staging.clear();
            std::vector<InvoiceOrderKey>().swap(m_parts[i]->sorted.order);
        }
        result.checks = InvoiceChecks(result.records);
        // A stop asked during the look-up comes too late to matter: the read
        // is complete.
        result.history = ExportJournal(m_request.journalPath).lookUp(result.records, m_request.sezionale, [] {});
    } catch (const std::bad_alloc &) {
        return ExtractionResult{Outcome::ShortOfMemory, {}, {}, {}, true, {}};
    } catch (...) {
        // The records stand in order and checked; only their history is
        // missing. The read's own error, if any, goes first.
        if (!result.error)
            result.error = std::current_exception();
    }
    result.outcome = result.error ? Outcome::Failed : Outcome::Complete;
    return result;
}

void ExtractionRun::finish()
{
    // Readers of databases no longer needed (after one that failed) stop.
    m_stop = true;
    std::function<void()> onFinished;
    {
        const std::lock_guard lock(m_mutex);
        m_finished = true;
        onFinished = m_onFinished;
        // Called under the lock, so that abandon() returns only once it has
        // been called or never will be.
        if (onFinished)
            onFinished();
    }
    m_changed.notify_all();
}

bool ExtractionRun::isFinished()
{
    const std::lock_guard lock(m_mutex);
    return m_finished;
}

void ExtractionRun::waitUntilFinished()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_finished; });
}

ExtractionResult ExtractionRun::takeResult()
{
    const std::lock_guard lock(m_mutex);
    return std::move(m_result);
}

void ExtractionRun::abandon()
{
    {
        const std::lock_guard lock(m_mutex);
        m_listener = nullptr;
        m_onFinished = nullptr;
        m_stop = true;
    }
    m_changed.notify_all();
}
