// The counting replacements of the global operator new and delete (see AllocationCounter.h). Every form
// is replaced, so that nothing the program allocates escapes the count.

#include "AllocationCounter.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace testsupport
{
thread_local bool countingAllocations = false;
std::atomic<long> countedAllocations{ 0 };
} // namespace testsupport

namespace
{
using testsupport::countedAllocations;
using testsupport::countingAllocations;

void noteAllocation() noexcept
{
    if (countingAllocations)
        countedAllocations.fetch_add (1, std::memory_order_relaxed);
}

void* allocate (std::size_t size)
{
    noteAllocation();
    if (void* p = std::malloc (size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

void* allocateAligned (std::size_t size, std::align_val_t alignment)
{
    noteAllocation();
    void* p = nullptr;
    const auto align = std::max (sizeof (void*), static_cast<std::size_t> (alignment));
    if (posix_memalign (&p, align, size == 0 ? 1 : size) != 0)
        throw std::bad_alloc();
    return p;
}

void release (void* p) noexcept
{
    if (p != nullptr)
        noteAllocation();
    std::free (p);
}
} // namespace

void* operator new (std::size_t size)
{
    return allocate (size);
}
void* operator new[] (std::size_t size)
{
    return allocate (size);
}
void* operator new (std::size_t size, std::align_val_t a)
{
    return allocateAligned (size, a);
}
void* operator new[] (std::size_t size, std::align_val_t a)
{
    return allocateAligned (size, a);
}
void* operator new (std::size_t size, const std::nothrow_t&) noexcept
{
    try
    {
        return allocate (size);
    }
    catch (...)
    {
        return nullptr;
    }
}
void* operator new[] (std::size_t size, const std::nothrow_t&) noexcept
{
    try
    {
        return allocate (size);
    }
    catch (...)
    {
        return nullptr;
    }
}
void* operator new (std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept
{
    try
    {
        return allocateAligned (size, a);
    }
    catch (...)
    {
        return nullptr;
    }
}
void* operator new[] (std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept
{
    try
    {
        return allocateAligned (size, a);
    }
    catch (...)
    {
        return nullptr;
    }
}
void operator delete (void* p) noexcept
{
    release (p);
}
void operator delete[] (void* p) noexcept
{
    release (p);
}
void operator delete (void* p, std::size_t) noexcept
{
    release (p);
}
void operator delete[] (void* p, std::size_t) noexcept
{
    release (p);
}
void operator delete (void* p, std::align_val_t) noexcept
{
    release (p);
}
void operator delete[] (void* p, std::align_val_t) noexcept
{
    release (p);
}
void operator delete (void* p, std::size_t, std::align_val_t) noexcept
{
    release (p);
}
void operator delete[] (void* p, std::size_t, std::align_val_t) noexcept
{
    release (p);
}
void operator delete (void* p, const std::nothrow_t&) noexcept
{
    release (p);
}
void operator delete[] (void* p, const std::nothrow_t&) noexcept
{
    release (p);
}
void operator delete (void* p, std::align_val_t, const std::nothrow_t&) noexcept
{
    release (p);
}
void operator delete[] (void* p, std::align_val_t, const std::nothrow_t&) noexcept
{
    release (p);
}
