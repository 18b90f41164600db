// SPDX-License-Identifier: MIT
// store_model_test.cpp - long random sequences of item operations on a small
// pool of colliding names, each checked against a plain list of items: every
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
using storetest::SameName;
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

struct Item {
    std::string section, key; // as first added
    bool pointer;
    std::string text;
    void *ptr;
    Seen AsSeen() const { return {section, key, pointer ? Describe(ptr) : text}; }
};

class StoreModel : public storetest::StoreTest {
protected:
    template <size_t N> const char *Pick(const char *const (&pool)[N]) { return pool[rng() % N]; }
    int32_t Sweep(size_t allocations, int32_t failed, const std::function<int32_t()> &call);
    void Step();
    void Check();

    std::vector<Item> items; // newest first
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
    auto found = std::find_if(items.begin(), items.end(), [&](const Item &i) {
        return SameName(i.section, section) && SameName(i.key, key);
    });
    bool exists = found != items.end(), string = exists && !found->pointer;
    int32_t lookup = !exists ? QV_NOT_FOUND : string ? QV_OK : QV_BAD_DATA;
    unsigned op = rng() % 100;
    if (op < 25) {
        // The store's own string may come back as the new value.
        auto *value = string && rng() % 4 == 0 ? static_cast<const char *>(QvGetItem(store, section, key))
                                               : Pick(kValues);
        TakeTrace();
        std::string text = value;
        EXPECT_EQ(Sweep(exists ? 1 : 5, QV_NO_MEMORY, [&] { return QvAddItem(store, section, key, value); }),
                  QV_OK);
        if (exists)
            *found = {found->section, found->key, false, text, nullptr};
        else
            items.insert(items.begin(), {section, key, false, text, nullptr});
    } else if (op < 40) {
        void *ptr = rng() % 4 == 0 ? nullptr : &gTokens[rng() % 8];
        EXPECT_EQ(Sweep(exists ? 0 : 4, QV_NO_MEMORY, [&] { return QvStorePtr(store, section, key, ptr); }),
                  string ? QV_BAD_DATA : QV_OK);
        if (!exists)
            items.insert(items.begin(), {section, key, true, "", ptr});
        else if (!string)
            found->ptr = ptr;
    } else if (op < 55) {
        EXPECT_EQ(Sweep(0, 0, [&] { return QvRemoveItem(store, section, key); }),
                  exists ? QV_OK : QV_NOT_FOUND);
        if (exists)
            items.erase(found);
    } else if (op < 67) {
        uint32_t size = 1 + rng() % 12;
        std::string buffer(size + 2, '#'), expected = buffer;
        if (string) {
            expected = found->text.substr(0, size - 1);
            expected += std::string(size - expected.size(), '\0') + "##";
        }
        EXPECT_EQ(Sweep(0, 0, [&] { return QvFindItem(store, section, key, buffer.data(), size); }),
                  lookup);
        EXPECT_EQ(buffer, expected);
    } else if (op < 76) {
        char *copy = nullptr;
        EXPECT_EQ(Sweep(string, kNull, [&] { return (copy = QvCopyItem(store, section, key)) ? QV_OK : kNull; }),
                  string ? QV_OK : kNull);
        if (copy != nullptr) {
            EXPECT_EQ(copy, found->text);
            QvuFree(copy);
        }
    } else if (op < 85) {
        void *value = nullptr;
        Sweep(0, 0, [&] { return value = QvGetItem(store, section, key), 0; });
        EXPECT_EQ(Describe(value), exists ? found->AsSeen().value : "<null>");
    } else if (op < 99) {
        void *out = &gTokens[0];
        int32_t result = lookup == QV_OK ? QV_BAD_DATA : lookup == QV_BAD_DATA ? QV_OK : lookup;
        EXPECT_EQ(Sweep(0, 0, [&] { return QvRetrievePtr(store, section, key, &out); }), result);
        EXPECT_EQ(out, result == QV_OK ? found->ptr : &gTokens[0]);
    } else {
        EXPECT_EQ(Sweep(0, 0, [&] { return QvClearStore(store); }), QV_OK);
        items.clear();
    }
}

void StoreModel::Check()
{
    std::vector<Seen> newestFirst;
    size_t blocks = 1; // the store itself
    for (const Item &i : items) {
        newestFirst.push_back(i.AsSeen());
        blocks += i.pointer ? 4 : 5; // names, value copy, node, link
    }
    EXPECT_EQ(LockedWalk(), storetest::ExpectedWalk(newestFirst));
    EXPECT_EQ(counting.LiveBlocks(), blocks);

    // A section's items share one bucket, so a filtered walk keeps the list's
    // order; a non-zero result from the callback ends the walk there.
    const char *filter = Pick(kFilters);
    std::vector<Seen> expected = storetest::ExpectedWalk(newestFirst);
    if (filter != nullptr)
        std::erase_if(expected, [&](const Seen &s) { return !SameName(s.section, filter); });
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
        items.clear();
        size_t largest = 0;
        for (int step = 0; step < 3000 && !HasFailure(); ++step) {
            SCOPED_TRACE(testing::Message() << "seed " << seed << ", step " << step);
            Step();
            Check();
            largest = std::max(largest, items.size());
        }
        EXPECT_GT(largest, 30u) << "the pool is crowded enough to collide";
    }
}

} // namespace
