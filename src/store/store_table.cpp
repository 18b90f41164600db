// SPDX-License-Identifier: MIT
// store_table.cpp - the store's hash, lookup, insertion and removal, and the
// release of everything a store holds.
#include "store/store_table.h"
#include "utilities/allocator.h"
#include "utilities/ident.h"
#include "utilities/names.h"

QV_MODULE_IDENT("store_table", "1.0");

namespace qv {

namespace {

// An item matches when it sits in the section's bucket (the walk's chain),
// its key hash agrees, and both names compare equal; the cheap byte first.
bool Matches(const TripNode *node, const char *section, const char *key, uint8_t keyHash)
{
    return node->keyHash == keyHash && QvStrCmpCI(node->section, section) == 0
           && QvStrCmpCI(node->key, key) == 0;
}

void ReleaseNode(TripNode *node)
{
    Release(node->section);
    Release(node->key);
    if (node->type == QV_ITEM_STRING)
        Release(node->value);
    Release(node);
}

} // namespace

uint32_t TripHash(const char *name)
{
    if (name == nullptr)
        return 0;
    // Folded as the comparisons fold, so names they find equal hash alike.
    const int32_t *lower = LocaleLowerTable();
    uint32_t sum = 0;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(name); *p != 0; ++p)
        sum += FoldByte(*p, lower);
    return (((sum & 0xFFFFu) * 40503u) >> 8) & 0xFFu;
}

int32_t SearchStore(TripletStore *store, const char *section, const char *key,
                    TripNode **found)
{
    if (section == nullptr || key == nullptr || found == nullptr)
        return QV_INVALID_ARG;
    *found = nullptr;
    if (store == nullptr)
        return QV_NOT_FOUND;
    uint8_t keyHash = static_cast<uint8_t>(TripHash(key));
    for (TripHashNode *link = store->buckets[TripHash(section)]; link != nullptr;
         link = link->next) {
        if (Matches(link->node, section, key, keyHash)) {
            *found = link->node;
            return QV_OK;
        }
    }
    return QV_NOT_FOUND;
}

int32_t StoreInsert(TripletStore *store, const CfgTriplet *triplet)
{
    if (store == nullptr || triplet == nullptr || triplet->section == nullptr
        || triplet->key == nullptr)
        return QV_INVALID_ARG;
    auto *node = static_cast<TripNode *>(Allocate(sizeof(TripNode)));
    if (node == nullptr)
        return QV_NO_MEMORY;
    *node = TripNode0;
    auto *link = static_cast<TripHashNode *>(Allocate(sizeof(TripHashNode)));
    if (link == nullptr) {
        Release(node);
        return QV_NO_MEMORY;
    }
    *link = TripHashNode0;

    link->node = node;
    node->section = triplet->section;
    node->key = triplet->key;
    node->type = triplet->type;
    node->value = triplet->value;
    node->sectionHash = static_cast<uint8_t>(TripHash(node->section));
    node->keyHash = static_cast<uint8_t>(TripHash(node->key));

    node->next = store->items;
    store->items = node;
    link->next = store->buckets[node->sectionHash];
    store->buckets[node->sectionHash] = link;
    return QV_OK;
}

int32_t StoreRemove(TripletStore *store, const char *section, const char *key)
{
    if (store == nullptr || section == nullptr || key == nullptr)
        return QV_INVALID_ARG;
    uint8_t keyHash = static_cast<uint8_t>(TripHash(key));
    TripHashNode **linkSlot = &store->buckets[TripHash(section)];
    while (*linkSlot != nullptr && !Matches((*linkSlot)->node, section, key, keyHash))
        linkSlot = &(*linkSlot)->next;
    TripHashNode *link = *linkSlot;
    if (link == nullptr)
        return QV_NOT_FOUND;
    *linkSlot = link->next;

    // The list of all items is singly linked: find the node's predecessor.
    TripNode *node = link->node;
    TripNode **nodeSlot = &store->items;
    while (*nodeSlot != node)
        nodeSlot = &(*nodeSlot)->next;
    Release(link);
    *nodeSlot = node->next;
    ReleaseNode(node);
    return QV_OK;
}

void ReleaseAllItems(TripletStore *store)
{
    for (TripNode *node = store->items; node != nullptr;) {
        TripNode *next = node->next;
        ReleaseNode(node);
        node = next;
    }
    for (TripHashNode *head : store->buckets) {
        for (TripHashNode *link = head; link != nullptr;) {
            TripHashNode *next = link->next;
            Release(link);
            link = next;
        }
    }
}

} // namespace qv
