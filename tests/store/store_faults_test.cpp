// store_faults_test.cpp - every allocation of every allocating operation
// fails in turn: the operation reports it, the store is exactly as before
// and no block is left behind.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include <qv-utility.h>

#include "store_test_util.h"

namespace {

using storetest::gTokens;

// A copy handed out is released at once: only the failure is of interest.
int32_t CopyStatus(char *copy)
{
    if (copy == nullptr)
        return QV_NO_MEMORY;
    QvuFree(copy);
    return QV_OK;
}

int32_t AllocStatus()
{
    auto *other = reinterpret_cast<TripletStore *>(gTokens);
    int32_t result = QvAllocStore(&other);
    EXPECT_EQ(other == nullptr, result != QV_OK);
    if (result == QV_OK)
        QvFreeStore(other);
    return result;
}

struct FaultCase {
    const char *name;
    size_t allocations; // what the operation needs when nothing fails
    int32_t (*run)(TripletStore *);
};

const FaultCase kFaultCases[] = {
    {"add a new string item", 5, [](TripletStore *s) { return QvAddItem(s, "Ab", "new", "v"); }},
    {"add empty names and value", 5, [](TripletStore *s) { return QvAddItem(s, "", "", ""); }},
    {"replace a string value", 1, [](TripletStore *s) { return QvAddItem(s, "ab", "K", "new"); }},
    {"replace a pointer", 1, [](TripletStore *s) { return QvAddItem(s, "ba", "p", "new"); }},
    {"store a new pointer", 4, [](TripletStore *s) { return QvStorePtr(s, "Ab", "q", nullptr); }},
    {"copy an item", 1, [](TripletStore *s) { return CopyStatus(QvCopyItem(s, "AB", "k")); }},
    {"allocate a store", 1, [](TripletStore *) { return AllocStatus(); }},
};

class StoreFaults : public storetest::StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        // Neighbours in the same bucket (131) and elsewhere, of both types.
        ASSERT_EQ(QvAddItem(store, "Ab", "k", "old"), QV_OK);
        ASSERT_EQ(QvAddItem(store, "Ab", "j", "other"), QV_OK);
        ASSERT_EQ(QvStorePtr(store, "ba", "p", &gTokens[1]), QV_OK);
        ASSERT_EQ(QvAddItem(store, "Section", "key", "value"), QV_OK);
    }

    // The store as a walk sees it, the value addresses included.
    std::vector<std::pair<storetest::Seen, const void *>> Contents()
    {
        std::vector<std::pair<storetest::Seen, const void *>> contents;
        for (const storetest::Seen &s : storetest::Walk(store))
            contents.emplace_back(s, s.raw);
        return contents;
    }
};

// Fails the 1st, 2nd, ... allocation (alone, or with all later ones) until
// the operation needs no more.  A failure must leave nothing to undo, so the
// same store takes every attempt.
TEST_F(StoreFaults, EachFailedAllocationLeavesTheStoreAsItWas)
{
    for (const FaultCase &c : kFaultCases) {
        for (bool sticky : {false, true}) {
            size_t nth = 1;
            for (;; ++nth) {
                SCOPED_TRACE(testing::Message() << c.name << ", allocation " << nth
                                                << (sticky ? " and later" : " alone"));
                auto before = Contents();
                size_t live = counting.LiveBlocks();
                counting.FailAt(nth, sticky);
                int32_t result = c.run(store);
                size_t used = counting.Allocations();
                counting.Reset();
                if (used < nth) {
                    EXPECT_EQ(result, QV_OK);
                    break;
                }
                EXPECT_EQ(result, QV_NO_MEMORY);
                EXPECT_EQ(Contents(), before);
                EXPECT_EQ(counting.LiveBlocks(), live);
                ASSERT_LE(nth, c.allocations);
            }
            EXPECT_EQ(nth, c.allocations + 1) << c.name;
            TearDown(); // the operation succeeded: a fresh store for the next sweep
            SetUp();
        }
    }
}

TEST_F(StoreFaults, RemovalAndClearingAllocateNothing)
{
    counting.FailAt(1, true);
    EXPECT_EQ(QvRemoveItem(store, "AB", "K"), QV_OK);
    EXPECT_EQ(QvRemoveItem(store, "BA", "P"), QV_OK);
    EXPECT_EQ(QvClearStore(store), QV_OK);
    EXPECT_EQ(counting.Allocations(), 0u);
}

} // namespace
