#include "records/InvoiceTable.h"

#include "platform/LargePages.h"

#include <algorithm>
#include <array>
#include <new>

namespace {
const std::array<InvoiceTable::Field, InvoiceTable::ColumnCount> kFields = {{
    {"data", "Data", 0, 10},
    {"numero", "Numero", 0, 10},
    {"Apice", "Apice", 8, 8},
    {"Cognome", "Cognome", 30, 30},
    {"nome", "Nome", 30, 30},
    {"cf", "C.F.", 16, 16},
    {"importo", "Importo", 0, 10},
    {"bollo", "Bollo", 0, 10},
    {"importoiva", "Iva", 0, 10},
    {"importora", "R.A.", 0, 10},
    {"totale", "Totale", 0, 10},
    {"P.Iva", "P.Iva", 16, 16},
    {"Descrizione", "Descrizione", 30, 30},
    {"indirizzo", "indirizzo", 35, 35},
    {"cap", "cap", 5, 5},
    {"citta", "citta", 25, 25},
    {"provincia", "provincia", 2, 2},
}};
} // namespace

// Records between two steps of the ordering (a power of two).
constexpr size_t kOrderingStep = 65536;

const InvoiceTable::Field &InvoiceTable::field(int column)
{
    return kFields[size_t(column)];
}

InvoiceTable::InvoiceTable(QObject *parent) : QObject(parent) {}

InvoiceTable::~InvoiceTable() = default;

void InvoiceTable::reopen()
{
    emit aboutToReset();
    releaseRecords();
    m_open = true;
    emit reset();
}

void InvoiceTable::appendNow(const InvoiceRecord &record)
{
    if (!m_open) {
        // A table that was never opened has no rows to add to: it opens.
        emit aboutToReset();
        m_open = true;
        m_records.push_back(record);
        m_checks = InvoiceChecks(m_records);
        emit reset();
        return;
    }
    const qsizetype row = size();
    emit rowsAboutToBeAppended(row, row);
    m_records.push_back(record);
    m_checks = InvoiceChecks(m_records);
    emit rowsAppended();
}

void InvoiceTable::beginFill()
{
    if (m_filling)
        return;
    emit aboutToReset();
    m_filling = true;
    // The earlier records' memory waits, emptied, for the ordered copy at
    // the end: a new read of about as many invoices then writes into pages
    // the process already has, instead of asking the system for fresh ones.
    std::vector<InvoiceRecord> earlier;
    earlier.swap(m_records);
    releaseRecords();
    earlier.clear();
    m_spare.swap(earlier);
    m_open = true;
}

bool InvoiceTable::endFill(const std::function<bool()> &goOn, const HistoryLookUp &lookUp)
{
    if (!m_filling)
        return true;
    bool complete = false;
    try {
        complete = putInOrder(goOn);
        if (complete)
            m_checks = InvoiceChecks(m_records);
        if (complete && lookUp)
            m_history = lookUp(m_records);
    } catch (const std::bad_alloc &) {
        abandonFill();
        throw;
    } catch (...) {
        // The records stand in order and checked; only their history is
        // missing.
        m_filling = false;
        emit reset();
        throw;
    }
    if (!complete) {
        abandonFill();
        return false;
    }
    m_filling = false;
    emit reset();
    return true;
}

void InvoiceTable::abandonFill()
{
    if (!m_filling)
        return;
    releaseRecords();
    m_filling = false;
    emit reset();
}

void InvoiceTable::markExported(const QDate &day, const QTime &time, const QString &file)
{
    m_history.setEveryRow(m_records, day, time, file);
    emit exportHistoryChanged();
}

void InvoiceTable::releaseRecords()
{
    std::vector<InvoiceRecord>().swap(m_records);
    std::vector<InvoiceRecord>().swap(m_spare);
    m_checks = InvoiceChecks();
    m_history = ExportHistory();
    m_staging.clear();
    m_stagedInLast = kStagingBlock;
}

InvoiceTable::StagingBlock::StagingBlock() : m_bytes(std::make_unique_for_overwrite<std::byte[]>(kStagingBytes))
{
    LargePages::prefer(m_bytes.get(), kStagingBytes);
}

void InvoiceTable::newStagingBlock()
{
    try {
        m_staging.emplace_back();
    } catch (const std::bad_alloc &) {
        if (m_spare.capacity() == 0)
            throw;
        // Short of memory: the earlier records' room goes first.
        std::vector<InvoiceRecord>().swap(m_spare);
        m_staging.emplace_back();
    }
    m_stagedInLast = 0;
}

bool InvoiceTable::putInOrder(const std::function<bool()> &goOn)
{
    const size_t count = m_staging.empty() ? 0 : (m_staging.size() - 1) * kStagingBlock + m_stagedInLast;
    const auto staged = [this](size_t i) -> const InvoiceRecord & {
        return m_staging[i / kStagingBlock].at(i % kStagingBlock);
    };
    const auto step = [&goOn] { return !goOn || goOn(); };
    // Small keys sorted, then every record copied once, in order, into a
    // vector of the exact size: far less memory moved than sorting the
    // records themselves, and no spare room. Without memory for either,
    // std::bad_alloc leaves the staged records where they are.
    // The earlier records' memory takes the ordered copy when it fits
    // without much spare room; otherwise it goes back before anything else
    // is asked for.
    std::vector<InvoiceRecord> ordered;
    if (m_spare.capacity() >= count && m_spare.capacity() - count <= count / 8)
        ordered.swap(m_spare);
    std::vector<InvoiceRecord>().swap(m_spare);
    struct Key
    {
        qint64 day;
        qint32 numero;
        quint32 position; // order of addition, for equal date and number
    };
    std::vector<Key> keys;
    keys.reserve(count);
    LargePages::prefer(keys.data(), count * sizeof(Key));
    for (size_t i = 0; i < count; ++i) {
        keys.push_back({staged(i).data.toJulianDay(), staged(i).numero, quint32(i)});
        if ((i & (kOrderingStep - 1)) == kOrderingStep - 1 && !step())
            return false;
    }
    if (!step())
        return false;
    std::sort(keys.begin(), keys.end(), [](const Key &a, const Key &b) {
        if (a.day != b.day)
            return a.day < b.day;
        if (a.numero != b.numero)
            return a.numero < b.numero;
        return a.position < b.position;
    });
    if (!step())
        return false;
    // The table is empty here: beginFill() emptied it.
    ordered.reserve(count);
    LargePages::prefer(ordered.data(), count * sizeof(InvoiceRecord));
    constexpr size_t kAhead = 16; // records fetched ahead of the copy
    for (size_t k = 0; k < count; ++k) {
        if (k + kAhead < count) {
            const char *next = reinterpret_cast<const char *>(&staged(keys[k + kAhead].position));
            for (size_t line = 0; line < sizeof(InvoiceRecord); line += 64)
                __builtin_prefetch(next + line);
            __builtin_prefetch(next + sizeof(InvoiceRecord) - 1);
        }
        ordered.push_back(staged(keys[k].position));
        if ((k & (kOrderingStep - 1)) == kOrderingStep - 1 && !step())
            return false;
    }
    m_records.swap(ordered);
    m_staging.clear();
    m_stagedInLast = kStagingBlock;
    return true;
}
