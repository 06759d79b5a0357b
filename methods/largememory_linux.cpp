// Linux gives an anonymous mapping huge pages where it is asked to (its transparent
// huge pages, set to "madvise" on Debian): the memory begins on a huge page's border
// and asks. A part at its end shorter than a huge page keeps ordinary pages.
#include "largememory.h"

#include <sys/mman.h>

#include <cstdlib>

namespace {
constexpr std::size_t hugePage = std::size_t(2) << 20;
}

void *allocateLargeMemory(std::size_t bytes)
{
    void *memory = nullptr;
    const std::size_t alignment = bytes >= hugePage ? hugePage : alignof(std::max_align_t);
    if (posix_memalign(&memory, alignment, bytes == 0 ? 1 : bytes) != 0)
        throw std::bad_alloc();
    if (bytes >= hugePage)
        madvise(memory, bytes / hugePage * hugePage, MADV_HUGEPAGE);  // a wish only: it may be refused
    return memory;
}

void freeLargeMemory(void *memory)
{
    std::free(memory);
}
