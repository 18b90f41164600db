// SPDX-License-Identifier: MIT
// store_model_test.cpp - long random sequences of item operations on a small
// pool of colliding names, each checked against the store's model: every
// result and buffer, one hold of the lock per call, the whole walk, a
// filtered walk stopped at a random item, and the blocks the store holds.
// Every allocation an operation makes is first failed in turn (alone, or
// with all later ones), and each failure must leave the store as it was.
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "store_fixture.h"

namespace {

using storetest::Describe;
using storetest::gTokens;
using storetest::Seen;
using storetest::TakeTrace;

// A few names in several spellings: some differ only in case, 'Ab' and
// 'ba' share bucket 131 and 'Ac' and '\xC4' bucket 34, 'j' lies next door in
// 130, some are empty, bytes from 0x80 must not fold ('\xC4' and '\xE4' are
// different names), and 300 bytes of 0xFF sum past 16 bits.
const std::string k300xFF(300, '\xFF');
const char *const kSections[] = {"",    "Ab",      "aB",   "ba",     "BA",   "Ac",
                                 "\xC4", "Section", "SECTION", "\xE4", "x\xFF", "X\xFF",
                                 "a",   "j",       k300xFF.c_str()};
const char *const kKeys[] = {"", "k", "K", "key", "KEY", "ab", "ba", "\xE9", "\xC9"};
const char *const kValues[] = {"", "v", "V", "value", "\xFF\x80", "a value longer than a buffer"};
const char *const kFilters[] = {nullptr, "", "ab", "BA", "section", "\xC4", "\xE4", "X\xFF", "A", "Ac"};
constexpr int32_t kNull = -1; // a pointer operation's null result

class StoreModel : public storetest::StoreTest {
protected:
    template <size_t N> const char *Pick(const char *const (&pool)[N]) { return pool[rng() % N]; }
    int32_t Sweep(size_t allocations, int32_t failed, const std::function<int32_t()> &call);
    void Step();
    void Check();

    storetest::StoreModel model;
    std::mt19937 rng;
};

// Fails the 1st, 2nd, ... allocation of call until it needs no more, which
// must be after exactly `allocations`; each failure answers `failed` and
// leaves the store as the model has it.  Then the result of the call that
// succeeded.  Every attempt holds the lock once.
int32_t StoreModel::Sweep(size_t allocations, int32_t failed, const std::function<int32_t()> &call)
{
    bool sticky = rng() % 2 != 0;
    for (size_t nth = 1;; ++nth) {
        SCOPED_TRACE(testing::Message() << "allocation " << nth << (sticky ? " on" : " alone")
                                        << " fails");
        counting.FailAt(nth, sticky);
        int32_t result = call();
        size_t used = counting.Allocations();
        counting.Reset();
        EXPECT_EQ(TakeTrace(), "IAIR");
        if (used < nth) {
            EXPECT_EQ(used, allocations);
            return result;
        }
        EXPECT_EQ(result, failed);
        Check();
    }
}

void StoreModel::Step()
{
    const char *section = Pick(kSections), *key = Pick(kKeys);
    unsigned op = rng() % 100;
    int32_t result;
    if (op < 25) {
        // The store's own string may come back as the new value.
        const std::string *text = model.Text(section, key);
        auto *value = text != nullptr && rng() % 4 == 0
                          ? static_cast<const char *>(QvGetItem(store, section, key))
                          : Pick(kValues);
        TakeTrace();
        std::string copy = value;
        result = Sweep(model.AddAllocations(section, key), QV_NO_MEMORY,
                       [&] { return QvAddItem(store, section, key, value); });
        EXPECT_EQ(result, model.Add(section, key, copy));
    } else if (op < 40) {
        void *ptr = rng() % 4 == 0 ? nullptr : &gTokens[rng() % 8];
        result = Sweep(model.StorePtrAllocations(section, key), QV_NO_MEMORY,
                       [&] { return QvStorePtr(store, section, key, ptr); });
        EXPECT_EQ(result, model.StorePtr(section, key, ptr));
    } else if (op < 55) {
        result = Sweep(0, 0, [&] { return QvRemoveItem(store, section, key); });
        EXPECT_EQ(result, model.Remove(section, key));
    } else if (op < 67) {
        uint32_t size = 1 + rng() % 12;
        std::string buffer(size + 2, '#'), expected(size, '#');
        EXPECT_EQ(Sweep(0, 0, [&] { return QvFindItem(store, section, key, buffer.data(), size); }),
                  model.FindInto(section, key, expected));
        EXPECT_EQ(buffer, expected + "##");
    } else if (op < 76) {
        const std::string *text = model.Text(section, key);
        char *copy = nullptr;
        EXPECT_EQ(Sweep(text != nullptr, kNull, [&] { return (copy = QvCopyItem(store, section, key)) ? QV_OK : kNull; }),
                  text != nullptr ? QV_OK : kNull);
        if (copy != nullptr) {
            EXPECT_EQ(copy, *text);
            QvuFree(copy);
        }
    } else if (op < 85) {
        void *value = nullptr;
        Sweep(0, 0, [&] { return value = QvGetItem(store, section, key), 0; });
        EXPECT_EQ(Describe(value), model.Get(section, key));
    } else if (op < 99) {
        void *out = &gTokens[0], *expected = &gTokens[0];
        EXPECT_EQ(Sweep(0, 0, [&] { return QvRetrievePtr(store, section, key, &out); }),
                  model.Retrieve(section, key, &expected));
        EXPECT_EQ(out, expected);
    } else {
        EXPECT_EQ(Sweep(0, 0, [&] { return QvClearStore(store); }), QV_OK);
        model.Clear();
    }
}

void StoreModel::Check()
{
    EXPECT_EQ(LockedWalk(), model.Walk());
    EXPECT_EQ(counting.LiveBlocks(), model.Blocks());

    // A non-zero result from the callback ends the walk there.
    const char *filter = Pick(kFilters);
    std::vector<Seen> expected = model.Walk(filter);
    size_t stop = rng() % (expected.size() + 1); // the nth visit stops it; 0 none
    if (stop != 0)
        expected.resize(stop);
    int32_t last = -1;
    auto visit = [&, n = size_t{0}](const Seen &) mutable { return ++n == stop ? 7 : 0; };
    EXPECT_EQ(LockedWalk(filter, visit, &last), expected) << "filter " << testing::PrintToString(filter);
    EXPECT_EQ(last, stop != 0 ? 7 : 0);
}

TEST_F(StoreModel, RandomOperationsAgreeWithAPlainList)
{
    for (unsigned seed : {1u, 2u, 3u, 20240601u}) {
        rng.seed(seed);
        EXPECT_EQ(QvClearStore(store), QV_OK);
        TakeTrace();
        model.Clear();
        size_t largest = 0;
        for (int step = 0; step < 3000 && !HasFailure(); ++step) {
            SCOPED_TRACE(testing::Message() << "seed " << seed << ", step " << step);
            Step();
            Check();
            largest = std::max(largest, model.Walk().size());
        }
        EXPECT_GT(largest, 30u) << "the pool is crowded enough to collide";
    }
}

} // namespace
