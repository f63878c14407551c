#include "platform/LargePages.h"

#include <QtGlobal>

#include <cstdint>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

namespace LargePages {

#ifdef Q_OS_LINUX

void prefer(void *data, std::size_t size) noexcept
{
    constexpr std::uintptr_t kLargePage = std::uintptr_t(2) << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + kLargePage - 1) & ~(kLargePage - 1);
    const std::uintptr_t last = (begin + size) & ~(kLargePage - 1);
    if (first < last)
        ::madvise(reinterpret_cast<void *>(first), last - first, MADV_HUGEPAGE);
}

#else

void prefer(void *, std::size_t) noexcept {}

#endif

} // namespace LargePages
