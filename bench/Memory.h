#pragma once

#include <QtGlobal>

// The process's memory as the benchmark reports it.
namespace Memory {
// Bytes the heap has handed out and not taken back (small blocks and
// mmap-ed large ones).
qint64 heapInUse();
// Resident set size (VmRSS), in bytes; 0 when it cannot be read.
qint64 residentBytes();
} // namespace Memory
