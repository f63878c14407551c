#pragma once

#include <cstddef>

// While one lives, every operator new of the program (scalar or array) for
// `smallest` to `largest` bytes throws std::bad_alloc, as it does when the
// memory is used up; the others go through. The replacement of the global
// operators lives in ShortOfMemory.cpp: only the tests that name that file
// among their sources get it.
class ShortOfMemory
{
public:
    explicit ShortOfMemory(std::size_t smallest, std::size_t largest = ~std::size_t(0));
    ~ShortOfMemory();
    ShortOfMemory(const ShortOfMemory &) = delete;
    ShortOfMemory &operator=(const ShortOfMemory &) = delete;

    // How many allocations failed so far.
    static int failures();
};
