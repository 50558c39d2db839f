#pragma once
// An allocator for the point table's cells. A full table is two megabytes:
// filled a page at a time, the first write to each of its 500 pages costs a
// fault, together more processor time than reading and writing the points
// (the converter on a file of 10000 points spent most of its time there).
// Blocks of a megabyte and more come from memory aligned to two megabytes
// that the system is asked to back with huge pages, filled in one fault.
#include <cstddef>
#include <cstdint>
#include <new>
#include <sys/mman.h>

namespace tessaly {

template <class T>
class HugePageAllocator {
public:
    using value_type = T;

    HugePageAllocator() = default;
    template <class U>
    HugePageAllocator(const HugePageAllocator<U>&) noexcept
    {
    }

    T* allocate(size_t n)
    {
        if (n > SIZE_MAX / sizeof(T)) throw std::bad_array_new_length();
        const size_t bytes = n * sizeof(T);
        if (bytes < kLarge) return static_cast<T*>(::operator new(bytes));
        // Map one huge page more than needed and give back the parts before
        // and after the aligned block.
        const size_t size = Rounded(bytes);
        void* raw = ::mmap(nullptr, size + kHuge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (raw == MAP_FAILED) throw std::bad_alloc();
        const auto start = reinterpret_cast<uintptr_t>(raw);
        const uintptr_t aligned = (start + kHuge - 1) & ~uintptr_t{kHuge - 1};
        if (aligned > start) ::munmap(raw, aligned - start);
        if (const size_t tail = start + size + kHuge - (aligned + size)) ::munmap(reinterpret_cast<void*>(aligned + size), tail);
        ::madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);  // a hint: pages as usual without it
        return reinterpret_cast<T*>(aligned);
    }

    void deallocate(T* p, size_t n) noexcept
    {
        const size_t bytes = n * sizeof(T);
        if (bytes < kLarge) ::operator delete(p);
        else ::munmap(p, Rounded(bytes));
    }

    template <class U>
    bool operator==(const HugePageAllocator<U>&) const noexcept
    {
        return true;
    }

private:
    static constexpr size_t kHuge = size_t{2} << 20;
    static constexpr size_t kLarge = size_t{1} << 20;
    static size_t Rounded(size_t bytes) { return (bytes + kHuge - 1) & ~(kHuge - 1); }
};

}  // namespace tessaly
