// Where huge pages need more than asking (Windows gives them only to a program with the
// right to lock memory), the memory is the ordinary kind.
#include "largememory.h"

void *allocateLargeMemory(std::size_t bytes)
{
    return ::operator new(bytes == 0 ? 1 : bytes);
}

void freeLargeMemory(void *memory)
{
    ::operator delete(memory);
}
