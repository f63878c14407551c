#pragma once

// The invoices of the table by the keys the journal's lines name them by,
// and the look-up of those lines in them, fast enough for a journal of a
// million lines against a table of a million invoices.

#include "records/ExportHistory.h"
#include "records/InvoiceRecord.h"

#include <QByteArrayView>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

// The invoices of the table by year, number and Apice: open addressing over
// one and a half slots a record. A slot holds the year, the number and a
// trace of the Apice, so that only an invoice with an Apice reads its record.
// Looking up a million keys spread over the slots waits on memory most of the
// time: the slot of a key is fetched ahead (probe()) while earlier keys are
// placed or looked up (find()).
class TableKeys
{
public:
    // How many keys are fetched ahead.
    static constexpr size_t kAhead = 16;

    struct Probe
    {
        size_t slot;
        qint32 year;
        qint32 numero;
        quint16 apiceTrace;
    };

    explicit TableKeys(const std::vector<InvoiceRecord> &records);

    // The key's slot, fetched ahead.
    Probe probe(qint32 year, qint32 numero, QByteArrayView apice) const
    {
        quint64 text = 0;
        if (!apice.isEmpty())
            std::memcpy(&text, apice.data(), size_t(std::min<qsizetype>(apice.size(), 8)));
        quint64 h = (quint64(quint32(year)) << 32 | quint32(numero)) * 0x9E3779B97F4A7C15ULL;
        h ^= (text + quint64(apice.size())) * 0xC2B2AE3D27D4EB4FULL;
        h ^= h >> 33;
        h *= 0xFF51AFD7ED558CCDULL;
        h ^= h >> 33;
        // The upper half of the hash scaled to the slots.
        const auto slot = size_t((h >> 32) * quint64(m_slots.size()) >> 32);
        __builtin_prefetch(&m_slots[slot]);
        const auto trace = apice.isEmpty() ? quint16(0) : quint16(1 + (text * 0x9E3779B97F4A7C15ULL >> 48) % 65535);
        return Probe{slot, year, numero, trace};
    }

    // Calls found(row) for every record with the key; apice is the one
    // the probe was made of.
    template <typename Found>
    void find(const Probe &p, QByteArrayView apice, Found found) const
    {
        for (size_t i = p.slot; m_slots[i].row; i = next(i)) {
            const Slot &slot = m_slots[i];
            if (slot.numero != p.numero || slot.year != p.year || slot.apiceTrace != p.apiceTrace)
                continue;
            const size_t row = slot.row - 1;
            if (slot.apiceTrace == 0 || m_records[row].comparedApice() == apice)
                found(row);
        }
    }

private:
    struct Slot
    {
        quint32 row; // from 1; 0: empty
        qint32 numero;
        quint16 year;       // 0 to 9999
        quint16 apiceTrace; // 0: no Apice
    };

    size_t next(size_t slot) const { return slot + 1 == m_slots.size() ? 0 : slot + 1; }

    const std::vector<InvoiceRecord> &m_records;
    std::vector<Slot> m_slots;
};

// Looks the journal's lines up in the table's keys in the order they come,
// the slot of each fetched while the lines before it are looked up: where an
// invoice stands in more than one line, its last line counts.
class KeyLookUp
{
public:
    // No invoice of the table has a longer Apice: a line with one names none.
    static constexpr qsizetype kLongestApice = decltype(InvoiceRecord::Apice)::capacity;

    explicit KeyLookUp(const std::vector<InvoiceRecord> &records);

    // A line of the sezionale: its invoice's key (an Apice of kLongestApice
    // bytes at most), and the total and the number of the export that it
    // records.
    void add(qint32 year, qint32 numero, QByteArrayView apice, qint64 total, quint32 exportNumber);
    // The rows found, each with its last line's export and total, once
    // every line has been added.
    std::vector<ExportHistory::Entry> finish();

private:
    // A line that waits while its slot is fetched.
    struct Waiting
    {
        TableKeys::Probe probe;
        std::array<char, kLongestApice> apice;
        qsizetype apiceSize;
        qint64 total;
        quint32 exportNumber;
    };

    void lookUpFirst();

    TableKeys m_keys;
    std::array<Waiting, TableKeys::kAhead> m_waiting;
    size_t m_first = 0;
    size_t m_count = 0;
    // The last line found for each row: its place in m_found, from 1.
    std::vector<quint32> m_foundOfRow;
    std::vector<ExportHistory::Entry> m_found;
};
