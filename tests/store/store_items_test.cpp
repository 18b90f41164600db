// store_items_test.cpp - single items and a store's life: where names land,
// which names match, what each operation copies, keeps and releases, and the
// exact blocks an item costs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <qv-utility.h>

#include "store_test_util.h"

namespace {

using storetest::ExpectedWalk;
using storetest::gTokens;
using storetest::Seen;
using storetest::Walk;
using Sizes = std::vector<size_t>;

using StoreItems = storetest::StoreTest;

// A node holds four pointers (names, value, next) and two hash bytes with
// the type, padded to 8; a bucket link holds two pointers.
constexpr size_t kNodeSize = 4 * sizeof(void *) + 8;
constexpr size_t kLinkSize = 2 * sizeof(void *);

const char *Text(void *value) { return static_cast<const char *>(value); }

const std::string k300xFF(300, '\xFF');

const std::pair<const char *, unsigned> kWorkedHashes[] = {
    {"", 0},     {"a", 242},  {"abc", 179},   {"ABC", 179}, {"ab", 131},
    {"Ab", 131}, {"aB", 131}, {"AB", 131},    {"ba", 131},  {"key", 84},
    {"Key", 84}, {"\xFF", 152}, {k300xFF.c_str(), 11}, {"Section", 216}, {"Ac", 34},
};

// One anchor section in each of the 256 buckets pins every other item's
// bucket exactly: a walk must meet each worked name after the anchors of
// lower buckets and, being newer, before the anchor of its own.
TEST_F(StoreItems, WalkPlacesEveryNameInItsBucket)
{
    std::vector<Seen> newestFirst;
    auto add = [&](const std::string &section, const std::string &key) {
        ASSERT_EQ(QvAddItem(store, section.c_str(), key.c_str(), "v"), QV_OK);
        newestFirst.insert(newestFirst.begin(), {section, key, "v"});
    };
    for (unsigned bucket = 0; bucket < 256; ++bucket)
        add(storetest::NameInBucket(bucket), "anchor");
    int n = 0;
    for (auto [name, bucket] : kWorkedHashes) {
        EXPECT_EQ(storetest::RefHash(name), bucket) << testing::PrintToString(name);
        add(name, "k" + std::to_string(n++));
    }
    EXPECT_EQ(Walk(store), ExpectedWalk(newestFirst));
}

TEST_F(StoreItems, NamesMatchRegardlessOfAsciiCaseAndKeepTheirFirstSpelling)
{
    ASSERT_EQ(QvAddItem(store, "Ab", "k", "1"), QV_OK);
    ASSERT_EQ(QvAddItem(store, "AB", "K", "2"), QV_OK);
    EXPECT_EQ(Walk(store), (std::vector<Seen>{{"Ab", "k", "2"}}));
    for (const char *section : {"ab", "aB", "AB"})
        EXPECT_STREQ(Text(QvGetItem(store, section, "K")), "2");
    EXPECT_EQ(QvGetItem(store, "ba", "k"), nullptr); // same bucket, other name

    // Equal key hashes or byte sums, and bytes from 0x80 (Latin-1 capital
    // and small letters, which must not fold), make distinct items.
    const char *const kDistinct[][2] = {{"Ab", "ab"}, {"Ab", "ba"},   {"\xC4", "k"},
                                        {"\xE4", "k"}, {"Ab", "\xC9"}, {"Ab", "\xE9"}};
    for (auto &names : kDistinct)
        ASSERT_EQ(QvAddItem(store, names[0], names[1], names[1]), QV_OK);
    EXPECT_EQ(Walk(store).size(), 7u);
    for (auto &names : kDistinct)
        EXPECT_STREQ(Text(QvGetItem(store, names[0], names[1])), names[1]);
}

TEST_F(StoreItems, EachAdditionCostsExactlyItsCopiesANodeAndALink)
{
    size_t seen = counting.MallocSizes().size();
    auto sizesOf = [&](int32_t result, int32_t expected = QV_OK) {
        EXPECT_EQ(result, expected);
        Sizes sizes = counting.MallocSizes();
        Sizes latest(sizes.begin() + static_cast<long>(seen), sizes.end());
        seen = sizes.size();
        return latest;
    };
    EXPECT_EQ(sizesOf(QvAddItem(store, "Display", "Mode", "fast")),
              (Sizes{8, 5, 5, kNodeSize, kLinkSize}));
    EXPECT_EQ(sizesOf(QvStorePtr(store, "Sec", "", &gTokens[0])),
              (Sizes{4, 1, kNodeSize, kLinkSize}));
    EXPECT_EQ(sizesOf(QvAddItem(store, "DISPLAY", "mode", "slower")), (Sizes{7}));
    EXPECT_EQ(sizesOf(QvStorePtr(store, "sec", "", &gTokens[1])), (Sizes{}));
    EXPECT_EQ(counting.LiveBlocks(), 1u + 5u + 4u);

    // A failed copy does not keep the others from being tried.
    for (size_t nth : {1, 2}) {
        counting.FailAt(nth);
        EXPECT_EQ(sizesOf(QvAddItem(store, "A", "bc", "def"), QV_NO_MEMORY), (Sizes{2, 3, 4}));
        counting.FailAt(nth);
        EXPECT_EQ(sizesOf(QvStorePtr(store, "A", "bc", nullptr), QV_NO_MEMORY), (Sizes{2, 3}));
    }
}

TEST_F(StoreItems, ReplacingCopiesTheNewValueAndReleasesTheOld)
{
    const char value[] = "first";
    ASSERT_EQ(QvAddItem(store, "S", "k", value), QV_OK);
    void *old = QvGetItem(store, "S", "k");
    EXPECT_NE(old, static_cast<const void *>(value));
    size_t live = counting.LiveBlocks();
    ASSERT_EQ(QvAddItem(store, "s", "K", "second value"), QV_OK);
    EXPECT_FALSE(counting.IsLive(old));
    EXPECT_EQ(counting.LiveBlocks(), live);

    // The store's own string may come back as the new value.
    void *now = QvGetItem(store, "S", "k");
    ASSERT_EQ(QvAddItem(store, "S", "k", Text(now)), QV_OK);
    EXPECT_NE(QvGetItem(store, "S", "k"), now);
    EXPECT_STREQ(Text(QvGetItem(store, "S", "k")), "second value");

    char *copy = QvCopyItem(store, "S", "k");
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, QvGetItem(store, "S", "k"));
    EXPECT_STREQ(copy, "second value");
    QvuFree(copy);
    EXPECT_EQ(counting.LiveBlocks(), live);
}

