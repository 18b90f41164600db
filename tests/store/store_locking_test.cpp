// store_locking_test.cpp - how the store uses the OS layer's mutex, watched
// through an OS layer that this program defines itself.  The library binds
// QvAcquireMutex and friends to the program's definitions (the executable
// comes first in symbol lookup); they record every call in order, check who
// holds each mutex, and forward to the real layer.  The allocator hooks are
// traced into the same record, so the test sees what runs under the lock.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <qv-os.h>
#include <qv-utility.h>

#include "counting_allocator.h"

namespace {

enum class Ev { Id, Acquire, Release, FreeMutex, Malloc, Free };

struct Event {
    Ev kind;
    const void *address; // the mutex, or the block released
    uint32_t tid;        // identity returned or passed
};

struct Holder {
    bool held = false;
    uint32_t tid = 0;
};

// Touched by one thread at a time: every call here comes from the main thread.
std::vector<Event> events;
std::map<const void *, Holder> holders;
std::vector<std::string> faults;
QvMallocHook nextMalloc;
QvFreeHook nextFree;

// The record as letters: Identity, Acquire, Release, Freed mutex, m for an
// allocation and f for a block released.
std::string Signature()
{
    std::string letters;
    for (const Event &e : events)
        letters += "IARFmf"[static_cast<int>(e.kind)];
    return letters;
}

// The real layer's definitions, which follow this program's in lookup order.
template <typename Fn> Fn Real(const char *name)
{
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

// The identity must be asked for right before each acquire and release and
// handed on as it came.
void ExpectFreshIdentity(uint32_t tid, const char *call)
{
    if (events.empty() || events.back().kind != Ev::Id || events.back().tid != tid)
        faults.push_back(std::string(call) + " without the identity just obtained");
}

// Fresh blocks are poisoned, so a store that skipped zeroing its record hands
// over a mutex that is visibly not all-zero.
void *TracingMalloc(size_t size)
{
    events.push_back({Ev::Malloc, nullptr, 0});
    void *block = nextMalloc(size);
    if (block != nullptr)
        std::memset(block, 0xA5, size);
    return block;
}

void TracingFree(void *block)
{
    events.push_back({Ev::Free, block, 0});
    nextFree(block);
}

} // namespace

extern "C" {

uint32_t QvGetThreadID(void)
{
    static auto real = Real<uint32_t (*)()>("QvGetThreadID");
    uint32_t tid = real();
    events.push_back({Ev::Id, nullptr, tid});
    return tid;
}

int32_t QvAcquireMutex(QvMutex *mutex, uint32_t threadId)
{
    static auto real = Real<int32_t (*)(QvMutex *, uint32_t)>("QvAcquireMutex");
    ExpectFreshIdentity(threadId, "acquire");
    events.push_back({Ev::Acquire, mutex, threadId});
    Holder &holder = holders[mutex];
    if (holder.held) { // the real mutex is not recursive: it would hang
        faults.push_back("acquired while already held");
        return 0;
    }
    if (mutex->state != 0) {
        faults.push_back("a free mutex is not all-zero");
        mutex->state = 0;
    }
    holder = {true, threadId};
    return real(mutex, threadId);
}

int32_t QvReleaseMutex(QvMutex *mutex, uint32_t threadId)
{
    static auto real = Real<int32_t (*)(QvMutex *, uint32_t)>("QvReleaseMutex");
    ExpectFreshIdentity(threadId, "release");
    events.push_back({Ev::Release, mutex, threadId});
    Holder &holder = holders[mutex];
    if (!holder.held || holder.tid != threadId) {
        faults.push_back("released without being held by that thread");
        return 0;
    }
    holder.held = false;
    return real(mutex, threadId);
}

int32_t QvFreeMutex(QvMutex *mutex)
{
    static auto real = Real<int32_t (*)(QvMutex *)>("QvFreeMutex");
    events.push_back({Ev::FreeMutex, mutex, 0});
    if (holders[mutex].held)
        faults.push_back("freed while held");
    return real(mutex);
}

} // extern "C"

namespace {

int dummy[2];                  // the caller's pointers stored in pointer items
char buffer[32];
void *out;
constexpr int32_t kNull = 100; // pointer results, told apart from status codes
constexpr int32_t kNonNull = 101;

int32_t Got(const void *pointer) { return pointer != nullptr ? kNonNull : kNull; }

// A copy handed out is released behind the trace's back: the record holds
// only what the store itself did.
int32_t Copied(char *copy)
{
    if (copy != nullptr)
        nextFree(copy);
    return Got(copy);
}

int32_t CountItem(const char *, const char *, void *, void *context)
{
    ++*static_cast<int *>(context);
    return 0;
}

class StoreLocking : public testing::Test {
protected:
    void SetUp() override
    {
        nextMalloc = QvuMalloc;
        nextFree = QvuFree;
        QvSetUtilAllocators(TracingMalloc, nullptr, TracingFree); // the store never reallocates
        ASSERT_EQ(QvAllocStore(&store), QV_OK);
        EXPECT_EQ(Signature(), "m") << "creation calls no OS-layer operation";
        events.clear();
        QvGetItem(store, "", ""); // locks and changes nothing: shows the mutex
        ASSERT_EQ(Signature(), "IAIR");
        mutex = events[1].address;
        events.clear();
    }

