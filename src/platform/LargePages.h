#pragma once

#include <cstddef>

// Memory for tables of hundreds of megabytes that are written once and then
// read. Where the system offers large pages on request (Linux's transparent
// huge pages), such memory is backed by them as it is first touched: one
// page of 2 MiB where there would be 512 of 4 KiB, each of them a page fault
// and an entry of the processor's address cache. Elsewhere nothing changes.
namespace LargePages {

// Asks for large pages over the whole large pages within [data, data +
// size): memory of the caller's that nothing has touched yet. Advice only:
// the memory works the same where the system says no.
void prefer(void *data, std::size_t size) noexcept;

} // namespace LargePages
