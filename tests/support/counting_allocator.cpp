// counting_allocator.cpp - see counting_allocator.h.
#include "counting_allocator.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

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

std::mutex lock;
State state;
QvMallocHook savedMalloc;
QvReallocHook savedRealloc;
QvFreeHook savedFree;

// Runs f on the state under its lock.
template <typename F> auto Locked(F f)
{
    std::lock_guard<std::mutex> guard(lock);
    return f(state);
}

// Counts one allocation and tells whether it is to fail.
bool Refused(State &s)
{
    ++s.allocations;
    return s.failAt != 0 && (s.allocations == s.failAt || (s.sticky && s.allocations > s.failAt));
}

void *CountingMalloc(size_t size)
{
    return Locked([&](State &s) -> void * {
        ++s.counts.mallocs;
        s.mallocSizes.push_back(size);
        void *block = Refused(s) ? nullptr : std::malloc(size == 0 ? 1 : size);
        if (block != nullptr) {
            std::memset(block, 0xA5, size);
            s.live[block] = size;
        }
        return block;
    });
}

void *CountingRealloc(void *old, size_t size)
{
    return Locked([&](State &s) -> void * {
        ++s.counts.reallocs;
        s.reallocSizes.push_back(size);
        if (Refused(s))
            return nullptr;
        if (old != nullptr && s.live.count(old) == 0)
            std::abort(); // growing a block this allocator never handed out
        void *block = std::realloc(old, size == 0 ? 1 : size);
        if (block != nullptr) {
            s.live.erase(old);
            s.live[block] = size;
        }
        return block;
    });
}

void CountingFree(void *block)
{
    Locked([&](State &s) {
        ++s.counts.frees;
        if (block != nullptr && s.live.erase(block) != 1)
            std::abort(); // releasing a block twice, or one from elsewhere
        std::free(block);
    });
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
    Locked([](State &s) {
        for (auto &entry : s.live)
            std::free(const_cast<void *>(entry.first)); // a leak the test reports itself
        s = {};
    });
}

void CountingAllocator::FailAt(size_t nth, bool sticky)
{
    Locked([&](State &s) {
        s.allocations = 0;
        s.failAt = nth;
        s.sticky = sticky;
    });
}

AllocatorCounts CountingAllocator::Counts() const { return Locked([](State &s) { return s.counts; }); }
size_t CountingAllocator::Allocations() const { return Locked([](State &s) { return s.allocations; }); }
size_t CountingAllocator::LiveBlocks() const { return Locked([](State &s) { return s.live.size(); }); }

size_t CountingAllocator::BlockSize(const void *block) const
{
    return Locked([&](State &s) {
        auto it = s.live.find(block);
        return it == s.live.end() ? size_t{0} : it->second;
    });
}

std::vector<size_t> CountingAllocator::MallocSizes() const
{
    return Locked([](State &s) { return s.mallocSizes; });
}

std::vector<size_t> CountingAllocator::ReallocSizes() const
{
    return Locked([](State &s) { return s.reallocSizes; });
}

} // namespace qvtest
