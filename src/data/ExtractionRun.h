#pragma once

#include "data/DatabaseReader.h"
#include "records/ExportHistory.h"
#include "records/InvoiceChecks.h"
#include "records/InvoiceRecord.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class ExtractionListener;

// What an extraction needs, copied for its threads: nothing of it is shared
// with the window or the data module while it runs.
struct ExtractionRequest
{
    std::vector<PatientDatabase> databases; // in list order
    InvoiceQuery query;
    int sezionale = 0;
    QString journalPath; // the export journal to look the invoices up in
    // The earlier table's memory, emptied, for the ordered copy.
    std::vector<InvoiceRecord> spare;
};

// What an extraction ended with.
struct ExtractionResult
{
    enum class Outcome { Complete, Stopped, Failed, ShortOfMemory };
    Outcome outcome = Outcome::Stopped;
    // Complete, Failed: in order and checked; after an error, the records of
    // the databases listed before the failed one and those the failed one
    // gave before its error.
    std::vector<InvoiceRecord> records;
    InvoiceChecks checks;
    ExportHistory history;
    bool everyTaxCode = true;
    std::exception_ptr error; // Failed: the first error in list order
};

// One extraction on worker threads: the patient databases read at once, each
// on its own attachment (at most kReadersAtOnce at a time, so that a small
// server is not swamped), the order of each database's records found by its
// reader as it ends; then the records put in order in list order, checked
// and looked up in the export journal, on a thread that follows the read. The result is the one a read
// of one database after another would give; an error ends the extraction at
// the first database, in list order, that fails.
//
// The listener hears the read's progress from the following thread (never
// from two threads at once) until the read ends or is abandoned; onFinished
// is called, from that thread too, once the result is ready.
class ExtractionRun
{
public:
    static constexpr int kReadersAtOnce = 4;
    // Readers at once from the next run on (kReadersAtOnce unless set): one
    // reads the databases one after another, as the tests compare.
    static void setReadersAtOnce(int readers);
    // The longest the listener goes without hearing of the read.
    static constexpr int kReportIntervalMs = 100;

    static std::shared_ptr<ExtractionRun> start(ExtractionRequest request, ExtractionListener *listener,
                                                std::function<void()> onFinished);

    ExtractionRun(ExtractionRequest request, ExtractionListener *listener, std::function<void()> onFinished);

    bool isFinished();
    void waitUntilFinished();
    // Once finished: the result, which is the caller's from then on.
    ExtractionResult takeResult();
    // The read is no longer wanted: from the return on, neither the listener
    // nor onFinished is called again; the threads stop at their next look
    // and end on their own, a thread that waits in the client as soon as its
    // call returns.
    void abandon();

private:
    struct Part;
    void readNext();
    void follow();
    // Progress to the listener, and its answer: false to stop.
    bool report();
    // The databases up to the first that failed, or all, have ended.
    bool readEnded();
    void finish();
    ExtractionResult assemble(size_t parts);

    ExtractionRequest m_request;
    std::vector<std::unique_ptr<Part>> m_parts;
    std::atomic<size_t> m_next{0};
    std::atomic<bool> m_stop{false};
    std::atomic<size_t> m_failedAt;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    ExtractionListener *m_listener;
    std::function<void()> m_onFinished;
    bool m_finished = false;
    ExtractionResult m_result;
    std::vector<InvoiceRecord> m_spare;
};
