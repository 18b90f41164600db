// SPDX-License-Identifier: MIT
// store_model_test.cpp - what the store fuzzer's random sequences (replayed
// in every build) do not reach, checked against the same model: each
// addition and copy with every allocation it makes failed in turn, alone or
// with all later ones, must answer the failure, hold the lock once and
// leave the store as it was; and the store's walks, whole and filtered by
// sections from all over the hash, made while the mutex is held as a reader
// in another thread might hold it.
#include <functional>
#include <string>
#include <vector>

#include "store_fixture.h"

namespace {

using storetest::gTokens;
using storetest::Seen;
using storetest::TakeTrace;

// 'Ab' and 'ba' share bucket 131 and 'Ac' and '\xC4' bucket 34, 'j' lies
// next door in 130 (and comes first, so that a hash that merged the two
// buckets would show), bytes from 0x80 must not fold ('\xC4' and '\xE4'
// are different names), and 300 bytes of 0xFF sum past 16 bits.
const std::string k300xFF(300, '\xFF');
const char *const kSections[] = {"", "j", "Ab", "ba", "Ac", "\xC4", "\xE4", "Section", "x\xFF", k300xFF.c_str()};
const char *const kFilters[] = {"", "aB", "BA", "section", "\xC4", "\xE4", "X\xFF", "A", k300xFF.c_str()};
constexpr int32_t kNull = -1; // QvCopyItem's null

class StoreModel : public storetest::StoreTest {
protected:
    void Sweep(size_t allocations, int32_t failed, const std::function<int32_t()> &call);
    void Check();

    storetest::StoreModel model;
};

// Fails the 1st, 2nd, ... allocation of call, alone and with all later
// ones: each attempt answers `failed`, holds the lock once and leaves the
// store as the model has it.
void StoreModel::Sweep(size_t allocations, int32_t failed, const std::function<int32_t()> &call)
{
    TakeTrace();
    for (size_t nth = 1; nth <= allocations; ++nth)
        for (bool sticky : {false, true}) {
            SCOPED_TRACE(testing::Message() << "allocation " << nth << (sticky ? " on" : " alone") << " fails");
            counting.FailAt(nth, sticky);
            EXPECT_EQ(call(), failed);
            counting.Reset();
            EXPECT_EQ(TakeTrace(), "IAIR");
            Check();
        }
}

// The whole walk, the blocks held, and each filtered walk, stopped by its
// callback at one of its items.
void StoreModel::Check()
{
    EXPECT_EQ(LockedWalk(), model.Walk());
    EXPECT_EQ(counting.LiveBlocks(), model.Blocks());
    for (size_t i = 0; i < std::size(kFilters); ++i) {
        std::vector<Seen> expected = model.Walk(kFilters[i]);
        size_t stop = expected.empty() ? 0 : 1 + i % expected.size(); // the nth visit stops it
        expected.resize(stop);
        int32_t last = -1;
        auto visit = [&, n = size_t{0}](const Seen &) mutable { return ++n == stop ? 7 : 0; };
        EXPECT_EQ(LockedWalk(kFilters[i], visit, &last), expected) << "filter " << i;
        EXPECT_EQ(last, stop != 0 ? 7 : 0);
    }
}

// Under each section and two keys: a new string item, its value replaced,
// a copy of it, and a new pointer item beside it.
TEST_F(StoreModel, FailedAllocationsLeaveTheStoreAsItWas)
{
    for (const char *section : kSections)
        for (const char *key : {"k", "\xE9"}) {
            SCOPED_TRACE(testing::Message() << testing::PrintToString(section) << "/" << key);
            for (const char *value : {"v", "w"}) {
                Sweep(model.AddAllocations(section, key), QV_NO_MEMORY,
                      [&] { return QvAddItem(store, section, key, value); });
                EXPECT_EQ(QvAddItem(store, section, key, value), model.Add(section, key, value));
            }
            Sweep(1, kNull, [&] { return QvCopyItem(store, section, key) != nullptr ? QV_OK : kNull; });
            Sweep(model.StorePtrAllocations(section, "p"), QV_NO_MEMORY,
                  [&] { return QvStorePtr(store, section, "p", &gTokens[1]); });
            EXPECT_EQ(QvStorePtr(store, section, "p", &gTokens[1]), model.StorePtr(section, "p", &gTokens[1]));
        }
    Check();
}

} // namespace
