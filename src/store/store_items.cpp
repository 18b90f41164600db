// SPDX-License-Identifier: MIT
// store_items.cpp - adding, replacing, reading and removing single items.
//
// Each operation tests some arguments before it locks and the rest after,
// always the same ones for the same operation, so a host can rely on which
// failures touch the OS layer.  Additions copy everything they need before
// they change anything, so a failed allocation leaves the store as it was.
#include <string.h>

#include "store/store_lock.h"
#include "store/store_table.h"
#include "utilities/allocator.h"
#include "utilities/ident.h"

QV_MODULE_IDENT("store_items", "1.0");

using qv::StoreLock;
using qv::TripNode;

namespace {

// A new item from copies of its names (and of its value when value is a
// string to copy); releases whatever it obtained when any step fails.
int32_t InsertNew(TripletStore *store, const char *section, const char *key, int32_t type,
                  void *value)
{
    qv::CfgTriplet triplet = qv::CfgTriplet0;
    triplet.section = QvDupString(section);
    triplet.key = QvDupString(key);
    triplet.type = type;
    triplet.value = type == QV_ITEM_STRING ? QvDupString(static_cast<const char *>(value))
                                           : value;
    bool copied = triplet.section != nullptr && triplet.key != nullptr
                  && (type != QV_ITEM_STRING || triplet.value != nullptr);
    if (copied && qv::StoreInsert(store, &triplet) == QV_OK)
        return QV_OK;
    // Only the copies that were made: a host's release hook need not take null.
    if (type == QV_ITEM_STRING && triplet.value != nullptr)
        qv::Release(triplet.value);
    if (triplet.key != nullptr)
        qv::Release(triplet.key);
    if (triplet.section != nullptr)
        qv::Release(triplet.section);
    return QV_NO_MEMORY;
}

// The string item that section and key name, or null; *status says why not.
TripNode *FindString(TripletStore *store, const char *section, const char *key,
                     int32_t *status)
{
    TripNode *node;
    *status = qv::SearchStore(store, section, key, &node);
    if (node != nullptr && node->type != QV_ITEM_STRING) {
        *status = QV_BAD_DATA;
        node = nullptr;
    }
    return node;
}

} // namespace

extern "C" {

int32_t QvAddItem(TripletStore *store, const char *section, const char *key,
                  const char *value)
{
    if (store == nullptr)
        return QV_INVALID_ARG;
    StoreLock lock(store);
    if (section == nullptr || key == nullptr || value == nullptr)
        return QV_INVALID_ARG;
    TripNode *node;
    if (qv::SearchStore(store, section, key, &node) != QV_OK)
        return InsertNew(store, section, key, QV_ITEM_STRING, const_cast<char *>(value));

    // The copy comes first: value may be the item's own current value.
    char *copy = QvDupString(value);
    if (copy == nullptr)
        return QV_NO_MEMORY;
    if (node->type == QV_ITEM_STRING)
        qv::Release(node->value);
    node->value = copy;
    node->type = QV_ITEM_STRING;
    return QV_OK;
}

int32_t QvRemoveItem(TripletStore *store, const char *section, const char *key)
{
    if (store == nullptr)
        return QV_INVALID_ARG;
    StoreLock lock(store);
    if (section == nullptr || key == nullptr)
        return QV_INVALID_ARG;
    return qv::StoreRemove(store, section, key);
}

int32_t QvFindItem(TripletStore *store, const char *section, const char *key, char *buffer,
                   uint32_t size)
{
    if (store == nullptr || section == nullptr || key == nullptr || buffer == nullptr
        || size == 0)
        return QV_INVALID_ARG;
    StoreLock lock(store);
    int32_t status;
    TripNode *node = FindString(store, section, key, &status);
    if (node == nullptr)
        return status;
    // Every byte of the buffer is written: the value, cut without notice,
    // then NULs.
    strncpy(buffer, static_cast<const char *>(node->value), size);
    buffer[size - 1] = '\0';
    return QV_OK;
}

char *QvCopyItem(TripletStore *store, const char *section, const char *key)
{
    if (store == nullptr || section == nullptr || key == nullptr)
        return nullptr;
    StoreLock lock(store);
    int32_t ignored;
    TripNode *node = FindString(store, section, key, &ignored);
    return node != nullptr ? QvDupString(static_cast<const char *>(node->value)) : nullptr;
}

void *QvGetItem(TripletStore *store, const char *section, const char *key)
{
    if (store == nullptr || section == nullptr || key == nullptr)
        return nullptr;
    StoreLock lock(store);
    TripNode *node;
    qv::SearchStore(store, section, key, &node);
    return node != nullptr ? node->value : nullptr;
}

int32_t QvStorePtr(TripletStore *store, const char *section, const char *key, void *pointer)
{
    if (store == nullptr)
        return QV_INVALID_ARG;
    StoreLock lock(store);
    if (section == nullptr || key == nullptr)
        return QV_INVALID_ARG;
    TripNode *node;
    if (qv::SearchStore(store, section, key, &node) != QV_OK)
        return InsertNew(store, section, key, QV_ITEM_POINTER, pointer);
    if (node->type != QV_ITEM_POINTER)
        return QV_BAD_DATA;
    node->value = pointer;
    return QV_OK;
}

int32_t QvRetrievePtr(TripletStore *store, const char *section, const char *key,
                      void **pointer)
{
    if (store == nullptr)
        return QV_INVALID_ARG;
    StoreLock lock(store);
    if (section == nullptr || key == nullptr || pointer == nullptr)
        return QV_INVALID_ARG;
    TripNode *node;
    if (qv::SearchStore(store, section, key, &node) != QV_OK)
        return QV_NOT_FOUND;
    if (node->type != QV_ITEM_POINTER)
        return QV_BAD_DATA;
    *pointer = node->value;
    return QV_OK;
}

} // extern "C"
