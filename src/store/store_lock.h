/* SPDX-License-Identifier: MIT */
// store_lock.h - the one lock protocol of the store: the thread identity,
// acquire; the work; the identity again, release.  Held for a scope, so
// every path out of a locked operation releases exactly once.
#pragma once

#include <qv-os.h>

#include "store/store_table.h"

namespace qv {

class StoreLock {
public:
    explicit StoreLock(TripletStore *store) : mutex_(&store->mutex)
    {
        QvAcquireMutex(mutex_, QvGetThreadID());
    }
    ~StoreLock() { QvReleaseMutex(mutex_, QvGetThreadID()); }
    StoreLock(const StoreLock &) = delete;
    StoreLock &operator=(const StoreLock &) = delete;

private:
    QvMutex *mutex_;
};

} // namespace qv
