// counting_allocator.cpp - see counting_allocator.h.
#include "counting_allocator.h"

#include <cstdlib>
#include <map>
#include <mutex>

#include <qv-utility.h>

namespace qvtest {
namespace {

struct State {
    std::mutex lock;
    std::map<const void *, size_t> live;
    AllocatorCounts counts;
    std::vector<size_t> mallocSizes;
    std::vector<size_t> reallocSizes;
    size_t allocations = 0;
    size_t failAt = 0;
    bool sticky = false;
    QvMallocHook savedMalloc = nullptr;
    QvReallocHook savedRealloc = nullptr;
    QvFreeHook savedFree = nullptr;
};

State &state()
{
    static State s;
    return s;
}

bool ShouldFail(State &s)
{
    ++s.allocations;
    return s.failAt != 0 && (s.allocations == s.failAt || (s.sticky && s.allocations > s.failAt));
}

void *CountingMalloc(size_t size)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    ++s.counts.mallocs;
    s.mallocSizes.push_back(size);
    if (ShouldFail(s))
        return nullptr;
    void *block = std::malloc(size == 0 ? 1 : size);
    if (block != nullptr)
        s.live[block] = size;
    return block;
}

void *CountingRealloc(void *old, size_t size)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    ++s.counts.reallocs;
    s.reallocSizes.push_back(size);
    if (ShouldFail(s))
        return nullptr;
    if (old != nullptr && s.live.find(old) == s.live.end())
        std::abort(); // growing a block this allocator never handed out
    void *block = std::realloc(old, size == 0 ? 1 : size);
    if (block != nullptr) {
        if (old != nullptr)
            s.live.erase(old);
        s.live[block] = size;
    }
    return block;
}

void CountingFree(void *block)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    ++s.counts.frees;
    if (block == nullptr)
        return;
    if (s.live.erase(block) != 1)
        std::abort(); // releasing a block twice, or one from elsewhere
    std::free(block);
}

} // namespace

CountingAllocator::CountingAllocator()
{
    State &s = state();
    s.savedMalloc = QvuMalloc;
    s.savedRealloc = QvuRealloc;
    s.savedFree = QvuFree;
    QvSetUtilAllocators(CountingMalloc, CountingRealloc, CountingFree);
}

CountingAllocator::~CountingAllocator()
{
    State &s = state();
    QvSetUtilAllocators(s.savedMalloc, s.savedRealloc, s.savedFree);
    std::lock_guard<std::mutex> guard(s.lock);
    for (auto &entry : s.live)
        std::free(const_cast<void *>(entry.first)); // a leak the test reports itself
    s.live.clear();
    s.counts = {};
    s.mallocSizes.clear();
    s.reallocSizes.clear();
    s.allocations = 0;
    s.failAt = 0;
    s.sticky = false;
}

void CountingAllocator::FailAt(size_t nth, bool sticky)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.allocations = 0;
    s.failAt = nth;
    s.sticky = sticky;
}

void CountingAllocator::Reset() { FailAt(0); }

AllocatorCounts CountingAllocator::Counts() const
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.counts;
}

size_t CountingAllocator::Allocations() const
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.allocations;
}

size_t CountingAllocator::LiveBlocks() const
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.live.size();
}

size_t CountingAllocator::BlockSize(const void *block) const
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    auto it = s.live.find(block);
    return it == s.live.end() ? 0 : it->second;
}

bool CountingAllocator::IsLive(const void *block) const
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.live.count(block) != 0;
}

std::vector<size_t> CountingAllocator::MallocSizes() const
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.mallocSizes;
}

std::vector<size_t> CountingAllocator::ReallocSizes() const
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.reallocSizes;
}

} // namespace qvtest
