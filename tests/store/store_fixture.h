/* SPDX-License-Identifier: MIT */
// store_fixture.h - what the store tests share besides the model of
// store_model.h: a fresh store per test under a counting allocator and a
// traced OS layer (store_fixture.cpp) that checks the lock protocol of every
// call, and walks made while the store's mutex is held.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <qv-os.h>
#include <qv-utility.h>

#include "counting_allocator.h"
#include "store_model.h"

namespace storetest {

inline void PrintTo(const Seen &s, std::ostream *os)
{
    *os << testing::PrintToString(s.section) << "/" << testing::PrintToString(s.key) << "="
        << testing::PrintToString(s.value);
}

// The OS-layer calls since the last look, as letters: I identity, A acquire,
// R release, F free; then forgotten.
std::string TakeTrace();

// A fresh store, which must be back to no live block once it is freed, and
// no breach of the lock protocol.
class StoreTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Every item a walk hands to its callback, in order, the walk made
    // while this thread holds the store's mutex as a reader in another
    // thread might: a walk takes no lock, and must not read past the last
    // bucket (there lies the mutex, non-zero while held).  visit's result
    // goes back to the walk, and lastResult to *last.
    std::vector<Seen> LockedWalk(const char *filter = nullptr, Visit visit = {},
                                 int32_t *last = nullptr);

    qvtest::CountingAllocator counting;
    TripletStore *store = nullptr;
    QvMutex *mutex = nullptr; // the store's, as the OS layer was handed it
};

} // namespace storetest
