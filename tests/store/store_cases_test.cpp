// SPDX-License-Identifier: MIT
// store_cases_test.cpp - missing arguments, and which of them are refused
// before the lock and which under it; a store that cannot be allocated.
#include "store_fixture.h"

namespace {

using storetest::TakeTrace;

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
    EXPECT_TRUE(LockedWalk().empty()) << "only the last case changes the store";

    // Without memory the caller's pointer is set to null, not left stale.
    TripletStore *other = store;
    counting.FailAt(1);
    EXPECT_EQ(QvAllocStore(&other), QV_NO_MEMORY);
    EXPECT_EQ(other, nullptr);
}

} // namespace