    void TearDown() override
    {
        if (store != nullptr) {
            EXPECT_EQ(QvFreeStore(store), QV_OK);
        }
        QvSetUtilAllocators(nextMalloc, nullptr, nextFree);
        EXPECT_EQ(counting.LiveBlocks(), 0u) << "leaked";
        EXPECT_TRUE(faults.empty()) << faults.front();
        events.clear();
        holders.clear();
        faults.clear();
    }

    void Seed()
    {
        ASSERT_EQ(QvAddItem(store, "Sec", "str", "value"), QV_OK);
        ASSERT_EQ(QvStorePtr(store, "Sec", "ptr", &dummy[0]), QV_OK);
        events.clear();
    }

    // One hold of this store's mutex with nothing but allocator calls under
    // it, nothing before or after it, and the mutex free again on return.
    void ExpectLockedOnce()
    {
        std::string sig = Signature();
        EXPECT_TRUE(sig.size() >= 4 && sig.compare(0, 2, "IA") == 0
                    && sig.find_first_not_of("mf", 2) == sig.size() - 2
                    && sig.compare(sig.size() - 2, 2, "IR") == 0)
            << sig;
        for (const Event &e : events)
            EXPECT_TRUE((e.kind != Ev::Acquire && e.kind != Ev::Release) || e.address == mutex);
        EXPECT_FALSE(holders[mutex].held) << "returned holding the lock";
    }

