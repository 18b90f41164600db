// SPDX-License-Identifier: MIT
// store_model.cpp - see store_model.h.
#include "store_model.h"

namespace storetest {

std::string Describe(const void *value)
{
    auto *bytes = static_cast<const char *>(value);
    if (bytes == nullptr)
        return "<null>";
    if (bytes >= gTokens && bytes < gTokens + sizeof gTokens)
        return "<ptr " + std::to_string(bytes - gTokens) + ">";
    return bytes;
}

const Item *StoreModel::Find(std::string_view section, std::string_view key) const
{
    auto found = std::find_if(items_.begin(), items_.end(), [&](const Item &item) {
        return SameName(item.section, section) && SameName(item.key, key);
    });
    return found != items_.end() ? &*found : nullptr;
}

int32_t StoreModel::Add(std::string_view section, std::string_view key, std::string_view value)
{
    // A replaced value leaves the names as first added; a pointer item
    // becomes a string item.
    if (auto *item = const_cast<Item *>(Find(section, key))) {
        item->pointer = false;
        item->text = value;
        item->ptr = nullptr;
    } else {
        items_.insert(items_.begin(), {nextId_++, std::string(section), std::string(key), RefHash(section),
                                       false, std::string(value), nullptr});
    }
    return QV_OK;
}

int32_t StoreModel::StorePtr(std::string_view section, std::string_view key, void *pointer)
{
    auto *item = const_cast<Item *>(Find(section, key));
    if (item == nullptr)
        items_.insert(items_.begin(),
                      {nextId_++, std::string(section), std::string(key), RefHash(section), true, "", pointer});
    else if (!item->pointer)
        return QV_BAD_DATA;
    else
        item->ptr = pointer;
    return QV_OK;
}

int32_t StoreModel::Remove(std::string_view section, std::string_view key)
{
    const Item *item = Find(section, key);
    if (item == nullptr)
        return QV_NOT_FOUND;
    items_.erase(items_.begin() + (item - items_.data()));
    return QV_OK;
}

// All of the buffer is written: the value cut to fit, then NULs.
int32_t StoreModel::FindInto(std::string_view section, std::string_view key, std::string &buffer) const
{
    const Item *item = Find(section, key);
    if (item == nullptr || item->pointer)
        return item == nullptr ? QV_NOT_FOUND : QV_BAD_DATA;
    std::string bytes = item->text.substr(0, buffer.size() - 1);
    bytes.resize(buffer.size(), '\0');
    buffer = bytes;
    return QV_OK;
}

const std::string *StoreModel::Text(std::string_view section, std::string_view key) const
{
    const Item *item = Find(section, key);
    return item != nullptr && !item->pointer ? &item->text : nullptr;
}

std::string StoreModel::Get(std::string_view section, std::string_view key) const
{
    const Item *item = Find(section, key);
    return item != nullptr ? item->AsSeen().value : Describe(nullptr);
}

int32_t StoreModel::Retrieve(std::string_view section, std::string_view key, void **out) const
{
    const Item *item = Find(section, key);
    if (item == nullptr || !item->pointer)
        return item == nullptr ? QV_NOT_FOUND : QV_BAD_DATA;
    *out = item->ptr;
    return QV_OK;
}

size_t StoreModel::Blocks() const
{
    size_t blocks = 1;
    for (const Item &item : items_)
        blocks += item.pointer ? 4 : 5;
    return blocks;
}

// Buckets upwards (or the filter's alone), newest first within one; a
// filtered walk passes over the other sections of its bucket.
const Item *StoreModel::Next(Cursor &cursor) const
{
    for (;;) {
        auto at = items_.begin();
        if (cursor.last != 0)
            at = std::find_if(at, items_.end(), [&](const Item &item) { return item.id == cursor.last; }) + 1;
        at = std::find_if(at, items_.end(), [&](const Item &item) { return item.bucket == cursor.bucket; });
        if (at != items_.end()) {
            cursor.last = at->id;
            if (cursor.filter == nullptr || SameName(cursor.filter, at->section))
                return &*at;
            continue;
        }
        unsigned next = 256;
        for (const Item &item : items_)
            if (item.bucket > cursor.bucket)
                next = std::min(next, item.bucket);
        if (cursor.filter != nullptr || next == 256)
            return nullptr;
        cursor.bucket = next;
        cursor.last = 0;
    }
}

std::vector<Seen> StoreModel::Walk(const char *filter) const
{
    std::vector<Seen> seen;
    Cursor cursor(filter);
    for (const Item *item; (item = Next(cursor)) != nullptr;)
        seen.push_back(item->AsSeen());
    return seen;
}

WalkRecord RecordWalk(TripletStore *store, const char *filter, Visit visit)
{
    struct Walker {
        std::vector<Seen> seen;
        Visit visit;
    } walker{{}, std::move(visit)};
    auto callback = [](const char *section, const char *key, void *value, void *context) {
        auto *w = static_cast<Walker *>(context);
        w->seen.push_back({section, key, Describe(value)});
        return w->visit ? w->visit(w->seen.back()) : 0;
    };
    int32_t last = -1;
    int32_t result = QvStoreIterate(store, filter, callback, &walker, &last);
    return {result, last, std::move(walker.seen)};
}

} // namespace storetest
