#ifndef LARGEMEMORY_H
#define LARGEMEMORY_H

#include <cstddef>
#include <new>
#include <utility>

// Memory for the large arrays that a model keeps for a whole frame and walks through
// every frame: in huge pages where the system offers them to a program that asks,
// which spares that walk most of its misses in the translation of addresses.
void *allocateLargeMemory(std::size_t bytes);
void freeLargeMemory(void *memory);

template <typename T>
struct LargeMemoryAllocator
{
    using value_type = T;

    LargeMemoryAllocator() = default;
    template <typename U>
    LargeMemoryAllocator(const LargeMemoryAllocator<U> &)
    {
    }

    T *allocate(std::size_t count)
    {
        if (count > std::size_t(-1) / sizeof(T))
            throw std::bad_array_new_length();
        return static_cast<T *>(allocateLargeMemory(count * sizeof(T)));
    }
    void deallocate(T *memory, std::size_t) { freeLargeMemory(memory); }
    // A resize leaves new elements as they come, for the owner to fill (in parallel:
    // the first write to fresh pages is what costs there).
    template <typename U>
    void construct(U *element) noexcept
    {
        ::new (static_cast<void *>(element)) U;
    }
    template <typename U, typename... Arguments>
    void construct(U *element, Arguments &&...arguments)
    {
        ::new (static_cast<void *>(element)) U(std::forward<Arguments>(arguments)...);
    }

    friend bool operator==(const LargeMemoryAllocator &, const LargeMemoryAllocator &) { return true; }
    friend bool operator!=(const LargeMemoryAllocator &, const LargeMemoryAllocator &) { return false; }
};

#endif // LARGEMEMORY_H
