// SPDX-License-Identifier: MIT
// store_lifecycle.cpp - creating, emptying and destroying a store.
#include "store/store_lock.h"
#include "store/store_table.h"
#include "utilities/allocator.h"
#include "utilities/ident.h"

QV_MODULE_IDENT("store_lifecycle", "1.0");

using qv::StoreLock;

extern "C" {

int32_t QvAllocStore(TripletStore **store)
{
    if (store == nullptr)
        return QV_INVALID_ARG;
    // Written at once: on failure the caller's pointer is null, not stale.
    *store = static_cast<TripletStore *>(qv::Allocate(sizeof(TripletStore)));
    if (*store == nullptr)
        return QV_NO_MEMORY;
    **store = qv::TripletStore0;
    return QV_OK;
}

int32_t QvClearStore(TripletStore *store)
{
    if (store == nullptr)
        return QV_INVALID_ARG;
    StoreLock lock(store);
    qv::ReleaseAllItems(store);
    store->items = nullptr;
    for (qv::TripHashNode *&head : store->buckets)
        head = nullptr;
    return QV_OK;
}

// No lock: from this call on nobody else may use the store, and the mutex
// must be free when it is handed back to the OS layer.
int32_t QvFreeStore(TripletStore *store)
{
    if (store == nullptr)
        return QV_INVALID_ARG;
    qv::ReleaseAllItems(store);
    QvFreeMutex(&store->mutex);
    qv::Release(store);
    return QV_OK;
}

} // extern "C"
