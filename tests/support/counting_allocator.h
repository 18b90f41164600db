/* SPDX-License-Identifier: MIT */
// counting_allocator.h - an allocator for tests, installed through the
// library's hooks: it counts calls, records every live block with its size,
// poisons fresh blocks so that nothing can rely on their content, and can
// fail the Nth allocation.  For one thread: the threaded tests leave leaks
// to LeakSanitizer.
#pragma once

#include <cstddef>
#include <vector>

namespace qvtest {

struct AllocatorCounts {
    size_t mallocs = 0;
    size_t reallocs = 0;
    size_t frees = 0;
};

// Installs itself into all three hooks on construction and puts back the
// hooks it found on destruction.  One at a time.  A release of a block it
// did not hand out, or of one twice, aborts the program.
class CountingAllocator {
public:
    CountingAllocator();
    ~CountingAllocator();
    CountingAllocator(const CountingAllocator &) = delete;
    CountingAllocator &operator=(const CountingAllocator &) = delete;

    // Fails the nth allocation from now on (1-based; QvuMalloc and QvuRealloc
    // both count), and every later one too when sticky.  0 fails none.
    void FailAt(size_t nth, bool sticky = false);
    // Fails nothing from now on and restarts the allocation count.
    void Reset() { FailAt(0); }

    AllocatorCounts Counts() const;
    size_t Allocations() const;                // mallocs + reallocs since the last FailAt
    size_t LiveBlocks() const;                 // obtained and not yet released
    size_t BlockSize(const void *block) const; // 0 if not live
    std::vector<size_t> MallocSizes() const;   // sizes asked of QvuMalloc, in order
    std::vector<size_t> ReallocSizes() const;  // sizes asked of QvuRealloc, in order
};

} // namespace qvtest
