// SPDX-License-Identifier: MIT
// store_iteration.cpp - walking a store: buckets in increasing order, newest
// first within a bucket, or one section's bucket alone.
//
// No lock is taken, so the callback may call the item operations on the same
// store.  The cursor stands on the link of the item last handed out: the
// callback may remove any other item, but not that one.
#include "store/store_table.h"
#include "utilities/ident.h"

QV_MODULE_IDENT("store_iteration", "1.0");

namespace qv {
namespace {

int32_t SetStoreCursor(StoreCursor *cursor, const char *section)
{
    if (cursor == nullptr)
        return QV_INVALID_ARG;
    cursor->bucket = TripHash(section);
    cursor->singleBucket = 1;
    return QV_OK;
}

int32_t StoreIterate(TripletStore *store, StoreCursor *cursor, TripNode **item)
{
    if (store == nullptr || cursor == nullptr || item == nullptr)
        return QV_INVALID_ARG;
    *item = nullptr;
    while (cursor->bucket < kBuckets) {
        cursor->link = cursor->link == nullptr ? store->buckets[cursor->bucket]
                                               : cursor->link->next;
        if (cursor->link != nullptr) {
            *item = cursor->link->node;
            return QV_OK;
        }
        if (cursor->singleBucket)
            break;
        ++cursor->bucket;
    }
    return QV_DONE;
}

} // namespace
} // namespace qv

extern "C" int32_t QvStoreIterate(TripletStore *store, const char *section,
                                  StoreCallback callback, void *context, int32_t *lastResult)
{
    if (store == nullptr || callback == nullptr)
        return QV_INVALID_ARG;
    qv::StoreCursor cursor = qv::StoreCursor0;
    if (section != nullptr)
        qv::SetStoreCursor(&cursor, section);
    int32_t last = 0;
    qv::TripNode *item;
    while (qv::StoreIterate(store, &cursor, &item) != QV_DONE) {
        // A bucket may hold other sections whose hashes coincide.
        if (section != nullptr && QvStrCmpCI(section, item->section) != 0)
            continue;
        last = callback(item->section, item->key, item->value, context);
        if (last != 0)
            break;
    }
    if (lastResult != nullptr)
        *lastResult = last;
    return QV_OK;
}
