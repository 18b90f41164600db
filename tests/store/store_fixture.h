/* SPDX-License-Identifier: MIT */
// store_fixture.h - what the store tests share besides the name rules of
// store_reference.h: a walk that records what its callback
// saw, and a fresh store per test under a counting allocator and a traced OS
// layer (store_fixture.cpp) that checks the lock protocol of every call.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <qv-os.h>
#include <qv-utility.h>

#include "counting_allocator.h"
#include "store_reference.h"

namespace storetest {

// Pointer values the tests store: addresses no allocator handed out, so a
// store that released one would make the counting allocator abort.
inline char gTokens[8];

inline std::string Describe(const void *value)
{
    auto *bytes = static_cast<const char *>(value);
    if (bytes == nullptr)
        return "<null>";
    if (bytes >= gTokens && bytes < gTokens + sizeof gTokens)
        return "<ptr " + std::to_string(bytes - gTokens) + ">";
    return bytes;
}

struct Seen {
    std::string section, key, value; // value: Describe() of it
    bool operator==(const Seen &o) const = default;
};

inline void PrintTo(const Seen &s, std::ostream *os)
{
    *os << testing::PrintToString(s.section) << "/" << testing::PrintToString(s.key) << "="
        << testing::PrintToString(s.value);
}

// The walk of a store holding these items (newest first): buckets in
// increasing order, newest first within each.
inline std::vector<Seen> ExpectedWalk(std::vector<Seen> newestFirst)
{
    std::stable_sort(newestFirst.begin(), newestFirst.end(), [](const Seen &a, const Seen &b) {
        return RefHash(a.section) < RefHash(b.section);
    });
    return newestFirst;
}

using Visit = std::function<int32_t(const Seen &)>;

// Every item a walk hands to its callback, in order; visit's result goes
// back to the walk, and lastResult to *last.
std::vector<Seen> Walk(TripletStore *store, const char *filter = nullptr, Visit visit = {},
                       int32_t *last = nullptr);

// The OS-layer calls since the last look, as letters: I identity, A acquire,
// R release, F free; then forgotten.
std::string TakeTrace();

// A fresh store, which must be back to no live block once it is freed, and
// no breach of the lock protocol.
class StoreTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // The walk, made while this thread holds the store's mutex as a reader
    // in another thread might: a walk takes no lock, and must not read past
    // the last bucket (there lies the mutex, non-zero while held).
    std::vector<Seen> LockedWalk(const char *filter = nullptr, Visit visit = {},
                                 int32_t *last = nullptr);

    qvtest::CountingAllocator counting;
    TripletStore *store = nullptr;
    QvMutex *mutex = nullptr; // the store's, as the OS layer was handed it
};

} // namespace storetest
