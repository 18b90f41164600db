// SPDX-License-Identifier: MIT
// store_fixture.cpp - the store tests' fixture, and the OS layer as they see
// it: this program defines the mutex calls itself, and the library binds to
// these definitions (the executable comes first in symbol lookup).  They
// record each call, check the lock protocol on the spot and forward to the
// real layer, found with RTLD_NEXT.  One thread only.
#include "store_fixture.h"

#include <dlfcn.h>

#include <map>
#include <utility>

#include <qv-os.h>

namespace {

std::string trace;
std::vector<std::string> breaches;
std::map<const QvMutex *, uint32_t> holders; // held mutexes and their holders
QvMutex *lastMutex; // of the last call that took one
uint32_t lastIdentity;

template <typename Fn> Fn Real(const char *name)
{
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}
const auto realIdentity = Real<uint32_t (*)()>("QvGetThreadID");
const auto realAcquire = Real<int32_t (*)(QvMutex *, uint32_t)>("QvAcquireMutex");
const auto realRelease = Real<int32_t (*)(QvMutex *, uint32_t)>("QvReleaseMutex");
const auto realFree = Real<int32_t (*)(QvMutex *)>("QvFreeMutex");

void Expect(bool ok, const char *breach)
{
    if (!ok)
        breaches.push_back(breach);
}

// Records an acquire or a release, and tells whether it keeps the protocol:
// the identity asked for right before and handed on as it came, no acquire
// of a held mutex (the real one would hang), no release by a non-holder.
bool Keeps(char call, QvMutex *mutex, uint32_t identity)
{
    Expect(!trace.empty() && trace.back() == 'I' && identity == lastIdentity,
           "the mutex called without the identity just obtained");
    trace += call;
    lastMutex = mutex;
    auto holder = holders.find(mutex);
    if (call == 'A' && holder == holders.end()) {
        holders[mutex] = identity;
        return true;
    }
    if (call == 'R' && holder != holders.end() && holder->second == identity) {
        holders.erase(holder);
        return true;
    }
    breaches.push_back(call == 'A' ? "acquired while held" : "released without being held by that thread");
    return false;
}

} // namespace

extern "C" {

uint32_t QvGetThreadID(void)
{
    trace += 'I';
    return lastIdentity = realIdentity();
}

int32_t QvAcquireMutex(QvMutex *mutex, uint32_t threadId)
{
    return Keeps('A', mutex, threadId) ? realAcquire(mutex, threadId) : 0;
}

int32_t QvReleaseMutex(QvMutex *mutex, uint32_t threadId)
{
    return Keeps('R', mutex, threadId) ? realRelease(mutex, threadId) : 0;
}

int32_t QvFreeMutex(QvMutex *mutex)
{
    trace += 'F';
    lastMutex = mutex;
    Expect(holders.count(mutex) == 0, "freed while held");
    return realFree(mutex);
}

} // extern "C"

namespace storetest {

std::string TakeTrace()
{
    return std::exchange(trace, {});
}

void StoreTest::SetUp()
{
    ASSERT_EQ(QvAllocStore(&store), QV_OK);
    QvGetItem(store, "", ""); // locks and changes nothing: shows the mutex
    ASSERT_EQ(TakeTrace(), "IAIR");
    mutex = lastMutex;
}

void StoreTest::TearDown()
{
    TakeTrace();
    EXPECT_EQ(QvFreeStore(store), QV_OK);
    EXPECT_EQ(TakeTrace(), "F") << "freeing takes no lock and frees the mutex once";
    EXPECT_EQ(lastMutex, mutex);
    EXPECT_EQ(counting.LiveBlocks(), 0u) << "leaked";
    for (const std::string &breach : breaches)
        ADD_FAILURE() << breach;
    breaches.clear();
    holders.clear();
}

std::vector<Seen> StoreTest::LockedWalk(const char *filter, Visit visit, int32_t *last)
{
    TakeTrace();
    uint32_t self = realIdentity();
    holders[mutex] = self;
    realAcquire(mutex, self);
    WalkRecord walk = RecordWalk(store, filter, std::move(visit));
    realRelease(mutex, self);
    holders.erase(mutex);
    EXPECT_EQ(TakeTrace(), "") << "a walk takes no lock";
    EXPECT_EQ(walk.result, QV_OK);
    if (last != nullptr)
        *last = walk.last;
    else
        EXPECT_EQ(walk.last, 0);
    return walk.seen;
}

} // namespace storetest
