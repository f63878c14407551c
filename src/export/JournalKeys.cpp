// Own index where QHash would do: it cannot fetch a key's slot ahead of its
// look-up, and a million look-ups spread over memory wait on it most of the
// time.
#include "export/JournalKeys.h"

TableKeys::TableKeys(const std::vector<InvoiceRecord> &records)
    : m_records(records), m_slots(std::max<size_t>(16, records.size() + records.size() / 2), Slot{0, 0, 0, 0})
{
    // The year is worked out once a day: the records stand in date order.
    QDate day;
    qint32 year = 0;
    const auto probeOfRow = [&](size_t row) {
        const InvoiceRecord &r = records[row];
        if (r.data != day) {
            day = r.data;
            year = day.isValid() ? day.year() : 0;
        }
        return probe(year, r.numero, r.comparedApice());
    };
    std::array<Probe, kAhead> ahead;
    for (size_t row = 0; row < std::min(kAhead, records.size()); ++row)
        ahead[row] = probeOfRow(row);
    for (size_t row = 0; row < records.size(); ++row) {
        const Probe p = ahead[row % kAhead];
        if (row + kAhead < records.size())
            ahead[row % kAhead] = probeOfRow(row + kAhead);
        size_t i = p.slot;
        while (m_slots[i].row)
            i = next(i);
        m_slots[i] = Slot{quint32(row + 1), p.numero, quint16(p.year), p.apiceTrace};
    }
}

KeyLookUp::KeyLookUp(const std::vector<InvoiceRecord> &records)
    : m_keys(records), m_foundOfRow(records.size(), 0)
{
    m_found.reserve(records.size()); // the memory is taken only as it is used
}

void KeyLookUp::add(qint32 year, qint32 numero, QByteArrayView apice, qint64 total, quint32 exportNumber)
{
    Q_ASSERT(apice.size() <= kLongestApice);
    if (m_count == m_waiting.size())
        lookUpFirst();
    Waiting &w = m_waiting[(m_first + m_count++) % m_waiting.size()];
    w.probe = m_keys.probe(year, numero, apice);
    std::copy(apice.begin(), apice.end(), w.apice.begin());
    w.apiceSize = apice.size();
    w.total = total;
    w.exportNumber = exportNumber;
}

std::vector<ExportHistory::Entry> KeyLookUp::finish()
{
    while (m_count > 0)
        lookUpFirst();
    return std::move(m_found);
}

void KeyLookUp::lookUpFirst()
{
    const Waiting &w = m_waiting[m_first];
    m_keys.find(w.probe, QByteArrayView(w.apice.data(), w.apiceSize), [&](size_t row) {
        const ExportHistory::Entry entry{quint32(row), w.exportNumber, w.total};
        if (m_foundOfRow[row] == 0) {
            m_found.push_back(entry);
            m_foundOfRow[row] = quint32(m_found.size());
        } else {
            m_found[m_foundOfRow[row] - 1] = entry;
        }
    });
    m_first = (m_first + 1) % m_waiting.size();
    --m_count;
}
