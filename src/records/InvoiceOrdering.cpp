#include "records/InvoiceOrdering.h"

#include "platform/LargePages.h"

#include <algorithm>

namespace {

// Records between two steps (a power of two).
constexpr size_t kOrderingStep = 65536;

// A record's place in its part: its block, and its place in that block. The
// order of the places is the order of addition.
constexpr unsigned kPlaceBits = 18;
static_assert(InvoiceStaging::kBlock < (size_t(1) << kPlaceBits));

bool comesBefore(const InvoiceOrderKey &a, const InvoiceOrderKey &b)
{
    return a.day < b.day || (a.day == b.day && a.numero < b.numero);
}

// A record of the merged order: its part and its place there.
struct Source
{
    quint32 part;
    quint32 place;
};

// The parts' orders merged into one: equal keys in the order of the parts.
bool mergeOrders(const std::vector<const SortedPart *> &parts, std::vector<Source> &merged,
                 const std::function<bool()> &step)
{
    struct Head
    {
        const InvoiceOrderKey *next;
        const InvoiceOrderKey *end;
        quint32 part;
    };
    std::vector<Head> heads;
    size_t count = 0;
    for (size_t p = 0; p < parts.size(); ++p) {
        const std::vector<InvoiceOrderKey> &order = parts[p]->order;
        if (!order.empty())
            heads.push_back({order.data(), order.data() + order.size(), quint32(p)});
        count += order.size();
    }
    merged.reserve(count);
    while (!heads.empty()) {
        // The first head that no later one comes before.
        size_t first = 0;
        for (size_t h = 1; h < heads.size(); ++h) {
            if (comesBefore(*heads[h].next, *heads[first].next))
                first = h;
        }
        Head &head = heads[first];
        merged.push_back({head.part, head.next->place});
        if (++head.next == head.end)
            heads.erase(heads.begin() + std::ptrdiff_t(first));
        if ((merged.size() & (kOrderingStep - 1)) == 0 && !step())
            return false;
    }
    return true;
}

} // namespace

bool sortPart(SortedPart &part, const std::function<bool()> &goOn)
{
    const auto step = [&goOn] { return !goOn || goOn(); };
    const InvoiceStaging &records = *part.records;
    std::vector<InvoiceOrderKey> order;
    order.reserve(records.size());
    for (quint32 b = 0; b < records.blockCount(); ++b) {
        for (size_t i = 0; i < records.blockSize(b); ++i) {
            const InvoiceRecord &r = records.at(b, i);
            order.push_back({r.data.toJulianDay(), r.numero, (b << kPlaceBits) | quint32(i)});
            if ((order.size() & (kOrderingStep - 1)) == 0 && !step())
                return false;
        }
    }
    if (!step())
        return false;
    std::sort(order.begin(), order.end(), [](const InvoiceOrderKey &a, const InvoiceOrderKey &b) {
        if (a.day != b.day)
            return a.day < b.day;
        if (a.numero != b.numero)
            return a.numero < b.numero;
        return a.place < b.place;
    });
    part.order.swap(order);
    return true;
}

bool putInOrder(const std::vector<const SortedPart *> &parts, std::vector<InvoiceRecord> &spare,
                std::vector<InvoiceRecord> &ordered, const std::function<bool()> &goOn)
{
    const auto step = [&goOn] { return !goOn || goOn(); };
    std::vector<Source> merged;
    if (!mergeOrders(parts, merged, step) || !step())
        return false;
    const size_t count = merged.size();
    const auto staged = [&parts](const Source &source) -> const InvoiceRecord & {
        return parts[source.part]->records->at(source.place >> kPlaceBits, source.place & ((1u << kPlaceBits) - 1));
    };

    // Every record copied once, in order, into a vector of the exact size:
    // far less memory moved than sorting the records themselves, and no
    // spare room.
    std::vector<InvoiceRecord> result;
    if (spare.capacity() >= count && spare.capacity() - count <= count / 8)
        result.swap(spare);
    std::vector<InvoiceRecord>().swap(spare);
    result.clear();
    result.reserve(count);
    LargePages::prefer(result.data(), count * sizeof(InvoiceRecord));
    constexpr size_t kAhead = 16; // records fetched ahead of the copy
    for (size_t k = 0; k < count; ++k) {
        if (k + kAhead < count) {
            const char *next = reinterpret_cast<const char *>(&staged(merged[k + kAhead]));
            for (size_t line = 0; line < sizeof(InvoiceRecord); line += 64)
                __builtin_prefetch(next + line);
            __builtin_prefetch(next + sizeof(InvoiceRecord) - 1);
        }
        result.push_back(staged(merged[k]));
        if ((k & (kOrderingStep - 1)) == kOrderingStep - 1 && !step())
            return false;
    }
    ordered.swap(result);
    return true;
}
