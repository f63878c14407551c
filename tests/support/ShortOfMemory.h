#pragma once

#include <cstddef>

// While one lives, every operator new of the program (scalar or array) for
// at least `bytes` bytes throws std::bad_alloc, as it does when the memory
// is used up; smaller ones go through. The replacement of the global
// operators lives in ShortOfMemory.cpp: only the tests that name that file
// among their sources get it.
class ShortOfMemory
{
public:
    explicit ShortOfMemory(std::size_t bytes);
    ~ShortOfMemory();
    ShortOfMemory(const ShortOfMemory &) = delete;
    ShortOfMemory &operator=(const ShortOfMemory &) = delete;

    // How many allocations failed so far.
    static int failures();
};
