#include "records/InvoiceStaging.h"

#include "platform/LargePages.h"

InvoiceStaging::Block::Block() : m_bytes(std::make_unique_for_overwrite<std::byte[]>(kBlockBytes))
{
    LargePages::prefer(m_bytes.get(), kBlockBytes);
}

void InvoiceStaging::newBlock()
{
    m_blocks.emplace_back();
    m_inLast = 0;
}

void InvoiceStaging::clear()
{
    std::vector<Block>().swap(m_blocks);
    m_inLast = kBlock;
}