    qvtest::CountingAllocator counting;
    TripletStore *store = nullptr;
    const void *mutex = nullptr;
};

// ---- Every store operation, with the lock it must or must not take ------

struct LockCase {
    const char *name;
    int32_t (*call)(TripletStore *);
    int32_t expected;
    bool locks;
    bool seeded = true;
};

void PrintTo(const LockCase &c, std::ostream *os) { *os << c.name; }

#define OP(expression) +[](TripletStore *s) -> int32_t { (void)s; return expression; }

const LockCase kCases[] = {
    // Arguments tested before locking.
    {"FindNullSection", OP(QvFindItem(s, nullptr, "str", buffer, 32)), QV_INVALID_ARG, false},
    {"FindNullKey", OP(QvFindItem(s, "Sec", nullptr, buffer, 32)), QV_INVALID_ARG, false},
    {"FindNullBuffer", OP(QvFindItem(s, "Sec", "str", nullptr, 32)), QV_INVALID_ARG, false},
    {"FindSizeZero", OP(QvFindItem(s, "Sec", "str", buffer, 0)), QV_INVALID_ARG, false},
    {"CopyNullSection", OP(Copied(QvCopyItem(s, nullptr, "str"))), kNull, false},
    {"CopyNullKey", OP(Copied(QvCopyItem(s, "Sec", nullptr))), kNull, false},
    {"GetNullSection", OP(Got(QvGetItem(s, nullptr, "str"))), kNull, false},
    {"GetNullKey", OP(Got(QvGetItem(s, "Sec", nullptr))), kNull, false},
    // Walks take no lock at all.
    {"IterateAll", OP(QvStoreIterate(s, nullptr, CountItem, dummy, nullptr)), QV_OK, false},
    {"IterateSection", OP(QvStoreIterate(s, "SEC", CountItem, dummy, nullptr)), QV_OK, false},
    // Arguments tested after locking: refused under one lock hold.
    {"AddNullSection", OP(QvAddItem(s, nullptr, "k", "v")), QV_INVALID_ARG, true},
    {"AddNullKey", OP(QvAddItem(s, "Sec", nullptr, "v")), QV_INVALID_ARG, true},
    {"AddNullValue", OP(QvAddItem(s, "Sec", "k", nullptr)), QV_INVALID_ARG, true},
    {"RemoveNullSection", OP(QvRemoveItem(s, nullptr, "str")), QV_INVALID_ARG, true},
    {"RemoveNullKey", OP(QvRemoveItem(s, "Sec", nullptr)), QV_INVALID_ARG, true},
    {"StorePtrNullSection", OP(QvStorePtr(s, nullptr, "p", dummy)), QV_INVALID_ARG, true},
    {"StorePtrNullKey", OP(QvStorePtr(s, "Sec", nullptr, dummy)), QV_INVALID_ARG, true},
    {"RetrieveNullSection", OP(QvRetrievePtr(s, nullptr, "ptr", &out)), QV_INVALID_ARG, true},
    {"RetrieveNullKey", OP(QvRetrievePtr(s, "Sec", nullptr, &out)), QV_INVALID_ARG, true},
    {"RetrieveNullOut", OP(QvRetrievePtr(s, "Sec", "ptr", nullptr)), QV_INVALID_ARG, true},
    // Found, not found and the other type: one lock hold each.
    {"AddNew", OP(QvAddItem(s, "Sec", "new", "v")), QV_OK, true},
    {"AddReplace", OP(QvAddItem(s, "SEC", "STR", "w")), QV_OK, true},
    {"AddOverPointer", OP(QvAddItem(s, "Sec", "ptr", "w")), QV_OK, true},
    {"RemoveString", OP(QvRemoveItem(s, "Sec", "str")), QV_OK, true},
    {"RemovePointer", OP(QvRemoveItem(s, "Sec", "ptr")), QV_OK, true},
    {"RemoveMissing", OP(QvRemoveItem(s, "Sec", "none")), QV_NOT_FOUND, true},
    {"FindString", OP(QvFindItem(s, "sec", "str", buffer, 32)), QV_OK, true},
    {"FindMissing", OP(QvFindItem(s, "Sec", "none", buffer, 32)), QV_NOT_FOUND, true},
    {"FindPointer", OP(QvFindItem(s, "Sec", "ptr", buffer, 32)), QV_BAD_DATA, true},
    {"CopyString", OP(Copied(QvCopyItem(s, "Sec", "str"))), kNonNull, true},
    {"CopyMissing", OP(Copied(QvCopyItem(s, "Sec", "none"))), kNull, true},
    {"CopyPointer", OP(Copied(QvCopyItem(s, "Sec", "ptr"))), kNull, true},
    {"GetString", OP(Got(QvGetItem(s, "Sec", "str"))), kNonNull, true},
    {"GetPointer", OP(Got(QvGetItem(s, "Sec", "ptr"))), kNonNull, true},
    {"GetMissing", OP(Got(QvGetItem(s, "Sec", "none"))), kNull, true},
    {"StorePtrNew", OP(QvStorePtr(s, "Sec", "p2", dummy)), QV_OK, true},
    {"StorePtrReplace", OP(QvStorePtr(s, "Sec", "PTR", &dummy[1])), QV_OK, true},
    {"StorePtrOverString", OP(QvStorePtr(s, "Sec", "str", dummy)), QV_BAD_DATA, true},
    {"RetrievePointer", OP(QvRetrievePtr(s, "Sec", "ptr", &out)), QV_OK, true},
    {"RetrieveMissing", OP(QvRetrievePtr(s, "Sec", "none", &out)), QV_NOT_FOUND, true},
    {"RetrieveString", OP(QvRetrievePtr(s, "Sec", "str", &out)), QV_BAD_DATA, true},
    {"ClearFull", OP(QvClearStore(s)), QV_OK, true},
    {"ClearEmpty", OP(QvClearStore(s)), QV_OK, true, false},
};

class StoreLockingTable : public StoreLocking, public testing::WithParamInterface<LockCase> {};

TEST_P(StoreLockingTable, TakesTheLockOnceOrNotAtAll)
{
    const LockCase &c = GetParam();
    if (c.seeded)
        Seed();
    EXPECT_EQ(c.call(store), c.expected);
    if (c.locks)
        ExpectLockedOnce();
    else
        EXPECT_EQ(Signature(), "") << "no OS-layer or allocator call expected";
}

// The same calls on a null store are refused before the OS layer is touched.
TEST_P(StoreLockingTable, NullStoreIsRefusedWithoutAnyCall)
{
    const LockCase &c = GetParam();
    bool pointer = c.expected == kNull || c.expected == kNonNull;
    EXPECT_EQ(c.call(nullptr), pointer ? kNull : QV_INVALID_ARG);
    EXPECT_EQ(Signature(), "");
}

INSTANTIATE_TEST_SUITE_P(EveryOperation, StoreLockingTable, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<LockCase> &param) {
                             return std::string(param.param.name);
                         });

// ---- Lifecycle and failures --------------------------------------------

TEST_F(StoreLocking, FreeStoreFreesTheMutexOnceWithoutLockingThenTheStore)
{
    Seed();
    EXPECT_EQ(QvFreeStore(nullptr), QV_INVALID_ARG);
    ASSERT_EQ(QvFreeStore(store), QV_OK);
    std::string sig = Signature();
    ASSERT_GE(sig.size(), 2u);
    EXPECT_EQ(sig.find_first_not_of('f'), sig.size() - 2) << sig;
    EXPECT_EQ(sig.substr(sig.size() - 2), "Ff") << sig;
    EXPECT_EQ(events[sig.size() - 2].address, mutex);
    EXPECT_EQ(events.back().address, static_cast<void *>(store)) << "the store goes last";
    store = nullptr;
}

TEST_F(StoreLocking, MutexIsEmbeddedInItsStoreAndDistinctPerStore)
{
    TripletStore *other = nullptr;
    ASSERT_EQ(QvAllocStore(&other), QV_OK);
    events.clear();
    for (TripletStore *s : {store, other, store, other}) { // interleaved work
        EXPECT_EQ(QvAddItem(s, "Sec", "k", "v"), QV_OK);
        EXPECT_NE(QvGetItem(s, "Sec", "k"), nullptr);
        EXPECT_EQ(QvClearStore(s), QV_OK);
    }
    std::map<const void *, int> acquires;
    for (const Event &e : events)
        if (e.kind == Ev::Acquire)
            ++acquires[e.address];
    ASSERT_EQ(acquires.size(), 2u) << "one mutex per store";
    const void *otherMutex = acquires.begin()->first == mutex ? acquires.rbegin()->first
                                                              : acquires.begin()->first;
    EXPECT_EQ(acquires[mutex], 6);
    EXPECT_EQ(acquires[otherMutex], 6);
    for (auto [s, m] : {std::pair{store, mutex}, {other, otherMutex}}) {
        auto *base = reinterpret_cast<const char *>(s);
        auto *inside = static_cast<const char *>(m);
        EXPECT_TRUE(inside >= base && inside + sizeof(QvMutex) <= base + counting.BlockSize(s))
            << "the mutex lies inside its store's own block";
    }
    events.clear();
    ASSERT_EQ(QvFreeStore(other), QV_OK);
    EXPECT_EQ(events[events.size() - 2].address, otherMutex);
}

// Every allocation an operation makes happens under the lock; failing any of
// them must still end in a release, with nothing left allocated.
TEST_F(StoreLocking, FailedAllocationUnderTheLockStillReleasesIt)
{
    const LockCase allocating[] = {
        {"AddNew", OP(QvAddItem(s, "Sec", "new", "v")), QV_OK, true},
        {"AddReplace", OP(QvAddItem(s, "Sec", "str", "w")), QV_OK, true},
        {"StorePtrNew", OP(QvStorePtr(s, "Sec", "p2", dummy)), QV_OK, true},
        {"CopyString", OP(Copied(QvCopyItem(s, "Sec", "str"))), kNonNull, true},
    };
    Seed();
    for (const LockCase &c : allocating) {
        size_t live = counting.LiveBlocks();
        int32_t result = -1;
        for (size_t nth = 1; nth <= 8 && result != c.expected; ++nth) {
            SCOPED_TRACE(testing::Message() << c.name << ", allocation " << nth << " fails");
            counting.FailAt(nth);
            events.clear();
            result = c.call(store);
            ExpectLockedOnce();
            if (result != c.expected) {
                EXPECT_EQ(result, c.expected == kNonNull ? kNull : QV_NO_MEMORY);
                EXPECT_EQ(counting.LiveBlocks(), live);
            }
        }
        EXPECT_EQ(result, c.expected) << c.name << " never succeeded";
        counting.Reset();
    }
}

} // namespace
