#include "records/InvoiceChecks.h"

#include <algorithm>
#include <cstring>
#include <tuple>

namespace {

// The same invoice: the same number, Apice, year and kind.
bool sameInvoice(const InvoiceRecord &a, const InvoiceRecord &b)
{
    return a.numero == b.numero && (a.importo < 0) == (b.importo < 0) && a.Apice.size() == b.Apice.size()
           && std::memcmp(a.Apice.data(), b.Apice.data(), size_t(a.Apice.size())) == 0
           && (a.data.isValid() ? a.data.year() : 0) == (b.data.isValid() ? b.data.year() : 0);
}

template <typename Pair>
auto findRow(const std::vector<Pair> &rows, qsizetype row)
{
    return std::lower_bound(rows.begin(), rows.end(), row,
                            [](const Pair &entry, qsizetype value) { return qsizetype(entry.first) < value; });
}

} // namespace

InvoiceChecks::InvoiceChecks(const std::vector<InvoiceRecord> &records)
{
    // Year and number in one integer beside the row: a sort of plain pairs
    // brings the candidates together; Apice and kind are compared within
    // the few records that share year and number.
    std::vector<std::pair<quint64, quint32>> keys;
    keys.reserve(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        const InvoiceRecord &r = records[i];
        const TaxCodeProblem problem = ::taxCodeProblem(QByteArrayView(r.cf.data(), r.cf.size()));
        if (problem != TaxCodeProblem::None)
            m_taxCodes.emplace_back(quint32(i), problem);
        const quint64 year = quint64(r.data.isValid() ? r.data.year() + 100000 : 0);
        keys.emplace_back(year << 32 | quint32(r.numero), quint32(i));
    }
    std::sort(keys.begin(), keys.end());
    for (size_t first = 0; first < keys.size();) {
        size_t end = first + 1;
        while (end < keys.size() && keys[end].first == keys[first].first)
            ++end;
        if (end - first > 1) {
            // Apice and kind put in order within the group: the copies of
            // one invoice stand together; each points at the next, the last
            // at the first.
            const auto apiceAndKind = [&records](const std::pair<quint64, quint32> &key) {
                const InvoiceRecord &r = records[key.second];
                return std::make_tuple(QByteArrayView(r.Apice.data(), r.Apice.size()), r.importo < 0, key.second);
            };
            std::sort(keys.begin() + qsizetype(first), keys.begin() + qsizetype(end),
                      [&](const auto &a, const auto &b) { return apiceAndKind(a) < apiceAndKind(b); });
            for (size_t run = first; run < end;) {
                size_t runEnd = run + 1;
                while (runEnd < end && sameInvoice(records[keys[run].second], records[keys[runEnd].second]))
                    ++runEnd;
                for (size_t k = run; runEnd - run > 1 && k < runEnd; ++k)
                    m_duplicates.emplace_back(keys[k].second, keys[k + 1 < runEnd ? k + 1 : run].second);
                run = runEnd;
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
