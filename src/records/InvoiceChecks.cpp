#include "records/InvoiceChecks.h"

#include <algorithm>
#include <cstring>

namespace {

struct InvoiceKey
{
    quint64 apice;   // the bytes of Apice, zero-padded
    qint32 year;
    qint32 numero;
    quint32 row;
    quint8 apiceLength;
    bool creditNote;

    auto tie() const { return std::tie(year, numero, apice, apiceLength, creditNote); }
};

template <typename Pair>
auto findRow(const std::vector<Pair> &rows, qsizetype row)
{
    return std::lower_bound(rows.begin(), rows.end(), row,
                            [](const Pair &entry, qsizetype value) { return qsizetype(entry.first) < value; });
}

} // namespace

InvoiceChecks::InvoiceChecks(const std::vector<InvoiceRecord> &records)
{
    std::vector<InvoiceKey> keys;
    keys.reserve(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        const InvoiceRecord &r = records[i];
        const TaxCodeProblem problem = ::taxCodeProblem(QByteArrayView(r.cf.data(), r.cf.size()));
        if (problem != TaxCodeProblem::None)
            m_taxCodes.emplace_back(quint32(i), problem);
        InvoiceKey key{};
        std::memcpy(&key.apice, r.Apice.data(), size_t(r.Apice.size()));
        key.apiceLength = quint8(r.Apice.size());
        key.year = r.data.isValid() ? r.data.year() : 0;
        key.numero = r.numero;
        key.creditNote = r.importo < 0;
        key.row = quint32(i);
        keys.push_back(key);
    }
    std::sort(keys.begin(), keys.end(), [](const InvoiceKey &a, const InvoiceKey &b) {
        return a.tie() < b.tie() || (a.tie() == b.tie() && a.row < b.row);
    });
    for (size_t first = 0; first < keys.size();) {
        size_t end = first + 1;
        while (end < keys.size() && keys[end].tie() == keys[first].tie())
            ++end;
        if (end - first > 1) {
            // Each copy points at the next one, the last at the first.
            for (size_t k = first; k < end; ++k) {
                const size_t other = k + 1 < end ? k + 1 : first;
                m_duplicates.emplace_back(keys[k].row, keys[other].row);
            }
        }
        first = end;
    }
    std::sort(m_duplicates.begin(), m_duplicates.end());
}

TaxCodeProblem InvoiceChecks::taxCodeProblem(qsizetype row) const
{
    const auto it = findRow(m_taxCodes, row);
    return it != m_taxCodes.end() && qsizetype(it->first) == row ? it->second : TaxCodeProblem::None;
}

qsizetype InvoiceChecks::duplicateOf(qsizetype row) const
{
    const auto it = findRow(m_duplicates, row);
    return it != m_duplicates.end() && qsizetype(it->first) == row ? qsizetype(it->second) : -1;
}
