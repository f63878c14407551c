#include "records/InvoiceOrdering.h"

#include "platform/LargePages.h"

#include <algorithm>

namespace {

// Records between two steps of the ordering (a power of two).
constexpr size_t kOrderingStep = 65536;

// A record's place among the staged ones: its block over all parts, and its
// place in that block. Numbered in the parts' order, so the order of the
// places is the order of addition.
constexpr unsigned kPlaceBits = 18;
static_assert(InvoiceStaging::kBlock < (size_t(1) << kPlaceBits));

struct Key
{
    qint64 day;
    qint32 numero;
    quint32 place;
};

} // namespace

bool putInOrder(const std::vector<const InvoiceStaging *> &parts, std::vector<InvoiceRecord> &spare,
                std::vector<InvoiceRecord> &ordered, const std::function<bool()> &goOn)
{
    std::vector<const InvoiceRecord *> blocks;
    size_t count = 0;
    for (const InvoiceStaging *part : parts) {
        for (size_t b = 0; b < part->blockCount(); ++b)
            blocks.push_back(&part->at(b, 0));
        count += part->size();
    }
    const auto staged = [&blocks](quint32 place) -> const InvoiceRecord & {
        return blocks[place >> kPlaceBits][place & ((1u << kPlaceBits) - 1)];
    };
    const auto step = [&goOn] { return !goOn || goOn(); };

    // Small keys sorted, then every record copied once, in order, into a
    // vector of the exact size: far less memory moved than sorting the
    // records themselves, and no spare room.
    std::vector<InvoiceRecord> result;
    if (spare.capacity() >= count && spare.capacity() - count <= count / 8)
        result.swap(spare);
    std::vector<InvoiceRecord>().swap(spare);
    std::vector<Key> keys;
    keys.reserve(count);
    LargePages::prefer(keys.data(), count * sizeof(Key));
    quint32 block = 0;
    for (const InvoiceStaging *part : parts) {
        for (size_t b = 0; b < part->blockCount(); ++b, ++block) {
            for (size_t i = 0; i < part->blockSize(b); ++i) {
                const InvoiceRecord &r = part->at(b, i);
                keys.push_back({r.data.toJulianDay(), r.numero, (block << kPlaceBits) | quint32(i)});
                if ((keys.size() & (kOrderingStep - 1)) == 0 && !step())
                    return false;
            }
        }
    }
    if (!step())
        return false;
    std::sort(keys.begin(), keys.end(), [](const Key &a, const Key &b) {
        if (a.day != b.day)
            return a.day < b.day;
        if (a.numero != b.numero)
            return a.numero < b.numero;
        return a.place < b.place;
    });
    if (!step())
        return false;
    result.clear();
    result.reserve(count);
    LargePages::prefer(result.data(), count * sizeof(InvoiceRecord));
    constexpr size_t kAhead = 16; // records fetched ahead of the copy
    for (size_t k = 0; k < count; ++k) {
        if (k + kAhead < count) {
            const char *next = reinterpret_cast<const char *>(&staged(keys[k + kAhead].place));
            for (size_t line = 0; line < sizeof(InvoiceRecord); line += 64)
                __builtin_prefetch(next + line);
            __builtin_prefetch(next + sizeof(InvoiceRecord) - 1);
        }
        result.push_back(staged(keys[k].place));
        if ((k & (kOrderingStep - 1)) == kOrderingStep - 1 && !step())
            return false;
    }
    ordered.swap(result);
    return true;
}
