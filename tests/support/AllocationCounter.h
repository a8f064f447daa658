#pragma once

// A counting allocator for a whole test program. AllocationCounter.cpp replaces the global operator new
// and delete (every form) with versions that count, on a thread whose counting flag is set, each
// allocation and release. A program that uses it compiles AllocationCounter.cpp exactly once.

#include <atomic>

namespace testsupport
{
/** Set on a thread to count what it allocates and releases (clear it again before checking). */
extern thread_local bool countingAllocations;

/** Allocations and releases counted so far, on every thread whose flag was set. */
extern std::atomic<long> countedAllocations;
} // namespace testsupport
