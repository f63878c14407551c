#pragma once

#include "records/InvoiceRecord.h"

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

// Records as a read appends them, in blocks that never move, so that the
// part grows without copying and without spare room; putInOrder() then copies
// them once, in order. A block's memory is left as it comes until a record is
// written into it, and is backed by large pages where the system offers them;
// blocks this large come from the system itself and go back to it when freed.
//
// Each database of an extraction fills a staging of its own, on its own
// thread; nothing here is shared between two stagings.
class InvoiceStaging
{
public:
    // Records in one block.
    static constexpr size_t kBlock = (size_t(32) << 20) / sizeof(InvoiceRecord);

    InvoiceStaging() = default;
    InvoiceStaging(InvoiceStaging &&) noexcept = default;
    InvoiceStaging &operator=(InvoiceStaging &&) noexcept = default;

    void append(const InvoiceRecord &record)
    {
        if (m_inLast == kBlock)
            newBlock();
        new (m_blocks.back().slot(m_inLast++)) InvoiceRecord(record);
    }
    size_t size() const { return m_blocks.empty() ? 0 : (m_blocks.size() - 1) * kBlock + m_inLast; }
    bool isEmpty() const { return size() == 0; }
    size_t blockCount() const { return m_blocks.size(); }
    // The records of block b: kBlock of them but in the last.
    size_t blockSize(size_t b) const { return b + 1 == m_blocks.size() ? m_inLast : kBlock; }
    const InvoiceRecord &at(size_t block, size_t i) const { return m_blocks[block].at(i); }
    // Gives every block back.
    void clear();

private:
    static_assert(std::is_trivially_copyable_v<InvoiceRecord> && std::is_trivially_destructible_v<InvoiceRecord>);
    static constexpr size_t kBlockBytes = kBlock * sizeof(InvoiceRecord);
    class Block
    {
    public:
        Block();
        void *slot(size_t i) { return m_bytes.get() + i * sizeof(InvoiceRecord); }
        const InvoiceRecord &at(size_t i) const
        {
            return *std::launder(reinterpret_cast<const InvoiceRecord *>(m_bytes.get() + i * sizeof(InvoiceRecord)));
        }

    private:
        std::unique_ptr<std::byte[]> m_bytes;
    };
    void newBlock();

    std::vector<Block> m_blocks;
    size_t m_inLast = kBlock;
};
