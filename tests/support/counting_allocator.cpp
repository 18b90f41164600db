// SPDX-License-Identifier: MIT
// counting_allocator.cpp - see counting_allocator.h.
#include "counting_allocator.h"

#include <cstdlib>
#include <cstring>
#include <map>

#include <qv-utility.h>

namespace qvtest {
namespace {

// What the allocator has seen since it was installed.
struct State {
    std::map<const void *, size_t> live;
    AllocatorCounts counts;
    std::vector<size_t> mallocSizes, reallocSizes;
    size_t allocations = 0, failAt = 0;
    bool sticky = false;
};

State state;
QvMallocHook savedMalloc;
QvReallocHook savedRealloc;
QvFreeHook savedFree;

// Counts one allocation and tells whether it is to fail.
bool Refused()
{
    ++state.allocations;
    return state.failAt != 0
           && (state.allocations == state.failAt || (state.sticky && state.allocations > state.failAt));
}

void *CountingMalloc(size_t size)
{
    ++state.counts.mallocs;
    state.mallocSizes.push_back(size);
    void *block = Refused() ? nullptr : std::malloc(size == 0 ? 1 : size);
    if (block != nullptr) {
        std::memset(block, 0xA5, size);
        state.live[block] = size;
    }
    return block;
}

void *CountingRealloc(void *old, size_t size)
{
    ++state.counts.reallocs;
    state.reallocSizes.push_back(size);
    if (Refused())
        return nullptr;
    if (old != nullptr && state.live.count(old) == 0)
        std::abort(); // growing a block this allocator never handed out
    void *block = std::realloc(old, size == 0 ? 1 : size);
    if (block != nullptr) {
        state.live.erase(old);
        state.live[block] = size;
    }
    return block;
}

void CountingFree(void *block)
{
    ++state.counts.frees;
    if (block != nullptr && state.live.erase(block) != 1)
        std::abort(); // releasing a block twice, or one from elsewhere
    std::free(block);
}

} // namespace

CountingAllocator::CountingAllocator()
{
    savedMalloc = QvuMalloc;
    savedRealloc = QvuRealloc;
    savedFree = QvuFree;
    QvSetUtilAllocators(CountingMalloc, CountingRealloc, CountingFree);
}

CountingAllocator::~CountingAllocator()
{
    QvSetUtilAllocators(savedMalloc, savedRealloc, savedFree);
    for (auto &entry : state.live)
        std::free(const_cast<void *>(entry.first)); // a leak the test reports itself
    state = {};
}

void CountingAllocator::FailAt(size_t nth, bool sticky)
{
    state.allocations = 0;
    state.failAt = nth;
    state.sticky = sticky;
}

AllocatorCounts CountingAllocator::Counts() const { return state.counts; }
size_t CountingAllocator::Allocations() const { return state.allocations; }
size_t CountingAllocator::LiveBlocks() const { return state.live.size(); }
std::vector<size_t> CountingAllocator::MallocSizes() const { return state.mallocSizes; }
std::vector<size_t> CountingAllocator::ReallocSizes() const { return state.reallocSizes; }

size_t CountingAllocator::BlockSize(const void *block) const
{
    auto it = state.live.find(block);
    return it == state.live.end() ? 0 : it->second;
}

} // namespace qvtest
