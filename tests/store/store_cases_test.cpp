// SPDX-License-Identifier: MIT
// store_cases_test.cpp - what the random model cannot reach: missing
// arguments and which of them take the lock, a store that cannot be
// allocated, and callbacks that change the store they walk.
#include <string>
#include <vector>

#include "store_fixture.h"

namespace {

using storetest::Seen;
using storetest::TakeTrace;
using storetest::Walk;

using StoreCases = storetest::StoreTest;

char buffer[8];
void *out;
int32_t last;
constexpr int32_t kNull = 100, kNonNull = 101; // pointer results, apart from status codes

int32_t Got(const void *pointer) { return pointer != nullptr ? kNonNull : kNull; }

int32_t Set7(const char *, const char *, void *, void *context)
{
    return *static_cast<int32_t *>(context) = 7, 0;
}

struct ArgumentCase {
    const char *what;
    int32_t (*call)(TripletStore *);
    int32_t result; // on a store holding S/k = "v"
    const char *trace;
    int32_t last = 42; // lastResult's variable afterwards
};

#define CALL(expression) [](TripletStore *s) -> int32_t { return expression; }

// Arguments tested before locking make no OS-layer call, those tested after
// make one hold of the lock; without a store every call is refused at once.
const ArgumentCase kArgumentCases[] = {
    {"add, no section", CALL(QvAddItem(s, nullptr, "k", "v")), QV_INVALID_ARG, "IAIR"},
    {"add, no key", CALL(QvAddItem(s, "S", nullptr, "v")), QV_INVALID_ARG, "IAIR"},
    {"add, no value", CALL(QvAddItem(s, "S", "k", nullptr)), QV_INVALID_ARG, "IAIR"},
    {"remove, no section", CALL(QvRemoveItem(s, nullptr, "k")), QV_INVALID_ARG, "IAIR"},
    {"remove, no key", CALL(QvRemoveItem(s, "S", nullptr)), QV_INVALID_ARG, "IAIR"},
    {"store, no section", CALL(QvStorePtr(s, nullptr, "k", &out)), QV_INVALID_ARG, "IAIR"},
    {"store, no key", CALL(QvStorePtr(s, "S", nullptr, &out)), QV_INVALID_ARG, "IAIR"},
    {"retrieve, no section", CALL(QvRetrievePtr(s, nullptr, "k", &out)), QV_INVALID_ARG, "IAIR"},
    {"retrieve, no key", CALL(QvRetrievePtr(s, "S", nullptr, &out)), QV_INVALID_ARG, "IAIR"},
    {"retrieve, no out", CALL(QvRetrievePtr(s, "S", "k", nullptr)), QV_INVALID_ARG, "IAIR"},
    {"find, no section", CALL(QvFindItem(s, nullptr, "k", buffer, 8)), QV_INVALID_ARG, ""},
    {"find, no key", CALL(QvFindItem(s, "S", nullptr, buffer, 8)), QV_INVALID_ARG, ""},
    {"find, no buffer", CALL(QvFindItem(s, "S", "k", nullptr, 8)), QV_INVALID_ARG, ""},
    {"find, size 0", CALL(QvFindItem(s, "S", "k", buffer, 0)), QV_INVALID_ARG, ""},
    {"copy, no section", CALL(Got(QvCopyItem(s, nullptr, "k"))), kNull, ""},
    {"copy, no key", CALL(Got(QvCopyItem(s, "S", nullptr))), kNull, ""},
    {"get, no section", CALL(Got(QvGetItem(s, nullptr, "k"))), kNull, ""},
    {"get, no key", CALL(Got(QvGetItem(s, "S", nullptr))), kNull, ""},
    {"walk, no callback", CALL(QvStoreIterate(s, nullptr, nullptr, nullptr, &last)), QV_INVALID_ARG, ""},
    {"walk, no last result", CALL(QvStoreIterate(s, "s", Set7, &last, nullptr)), QV_OK, "", 7},
    {"get", CALL(Got(QvGetItem(s, "s", "K"))), kNonNull, "IAIR"},
    {"clear", CALL(QvClearStore(s)), QV_OK, "IAIR"},
};

TEST_F(StoreCases, MissingArgumentsAreRefusedBeforeOrUnderTheLock)
{
    ASSERT_EQ(QvAddItem(store, "S", "k", "v"), QV_OK);
    for (const ArgumentCase &c : kArgumentCases) {
        SCOPED_TRACE(c.what);
        TakeTrace();
        last = 42;
        EXPECT_EQ(c.call(store), c.result);
        EXPECT_EQ(TakeTrace(), c.trace);
        EXPECT_EQ(c.call(nullptr), c.result >= kNull ? kNull : QV_INVALID_ARG);
        EXPECT_EQ(TakeTrace(), "");
        EXPECT_EQ(last, c.last);
    }
    EXPECT_EQ(QvFreeStore(nullptr), QV_INVALID_ARG);
    EXPECT_EQ(QvAllocStore(nullptr), QV_INVALID_ARG);
    EXPECT_EQ(TakeTrace(), "");
    EXPECT_EQ(counting.LiveBlocks(), 1u);
    EXPECT_TRUE(Walk(store).empty()) << "only the last case changes the store";

    // Without memory the caller's pointer is set to null, not left stale.
    TripletStore *other = store;
    counting.FailAt(1);
    EXPECT_EQ(QvAllocStore(&other), QV_NO_MEMORY);
    EXPECT_EQ(other, nullptr);
}

// A walk meets items its callback adds exactly when their bucket comes after
// the one it stands in; the callback may replace the value it was handed and
// remove any item but that one.
TEST_F(StoreCases, CallbacksMayChangeTheStoreTheyWalk)
{
    auto fill = [&] {
        for (const char *key : {"a", "b", "c"})
            ASSERT_EQ(QvAddItem(store, "Ab", key, "v"), QV_OK); // bucket 131
        ASSERT_EQ(QvAddItem(store, "Section", "gone", "v"), QV_OK); // bucket 216
    };
    auto change = [&](const Seen &s) {
        if (s.key == "c") {
            for (const char *section : {"key", "ba", "AB", "Section"}) // buckets 84, 131, 131, 216
                EXPECT_EQ(QvAddItem(store, section, "new", "n"), QV_OK);
            EXPECT_EQ(QvRemoveItem(store, "ab", "B"), QV_OK); // next in the chain
            EXPECT_EQ(QvRemoveItem(store, "section", "gone"), QV_OK);
        }
        EXPECT_EQ(QvAddItem(store, s.section.c_str(), s.key.c_str(), "w"), QV_OK);
        return 0;
    };
    fill();
    EXPECT_EQ(Walk(store, nullptr, change),
              (std::vector<Seen>{{"Ab", "c", "v"}, {"Ab", "a", "v"}, {"Section", "new", "n"}}));
    EXPECT_EQ(Walk(store, "aB"), (std::vector<Seen>{{"AB", "new", "n"}, {"Ab", "c", "w"}, {"Ab", "a", "w"}}));
    EXPECT_EQ(Walk(store).size(), 6u);
    ASSERT_EQ(QvClearStore(store), QV_OK);
    fill();
    EXPECT_EQ(Walk(store, "ab", change).size(), 2u) << "a filtered walk meets no new item";
}

} // namespace
