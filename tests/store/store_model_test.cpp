// store_model_test.cpp - long random sequences of item operations on a small
// pool of colliding names, each step checked against a plain list of items:
// every result, every buffer, the whole walk, a filtered walk and the number
// of blocks the store holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <qv-utility.h>

#include "store_test_util.h"

namespace {

using storetest::Describe;
using storetest::ExpectedWalk;
using storetest::gTokens;
using storetest::SameName;
using storetest::Seen;
using storetest::Walk;

// A few names in several spellings: some differ only in case, 'Ab' and
// 'ba' share bucket 131 and 'Ac' and '\xC4' bucket 34, some are empty, and
// bytes from 0x80 must not fold ('\xC4' and '\xE4' are different names).
const char *const kSections[] = {"",        "Ab",   "aB",   "ba",    "BA",    "Ac", "\xC4",
                                 "Section", "SECTION", "\xE4", "x\xFF", "X\xFF", "a"};
const char *const kKeys[] = {"", "k", "K", "key", "KEY", "ab", "ba", "\xE9", "\xC9"};
const char *const kValues[] = {"", "v", "V", "value", "\xFF\x80", "a value longer than a buffer"};
const char *const kFilters[] = {"", "ab", "BA", "section", "\xC4", "\xE4", "X\xFF", "A", "Ac", "zz"};

struct Item {
    std::string section; // as first added
    std::string key;
    bool pointer;
    std::string text;
    void *ptr;
    Seen AsSeen() const { return {section, key, pointer ? Describe(ptr) : text}; }
};

class StoreModel : public storetest::StoreTest {
protected:
    template <size_t N>
    const char *Pick(const char *const (&pool)[N])
    {
        return pool[rng() % N];
    }

    std::vector<Item>::iterator Find(const char *section, const char *key)
    {
        return std::find_if(items.begin(), items.end(), [&](const Item &i) {
            return SameName(i.section, section) && SameName(i.key, key);
        });
    }

    void Step();
    void Check();

    std::vector<Item> items; // newest first
    std::mt19937 rng;
};

void StoreModel::Step()
{
    const char *section = Pick(kSections);
    const char *key = Pick(kKeys);
    auto found = Find(section, key);
    bool exists = found != items.end();
    unsigned op = rng() % 100;
    if (op < 25) {
        const char *value = Pick(kValues);
        EXPECT_EQ(QvAddItem(store, section, key, value), QV_OK);
        if (exists)
            *found = {found->section, found->key, false, value, nullptr};
        else
            items.insert(items.begin(), {section, key, false, value, nullptr});
    } else if (op < 40) {
        void *ptr = rng() % 4 == 0 ? nullptr : &gTokens[rng() % 8];
        bool refused = exists && !found->pointer;
        EXPECT_EQ(QvStorePtr(store, section, key, ptr), refused ? QV_BAD_DATA : QV_OK);
        if (exists && !refused)
            found->ptr = ptr;
        else if (!exists)
            items.insert(items.begin(), {section, key, true, "", ptr});
    } else if (op < 55) {
        EXPECT_EQ(QvRemoveItem(store, section, key), exists ? QV_OK : QV_NOT_FOUND);
        if (exists)
            items.erase(found);
    } else if (op < 67) {
        uint32_t size = 1 + rng() % 12;
        std::string buffer(size + 2, '#');
        std::string expected = buffer;
        int32_t result = !exists ? QV_NOT_FOUND : found->pointer ? QV_BAD_DATA : QV_OK;
        if (result == QV_OK) {
            expected = found->text.substr(0, size - 1);
            expected += std::string(size - expected.size(), '\0') + "##";
        }
        EXPECT_EQ(QvFindItem(store, section, key, buffer.data(), size), result);
        EXPECT_EQ(buffer, expected);
    } else if (op < 76) {
        char *copy = QvCopyItem(store, section, key);
        if (exists && !found->pointer) {
            ASSERT_NE(copy, nullptr);
            EXPECT_EQ(std::string(copy), found->text);
            QvuFree(copy);
        } else {
            EXPECT_EQ(copy, nullptr);
        }
    } else if (op < 85) {
        void *value = QvGetItem(store, section, key);
        if (!exists)
            EXPECT_EQ(value, nullptr);
        else if (found->pointer)
            EXPECT_EQ(value, found->ptr);
        else
            EXPECT_EQ(Describe(value), found->text);
    } else if (op < 99) {
        void *out = &gTokens[0];
        int32_t result = !exists ? QV_NOT_FOUND : found->pointer ? QV_OK : QV_BAD_DATA;
        EXPECT_EQ(QvRetrievePtr(store, section, key, &out), result);
        EXPECT_EQ(out, result == QV_OK ? found->ptr : &gTokens[0]);
    } else {
        EXPECT_EQ(QvClearStore(store), QV_OK);
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
    EXPECT_EQ(Walk(store), ExpectedWalk(newestFirst));
    EXPECT_EQ(counting.LiveBlocks(), blocks);

    // A section's items share one bucket: a filtered walk keeps list order.
    const char *filter = Pick(kFilters);
    std::vector<Seen> matching;
    for (const Seen &s : newestFirst)
        if (SameName(s.section, filter))
            matching.push_back(s);
    EXPECT_EQ(Walk(store, filter), matching) << "filter " << testing::PrintToString(filter);
}

TEST_F(StoreModel, RandomOperationsAgreeWithAPlainList)
{
    for (unsigned seed : {1u, 2u, 3u, 20240601u}) {
        rng.seed(seed);
        EXPECT_EQ(QvClearStore(store), QV_OK);
        items.clear();
        size_t largest = 0;
        for (int step = 0; step < 3000; ++step) {
            SCOPED_TRACE(testing::Message() << "seed " << seed << ", step " << step);
            Step();
            Check();
            largest = std::max(largest, items.size());
            if (HasFailure())
                return;
        }
        // The pool must have been crowded enough to collide.
        EXPECT_GT(largest, 30u);
    }
}

} // namespace
