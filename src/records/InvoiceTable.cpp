#include "records/InvoiceTable.h"

#include "records/InvoiceOrdering.h"

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
        SortedPart part{&m_staging, {}};
        complete = sortPart(part, goOn) && putInOrder({&part}, m_spare, m_records, goOn);
        m_staging.clear();
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
}

std::vector<InvoiceRecord> InvoiceTable::emptyForRead()
{
    emit aboutToReset();
    std::vector<InvoiceRecord> earlier;
    earlier.swap(m_records);
    releaseRecords();
    earlier.clear();
    m_open = true;
    emit reset();
    return earlier;
}

void InvoiceTable::adopt(std::vector<InvoiceRecord> records, InvoiceChecks checks, ExportHistory history)
{
    emit aboutToReset();
    releaseRecords();
    m_records.swap(records);
    m_checks = std::move(checks);
    m_history = std::move(history);
    m_open = true;
    emit reset();
}
