// store_iteration_test.cpp - QvStoreIterate: order, section filters, how a
// walk stops and reports, and callbacks that change the store they walk.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <qv-utility.h>

#include "store_test_util.h"

namespace {

using storetest::gTokens;
using storetest::RefHash;
using storetest::Seen;
using storetest::Walk;
using Keys = std::vector<std::string>;

class StoreIteration : public storetest::StoreTest {
protected:
    void Add(const std::string &section, const std::string &key, const char *value = "v")
    {
        ASSERT_EQ(QvAddItem(store, section.c_str(), key.c_str(), value), QV_OK);
    }
    Keys KeysOf(const std::vector<Seen> &seen)
    {
        Keys keys;
        for (const Seen &s : seen)
            keys.push_back(s.key);
        return keys;
    }
};

int32_t Count(const char *, const char *, void *, void *context)
{
    ++*static_cast<int *>(context);
    return 0;
}

TEST_F(StoreIteration, MissingStoreOrCallbackLeavesLastResultAlone)
{
    EXPECT_TRUE(Walk(store).empty());
    EXPECT_TRUE(Walk(store, "").empty());
    int32_t last = 42;
    EXPECT_EQ(QvStoreIterate(nullptr, nullptr, Count, nullptr, &last), QV_INVALID_ARG);
    EXPECT_EQ(QvStoreIterate(store, "S", nullptr, nullptr, &last), QV_INVALID_ARG);
    EXPECT_EQ(last, 42);
    Add("S", "k");
    int calls = 0;
    EXPECT_EQ(QvStoreIterate(store, nullptr, Count, &calls, nullptr), QV_OK);
    EXPECT_EQ(calls, 1);
}

// Bucket 131 holds 'Ab' and 'ba', bucket 34 holds '\xC4' and 'Ac' (both sum
// to 196); 'Section' lies in 216, 'P' in 56, '' in 0.
TEST_F(StoreIteration, FiltersVisitOneSectionNewestFirstAndSkipItsBucketNeighbours)
{
    Add("Section", "s1");
    Add("Ab", "k1");
    Add("", "e1");
    Add("Ab", "k2");
    Add("\xC4", "x");
    Add("ba", "b1"); // newest in bucket 131: a filtered walk meets it first
    Add("Section", "s2");
    ASSERT_EQ(QvStorePtr(store, "P", "p", &gTokens[3]), QV_OK);
    ASSERT_EQ(QvStorePtr(store, "P", "n", nullptr), QV_OK);
    ASSERT_EQ(RefHash("Ac"), 34u);
    ASSERT_EQ(RefHash("P"), 56u);

    EXPECT_EQ(Walk(store), (std::vector<Seen>{{"", "e1", "v"},
                                              {"\xC4", "x", "v"},
                                              {"P", "n", "<null>"},
                                              {"P", "p", "<ptr 3>"},
                                              {"ba", "b1", "v"},
                                              {"Ab", "k2", "v"},
                                              {"Ab", "k1", "v"},
                                              {"Section", "s2", "v"},
                                              {"Section", "s1", "v"}}));
    const std::pair<const char *, Keys> cases[] = {
        {"AB", {"k2", "k1"}}, {"BA", {"b1"}},   {"Ac", {}},       {"", {"e1"}},
        {"sECTION", {"s2", "s1"}}, {"\xE4", {}}, {"\xC4", {"x"}}, {"p", {"n", "p"}},
    };
    for (const auto &[filter, keys] : cases)
        EXPECT_EQ(KeysOf(Walk(store, filter)), keys) << testing::PrintToString(filter);
}

TEST_F(StoreIteration, NonZeroResultStopsTheWalkAndIsReported)
{
    for (const char *key : {"a", "b", "c"})
        Add("S", key);
    Add("T", "t");
    for (const char *filter : {static_cast<const char *>(nullptr), "s"}) {
        int32_t last = 0;
        auto stopAtSecond = [n = 0](const Seen &) mutable { return ++n == 2 ? 7 : 0; };
        EXPECT_EQ(KeysOf(Walk(store, filter, stopAtSecond, &last)), (Keys{"c", "b"}));
        EXPECT_EQ(last, 7);
        EXPECT_EQ(Walk(store, filter, [](const Seen &) { return -1; }, &last).size(), 1u);
        EXPECT_EQ(last, -1);
    }
}

// Items added during a walk are met later exactly when their bucket comes
// after the one being walked; a filtered walk never meets them.
TEST_F(StoreIteration, ItemsAddedByTheCallbackAreVisitedOnlyInLaterBuckets)
{
    const unsigned here = RefHash("Section");
    const std::string added[] = {"",
                                 storetest::NameInBucket(here - 1, "s"),
                                 storetest::NameInBucket(here, "s"),
                                 "Section",
                                 storetest::NameInBucket(here + 1, "s"),
                                 storetest::NameInBucket(255, "s")};
    auto addAll = [&, done = false](const Seen &) mutable {
        for (size_t i = 0; !done && i < std::size(added); ++i)
            EXPECT_EQ(QvAddItem(store, added[i].c_str(), "new", "n"), QV_OK);
        done = true;
        return 0;
    };
    Add("Section", "first");
    EXPECT_EQ(Walk(store, nullptr, addAll), (std::vector<Seen>{{"Section", "first", "v"},
                                                              {added[4], "new", "n"},
                                                              {added[5], "new", "n"}}));
    ASSERT_EQ(QvClearStore(store), QV_OK);
    Add("Section", "first");
    EXPECT_EQ(KeysOf(Walk(store, "section", addAll)), (Keys{"first"}));
    EXPECT_EQ(Walk(store).size(), std::size(added) + 1);
}

TEST_F(StoreIteration, CallbackMayReplaceValuesAndRemoveOtherItems)
{
    for (const char *key : {"a", "b", "c", "d"})
        Add("Ab", key);
    Add("ba", "e");
    Add("Section", "f");
    ASSERT_EQ(QvStorePtr(store, "Section", "g", &gTokens[1]), QV_OK);
    size_t live = counting.LiveBlocks();

    // Meets 'ba' e first, then Ab d: removes Ab c (next in the chain), Ab a
    // (later in it), 'ba' e (already met) and Section f (a later bucket), and
    // turns every item it meets into a string of its key in capitals.
    static const char *const kRemovals[][2] = {
        {"AB", "C"}, {"ab", "a"}, {"ba", "e"}, {"section", "F"}};
    auto change = [&](const Seen &s) {
        if (s.key == "d") {
            for (auto &names : kRemovals)
                EXPECT_EQ(QvRemoveItem(store, names[0], names[1]), QV_OK);
        }
        std::string upper(1, static_cast<char>(s.key[0] - 'a' + 'A'));
        EXPECT_EQ(QvAddItem(store, s.section.c_str(), s.key.c_str(), upper.c_str()), QV_OK);
        return 0;
    };
    EXPECT_EQ(KeysOf(Walk(store, nullptr, change)), (Keys{"e", "d", "b", "g"}));
    EXPECT_EQ(Walk(store), (std::vector<Seen>{{"Ab", "d", "D"}, {"Ab", "b", "B"},
                                              {"Section", "g", "G"}}));
    // Four items of five blocks went; the pointer item gained a value copy.
    EXPECT_EQ(counting.LiveBlocks(), live - 4 * 5 + 1);
}

} // namespace
