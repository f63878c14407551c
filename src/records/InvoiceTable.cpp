#include "records/InvoiceTable.h"

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

// Records between two ordering() signals (a power of two).
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
    releaseRecords();
    m_open = true;
}

void InvoiceTable::endFill(const HistoryLookUp &lookUp)
{
    if (!m_filling)
        return;
    putInOrder();
    m_checks = InvoiceChecks(m_records);
    m_filling = false;
    try {
        if (lookUp)
            m_history = lookUp(m_records);
    } catch (...) {
        emit reset();
        throw;
    }
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
    m_checks = InvoiceChecks();
    m_history = ExportHistory();
    m_staging.clear();
    m_stagedInLast = kStagingBlock;
}

void InvoiceTable::newStagingBlock()
{
    m_staging.push_back(std::make_unique_for_overwrite<InvoiceRecord[]>(kStagingBlock));
    m_stagedInLast = 0;
}

void InvoiceTable::putInOrder()
{
    const size_t count = m_staging.empty() ? 0 : (m_staging.size() - 1) * kStagingBlock + m_stagedInLast;
    const auto staged = [this](size_t i) -> const InvoiceRecord & {
        return m_staging[i / kStagingBlock][i % kStagingBlock];
    };
    try {
        // Small keys sorted, then every record copied once, in order, into a
        // vector of the exact size: far less memory moved than sorting the
        // records themselves, and no spare room.
        struct Key
        {
            qint64 day;
            qint32 numero;
            quint32 position; // order of addition, for equal date and number
        };
        std::vector<Key> keys;
        keys.reserve(count);
        for (size_t i = 0; i < count; ++i) {
            keys.push_back({staged(i).data.toJulianDay(), staged(i).numero, quint32(i)});
            if ((i & (kOrderingStep - 1)) == kOrderingStep - 1)
                emit ordering();
        }
        emit ordering();
        std::sort(keys.begin(), keys.end(), [](const Key &a, const Key &b) {
            if (a.day != b.day)
                return a.day < b.day;
            if (a.numero != b.numero)
                return a.numero < b.numero;
            return a.position < b.position;
        });
        emit ordering();
        // The table is empty here: beginFill() emptied it.
        std::vector<InvoiceRecord> ordered;
        ordered.reserve(count);
        constexpr size_t kAhead = 16; // records fetched ahead of the copy
        for (size_t k = 0; k < count; ++k) {
            if (k + kAhead < count) {
                const char *next = reinterpret_cast<const char *>(&staged(keys[k + kAhead].position));
                for (size_t line = 0; line < sizeof(InvoiceRecord); line += 64)
                    __builtin_prefetch(next + line);
                __builtin_prefetch(next + sizeof(InvoiceRecord) - 1);
            }
            ordered.push_back(staged(keys[k].position));
            if ((k & (kOrderingStep - 1)) == kOrderingStep - 1)
                emit ordering();
        }
        m_records.swap(ordered);
    } catch (const std::bad_alloc &) {
        // Without memory for the keys or the copy: move the records over
        // and sort them in place, the stable sort keeping the order of
        // addition for equal date and number. Short of memory even for
        // that, the table keeps what it could take.
        try {
            m_records.reserve(count);
            for (size_t i = 0; i < count; ++i)
                m_records.push_back(staged(i));
        } catch (const std::bad_alloc &) {
        }
        std::stable_sort(m_records.begin(), m_records.end(), [](const InvoiceRecord &a, const InvoiceRecord &b) {
            if (a.data != b.data)
                return a.data < b.data;
            return a.numero < b.numero;
        });
    }
    m_staging.clear();
    m_stagedInLast = kStagingBlock;
}
