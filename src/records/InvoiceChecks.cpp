#include "records/InvoiceChecks.h"

#include <algorithm>
#include <tuple>

namespace {

QByteArrayView apiceOf(const InvoiceRecord &r)
{
    return r.comparedApice();
}

bool isCreditNote(const InvoiceRecord &r)
{
    return r.importo < 0;
}

template <typename Entry>
auto findRow(const std::vector<Entry> &rows, qsizetype row)
{
    return std::lower_bound(rows.begin(), rows.end(), row,
                            [](const Entry &entry, qsizetype value) { return qsizetype(entry.first) < value; });
}

template <typename Entry>
void sortByRow(std::vector<Entry> &rows)
{
    std::sort(rows.begin(), rows.end(), [](const Entry &a, const Entry &b) { return a.first < b.first; });
}

} // namespace

InvoiceChecks::InvoiceChecks(const std::vector<InvoiceRecord> &records)
{
    // Year and number in one integer beside the row: a sort of plain pairs
    // brings the candidates together; Apice and kind are compared within
    // the few records that share year and number.
    std::vector<Key> keys;
    keys.reserve(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        const InvoiceRecord &r = records[i];
        const TaxCodeProblem problem = (r.cut & InvoiceRecord::CutCf)
                                           ? TaxCodeProblem::TooLong
                                           : ::taxCodeProblem(QByteArrayView(r.cf.data(), r.cf.size()));
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
        if (end - first > 1)
            checkGroup(records, keys.data() + first, keys.data() + end);
        first = end;
    }
    sortByRow(m_duplicates);
    sortByRow(m_sameProtocols);
}

void InvoiceChecks::checkGroup(const std::vector<InvoiceRecord> &records, Key *first, Key *end)
{
    const auto at = [&records](const Key &key) -> const InvoiceRecord & { return records[key.second]; };
    // Apice, kind and row put in order: the rows of one Apice stand
    // together, and among them the copies of one invoice.
    std::sort(first, end, [&](const Key &a, const Key &b) {
        return std::make_tuple(apiceOf(at(a)), isCreditNote(at(a)), a.second)
               < std::make_tuple(apiceOf(at(b)), isCreditNote(at(b)), b.second);
    });
    const auto apiceEnd = [&](Key *run) {
        Key *next = run + 1;
        while (next < end && apiceOf(at(*next)) == apiceOf(at(*run)))
            ++next;
        return next;
    };
    // More than one Apice: every row names one of the next Apice, the rows
    // of the last Apice one of the first.
    const bool oneApice = apiceEnd(first) == end;
    for (Key *run = first; run < end;) {
        Key *runEnd = apiceEnd(run);
        if (!oneApice) {
            const quint32 other = (runEnd == end ? first : runEnd)->second;
            for (Key *k = run; k < runEnd; ++k)
                m_sameProtocols.emplace_back(k->second, other);
        }
        // The copies of one invoice: the same Apice and kind.
        for (Key *copy = run; copy < runEnd;) {
            Key *copyEnd = copy + 1;
            while (copyEnd < runEnd && isCreditNote(at(*copyEnd)) == isCreditNote(at(*copy)))
                ++copyEnd;
            const quint32 count = quint32(copyEnd - copy);
            if (count > 1) {
                // Each copy names one read from another database where there
                // is one, else the next copy (the last the first).
                const quint16 source = at(*copy).source;
                Key *elsewhere = copy + 1;
                while (elsewhere < copyEnd && at(*elsewhere).source == source)
                    ++elsewhere;
                for (Key *k = copy; k < copyEnd; ++k) {
                    const Key *other = elsewhere == copyEnd    ? (k + 1 < copyEnd ? k + 1 : copy)
                                       : at(*k).source == source ? elsewhere
                                                                : copy;
                    m_duplicates.emplace_back(k->second, Copies{other->second, count});
                }
            }
            copy = copyEnd;
        }
        run = runEnd;
    }
}

TaxCodeProblem InvoiceChecks::taxCodeProblem(qsizetype row) const
{
    const auto it = findRow(m_taxCodes, row);
    return it != m_taxCodes.end() && qsizetype(it->first) == row ? it->second : TaxCodeProblem::None;
}

qsizetype InvoiceChecks::duplicateOf(qsizetype row) const
{
    const auto it = findRow(m_duplicates, row);
    return it != m_duplicates.end() && qsizetype(it->first) == row ? qsizetype(it->second.other) : -1;
}

qsizetype InvoiceChecks::copyCount(qsizetype row) const
{
    const auto it = findRow(m_duplicates, row);
    return it != m_duplicates.end() && qsizetype(it->first) == row ? qsizetype(it->second.count) : 1;
}

qsizetype InvoiceChecks::sameProtocolAs(qsizetype row) const
{
    const auto it = findRow(m_sameProtocols, row);
    return it != m_sameProtocols.end() && qsizetype(it->first) == row ? qsizetype(it->second) : -1;
}
