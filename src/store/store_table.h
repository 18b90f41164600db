/* SPDX-License-Identifier: MIT */
// store_table.h - the store's records and the four operations every store
// function rests on, shared by the store's files and nothing else.
//
// The table has 256 buckets chosen by the section alone; each item sits in
// the list of all items and in one bucket chain, both newest first.  None of
// these operations locks: the item operations hold the store's mutex around
// them (StoreLock), the lifecycle and the walk use the records directly.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <qv-os.h>
#include <qv-utility.h>

namespace qv {

// One item's content, and the form in which an addition hands a new item to
// StoreInsert.
struct CfgTriplet {
    char *section;
    char *key;
    uint8_t sectionHash; // TripHash(section): the item's bucket
    uint8_t keyHash;     // TripHash(key): compared before any string
    int32_t type;        // QV_ITEM_STRING or QV_ITEM_POINTER
    void *value;
};

// A stored item: a triplet's fields, then the link of the list of all items.
struct TripNode {
    char *section;
    char *key;
    uint8_t sectionHash;
    uint8_t keyHash;
    int32_t type;
    void *value;
    TripNode *next;
};

// One link of a bucket chain.
struct TripHashNode {
    TripNode *node;
    TripHashNode *next;
};

constexpr unsigned kBuckets = 256;

// A position in a walk: the bucket, whether the walk stays in it, and the
// link visited last (null before a bucket's first item).
struct StoreCursor {
    uint32_t bucket;
    int32_t singleBucket;
    TripHashNode *link;
};

} // namespace qv

struct TripletStore {
    qv::TripNode *items;                  // newest first
    qv::TripHashNode *buckets[qv::kBuckets];
    QvMutex mutex;                        // all-zero is unlocked
};

namespace qv {

// Every record starts as a copy of its all-zero template.
inline constexpr CfgTriplet CfgTriplet0 = {};
inline constexpr TripNode TripNode0 = {};
inline constexpr TripHashNode TripHashNode0 = {};
inline constexpr TripletStore TripletStore0 = {};
inline constexpr StoreCursor StoreCursor0 = {};

static_assert(sizeof(void *) != 4 || (sizeof(CfgTriplet) == 20 && sizeof(TripNode) == 24
                                      && sizeof(TripHashNode) == 8
                                      && sizeof(TripletStore) == 4 + 256 * 4 + sizeof(QvMutex)),
              "the i386 record layout");
static_assert(offsetof(TripNode, next) == sizeof(CfgTriplet),
              "a node starts with a triplet's fields");

// The bucket of a name: the 16-bit sum of its case-folded bytes, hashed by
// multiplication with 40503 and keeping bits 8 to 15.  Names equal under
// QvStrCmpCI hash alike.  Null and "" give 0.
uint32_t TripHash(const char *name);

// The item that section and key name, in *found (null when there is none).
int32_t SearchStore(TripletStore *store, const char *section, const char *key,
                    TripNode **found);

// Adds a node and a link for the triplet, which the caller has just looked
// up without a match; on success the store owns the triplet's strings.
int32_t StoreInsert(TripletStore *store, const CfgTriplet *triplet);

// Unlinks and releases the item that section and key name.
int32_t StoreRemove(TripletStore *store, const char *section, const char *key);

// Releases every item and every link; the heads are left as they were.
void ReleaseAllItems(TripletStore *store);

} // namespace qv
