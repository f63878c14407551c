// Replaces the global operator new and delete of the test executable that
// links this file: malloc and free, refused from a size on while a
// ShortOfMemory lives. Every form is replaced, so that the sanitizers never
// see memory of one allocator freed by the other.
#include "support/ShortOfMemory.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
// Refused: g_smallest to g_largest bytes; none while g_smallest > g_largest.
std::atomic<std::size_t> g_smallest{~std::size_t(0)};
std::atomic<std::size_t> g_largest{0};
std::atomic<int> g_failures{0};

void *allocate(std::size_t size)
{
    if (size >= g_smallest.load(std::memory_order_relaxed) && size <= g_largest.load(std::memory_order_relaxed)) {
        g_failures.fetch_add(1, std::memory_order_relaxed);
        throw std::bad_alloc();
    }
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
} // namespace

ShortOfMemory::ShortOfMemory(std::size_t smallest, std::size_t largest)
{
    g_failures.store(0);
    g_largest.store(largest);
    g_smallest.store(smallest);
}

ShortOfMemory::~ShortOfMemory()
{
    g_smallest.store(~std::size_t(0));
    g_largest.store(0);
}

int ShortOfMemory::failures()
{
    return g_failures.load();
}

void *operator new(std::size_t size)
{
    return allocate(size);
}

void *operator new[](std::size_t size)
{
    return allocate(size);
}

void *operator new(std::size_t size, const std::nothrow_t &) noexcept
{
    try {
        return allocate(size);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

void *operator new[](std::size_t size, const std::nothrow_t &) noexcept
{
    try {
        return allocate(size);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

void operator delete(void *p) noexcept
{
    std::free(p);
}

void operator delete[](void *p) noexcept
{
    std::free(p);
}

void operator delete(void *p, std::size_t) noexcept
{
    std::free(p);
}

void operator delete[](void *p, std::size_t) noexcept
{
    std::free(p);
}

void operator delete(void *p, const std::nothrow_t &) noexcept
{
    std::free(p);
}

void operator delete[](void *p, const std::nothrow_t &) noexcept
{
    std::free(p);
}
