// store_test_util.h - what the store tests share besides the name rules of
// store_reference.h: a walk that records what the callback saw, and names
// placed in chosen buckets.
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

#include <qv-utility.h>

#include "counting_allocator.h"
#include "store_reference.h"

namespace storetest {

// Pointer values the tests store: addresses no allocator handed out, so a
// store that released one would make the counting allocator abort.
inline char gTokens[8];

inline std::string Describe(const void *value)
{
    if (value == nullptr)
        return "<null>";
    auto *bytes = static_cast<const char *>(value);
    if (bytes >= gTokens && bytes < gTokens + sizeof gTokens)
        return "<ptr " + std::to_string(bytes - gTokens) + ">";
    return bytes;
}

struct Seen {
    std::string section;
    std::string key;
    std::string value;         // Describe() of the value
    const void *raw = nullptr; // the value as handed over; not compared
    bool operator==(const Seen &o) const
    {
        return section == o.section && key == o.key && value == o.value;
    }
};

inline void PrintTo(const Seen &s, std::ostream *os)
{
    *os << "(" << testing::PrintToString(s.section) << ", " << testing::PrintToString(s.key)
        << ", " << testing::PrintToString(s.value) << ")";
}

using Visit = std::function<int32_t(const Seen &)>;

// Every item a walk hands to its callback, in order.  visit, when given, runs
// on each and its result goes back to the walk; *last receives lastResult,
// which must be 0 when no visit can stop the walk.
inline std::vector<Seen> Walk(TripletStore *store, const char *filter = nullptr,
                              Visit visit = {}, int32_t *last = nullptr)
{
    struct Walker {
        std::vector<Seen> seen;
        Visit visit;
    } walker{{}, std::move(visit)};
    auto callback = [](const char *section, const char *key, void *value, void *context) {
        auto *w = static_cast<Walker *>(context);
        w->seen.push_back({section, key, Describe(value), value});
        return w->visit ? w->visit(w->seen.back()) : 0;
    };
    int32_t mine = -1;
    bool stoppable = static_cast<bool>(walker.visit);
    EXPECT_EQ(QvStoreIterate(store, filter, callback, &walker, last ? last : &mine), QV_OK);
    if (!stoppable) {
        EXPECT_EQ(last ? *last : mine, 0);
    }
    return walker.seen;
}

// The walk a store holding these items (newest first) must produce: buckets
// in increasing order, newest first within each.
inline std::vector<Seen> ExpectedWalk(std::vector<Seen> newestFirst)
{
    std::stable_sort(newestFirst.begin(), newestFirst.end(), [](const Seen &a, const Seen &b) {
        return RefHash(a.section) < RefHash(b.section);
    });
    return newestFirst;
}

// A fresh store under a counting allocator that must be back to no live
// block once the store is freed.
class StoreTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(QvAllocStore(&store), QV_OK); }
    void TearDown() override
    {
        EXPECT_EQ(QvFreeStore(store), QV_OK);
        EXPECT_EQ(counting.LiveBlocks(), 0u) << "leaked";
    }
    qvtest::CountingAllocator counting;
    TripletStore *store = nullptr;
};

// A name made of prefix, some 'z's and one more letter, that lies in the
// given bucket (every bucket is reached within 25 letters).
inline std::string NameInBucket(unsigned bucket, const std::string &prefix = "")
{
    for (std::string zs;; zs += 'z')
        for (char last = 'a'; last <= 'z'; ++last)
            if (RefHash(prefix + zs + last) == bucket)
                return prefix + zs + last;
}

} // namespace storetest