// A pointer value is remembered, never released: the counting allocator
// would abort on a release of a token's address.  The model test meets
// every other pairing of operation and item type.
TEST_F(StoreItems, StringsReplacePointersButPointersNeverReplaceStrings)
{
    ASSERT_EQ(QvStorePtr(store, "P", "k", &gTokens[1]), QV_OK);
    ASSERT_EQ(QvAddItem(store, "P", "k", "text"), QV_OK);
    void *out = &gTokens[7];
    EXPECT_EQ(QvRetrievePtr(store, "P", "k", &out), QV_BAD_DATA);
    EXPECT_EQ(out, &gTokens[7]);
    EXPECT_EQ(QvStorePtr(store, "P", "k", &gTokens[2]), QV_BAD_DATA);
    EXPECT_EQ(Walk(store), (std::vector<Seen>{{"P", "k", "text"}}));

    ASSERT_EQ(QvStorePtr(store, "N", "k", &gTokens[3]), QV_OK);
    size_t live = counting.LiveBlocks();
    EXPECT_EQ(QvRemoveItem(store, "n", "K"), QV_OK);
    EXPECT_EQ(counting.LiveBlocks(), live - 4);
}

struct FindCase {
    const char *value;
    uint32_t size;
    std::string expected; // all size bytes
};

const FindCase kFindCases[] = {
    {"0123456789", 1, std::string(1, '\0')},
    {"0123456789", 4, std::string("012\0", 4)},
    {"0123456789", 10, std::string("012345678\0", 10)},
    {"0123456789", 11, std::string("0123456789\0", 11)},
    {"ab", 8, std::string("ab\0\0\0\0\0\0", 8)},
    {"", 5, std::string(5, '\0')},
};

TEST_F(StoreItems, FindItemFillsTheWholeBufferAndNothingBeyond)
{
    for (const FindCase &c : kFindCases) {
        ASSERT_EQ(QvAddItem(store, "S", "k", c.value), QV_OK);
        std::string buffer(c.size + 4, '#');
        EXPECT_EQ(QvFindItem(store, "S", "k", buffer.data(), c.size), QV_OK);
        EXPECT_EQ(buffer, c.expected + "####") << '"' << c.value << "\" into " << c.size;
    }
    std::string untouched(8, '#');
    EXPECT_EQ(QvFindItem(store, "S", "missing", untouched.data(), 4), QV_NOT_FOUND);
    EXPECT_EQ(untouched, "########");
}

TEST(StoreLifecycle, ClearAndFreeReleaseEverythingButTheCopiesHandedOut)
{
    qvtest::CountingAllocator counting;
    TripletStore *store = nullptr;
    ASSERT_EQ(QvAllocStore(&store), QV_OK);
    auto fill = [&] {
        for (int i = 0; i < 40; ++i) {
            std::string key = std::to_string(i), section = "S" + std::to_string(i % 7);
            ASSERT_EQ(QvAddItem(store, section.c_str(), key.c_str(), "v"), QV_OK);
            ASSERT_EQ(QvStorePtr(store, "P", key.c_str(), &gTokens[i % 8]), QV_OK);
        }
        ASSERT_EQ(QvAddItem(store, "S0", "0", "replaced"), QV_OK);
        ASSERT_EQ(QvRemoveItem(store, "S1", "1"), QV_OK);
    };
    fill();
    EXPECT_EQ(QvClearStore(store), QV_OK);
    EXPECT_EQ(counting.LiveBlocks(), 1u);
    EXPECT_TRUE(Walk(store).empty());
    EXPECT_EQ(QvGetItem(store, "S0", "0"), nullptr);
    EXPECT_EQ(QvClearStore(store), QV_OK);

    fill(); // the cleared store is as good as new
    EXPECT_EQ(Walk(store).size(), 79u);
    char *copy = QvCopyItem(store, "S0", "0");
    EXPECT_EQ(QvFreeStore(store), QV_OK);
    EXPECT_EQ(counting.LiveBlocks(), 1u);
    EXPECT_TRUE(counting.IsLive(copy));
    QvuFree(copy);

    // Without memory the caller's pointer is set to null, not left stale.
    store = reinterpret_cast<TripletStore *>(&gTokens[0]);
    counting.FailAt(1);
    EXPECT_EQ(QvAllocStore(&store), QV_NO_MEMORY);
    EXPECT_EQ(store, nullptr);
    EXPECT_EQ(counting.LiveBlocks(), 0u);
    counting.Reset();
    EXPECT_EQ(QvAllocStore(nullptr), QV_INVALID_ARG);
    EXPECT_EQ(counting.Allocations(), 0u);
}

} // namespace
