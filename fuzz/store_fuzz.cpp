// SPDX-License-Identifier: MIT
// store_fuzz.cpp - libFuzzer harness for the keyed item store.  The input is
// decoded into operations: every item operation, clears, a store freed and
// made anew, calls with a missing argument, and whole and filtered walks
// whose callbacks add, replace, read and remove other items.  Names come
// from a small colliding pool in any letter case, or straight from the
// input, bytes from 0x80 included.  The input also says which allocation of
// an operation fails.  A plain list of items beside the store predicts every
// result, every byte of a caller's buffer, every item a walk hands out and,
// after every operation, the number of blocks the store holds.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>
#include <qv-utility.h>

#include "counting_allocator.h"
#include "store_reference.h"

namespace {

using storetest::RefHash;
using storetest::SameName;

// 'Ab' and 'ba' share a bucket, as do 'Ac' and '\xC4'; bytes from 0x80
// never fold, so '\xC4' and '\xE4' are two names.
const char *const kNames[] = {"", "a", "Ab", "ba", "Ac", "\xC4", "\xE4", "Section", "k", "x\xFF"};
const char *const kValues[] = {"", "v", "\xFF\x80", "a value longer than most buffers"};

// Pointer values: addresses no allocator handed out, so a store that
// released one would make the counting allocator abort.
char tokens[4];

void Require(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "store_fuzz: %s\n", what);
        std::abort();
    }
}

struct Item {
    uint64_t id;
    std::string section; // as first added
    std::string key;
    bool pointer;
    std::string text;
    void *ptr;
};

// Where a walk stands, as the documented cursor moves: buckets upwards (or
// the filter's alone), newest first within one, after the item handed last.
struct Cursor {
    const char *filter;
    unsigned bucket;
    uint64_t last; // 0 before a bucket's first item
};

enum Op { kAdd, kStorePtr, kRemove, kFind, kCopy, kGet, kRetrieve, kMissingArgument,
          kWalk, kClear, kRenew, kOps };
constexpr int kOpsInWalk = kWalk; // a callback may neither walk, clear nor free

class Session {
public:
    explicit Session(FuzzedDataProvider &in) : in_(in)
    {
        Require(QvAllocStore(&store_) == QV_OK, "first store");
    }

    void Run()
    {
        for (int steps = 0; in_.remaining_bytes() > 0 && steps < 300; ++steps) {
            Step(static_cast<Op>(in_.ConsumeIntegralInRange<int>(0, kOps - 1)), nullptr);
            CheckWholeWalk();
        }
        Require(QvFreeStore(store_) == QV_OK, "free");
        Require(counting_.LiveBlocks() == 0, "blocks left after the store was freed");
    }

private:
    // One operation; handed is the item a walk's callback was just given,
    // which the operation must not change.
    void Step(Op op, const Item *handed)
    {
        std::string section = Name(), key = Name();
        Item *item = Find(section, key);
        if (handed != nullptr && item != nullptr && item->id == handed->id && op <= kRemove)
            return;
        FailSomeAllocation();
        switch (op) {
        case kAdd: Add(section, key, item); break;
        case kStorePtr: StorePtr(section, key, item); break;
        case kRemove: Remove(section, key, item); break;
        case kFind: FindInto(section, key, item); break;
        case kCopy: Copy(section, key, item); break;
        case kGet: Get(section, key, item); break;
        case kRetrieve: Retrieve(section, key, item); break;
        case kMissingArgument: MissingArgument(section, key); break;
        case kWalk: Walk(); break;
        case kClear: Require(QvClearStore(store_) == QV_OK, "clear"); items_.clear(); break;
        case kRenew: Renew(); break;
        case kOps: break;
        }
        counting_.Reset();
        Require(counting_.LiveBlocks() == Blocks(), "blocks held differ from the items");
    }

    std::string Name()
    {
        uint8_t pick = in_.ConsumeIntegral<uint8_t>();
        if (pick >= 240)
            return in_.ConsumeRandomLengthString(8).c_str(); // up to a NUL
        std::string name = kNames[pick % std::size(kNames)];
        uint8_t upper = in_.ConsumeIntegral<uint8_t>();
        for (size_t i = 0; i < name.size() && i < 8; ++i)
            if ((upper >> i) & 1)
                name[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[i])));
        return name;
    }

    // Fails the nth allocation of the coming operation, or that one and
    // every later one.
    void FailSomeAllocation()
    {
        uint8_t f = in_.ConsumeIntegral<uint8_t>();
        failAt_ = f < 160 ? 0 : 1 + f % 6;
        counting_.FailAt(failAt_, (f & 0x40) != 0);
    }

    // Whether an operation that makes this many allocations meets the failure.
    bool Fails(size_t allocations) const { return failAt_ != 0 && failAt_ <= allocations; }

    Item *Find(const std::string &section, const std::string &key)
    {
        for (Item &item : items_)
            if (SameName(item.section, section) && SameName(item.key, key))
                return &item;
        return nullptr;
    }

    // The store itself, then per item its names, its node and its link, and
    // the copy of a string value.
    size_t Blocks() const
    {
        size_t blocks = 1;
        for (const Item &item : items_)
            blocks += item.pointer ? 4 : 5;
        return blocks;
    }

    void Add(const std::string &section, const std::string &key, Item *item)
    {
        // The value may also be the item's own current value, as QvGetItem
        // hands it out.
        uint8_t pick = in_.ConsumeIntegral<uint8_t>();
        std::string value = pick < 128 ? kValues[pick % std::size(kValues)]
                                       : in_.ConsumeRandomLengthString(40).c_str();
        const char *argument = value.c_str();
        if (pick % 8 == 0 && item != nullptr && !item->pointer) {
            argument = static_cast<const char *>(QvGetItem(store_, section.c_str(), key.c_str()));
            value = item->text;
        }
        bool fails = Fails(item != nullptr ? 1 : 5);
        Require(QvAddItem(store_, section.c_str(), key.c_str(), argument)
                    == (fails ? QV_NO_MEMORY : QV_OK),
                "add");
        if (fails)
            return;
        if (item != nullptr)
            *item = {item->id, item->section, item->key, false, value, nullptr};
        else
            items_.insert(items_.begin(), {nextId_++, section, key, false, value, nullptr});
    }

    void StorePtr(const std::string &section, const std::string &key, Item *item)
    {
        uint8_t pick = in_.ConsumeIntegral<uint8_t>() % (std::size(tokens) + 1);
        void *pointer = pick == 0 ? nullptr : &tokens[pick - 1];
        bool fails = item == nullptr && Fails(4);
        int32_t expected = item != nullptr && !item->pointer ? QV_BAD_DATA
                           : fails                          ? QV_NO_MEMORY
                                                            : QV_OK;
        Require(QvStorePtr(store_, section.c_str(), key.c_str(), pointer) == expected,
                "store pointer");
        if (expected != QV_OK)
            return;
        if (item != nullptr)
            item->ptr = pointer;
        else
            items_.insert(items_.begin(), {nextId_++, section, key, true, "", pointer});
    }

    void Remove(const std::string &section, const std::string &key, Item *item)
    {
        Require(QvRemoveItem(store_, section.c_str(), key.c_str())
                    == (item != nullptr ? QV_OK : QV_NOT_FOUND),
                "remove");
        if (item != nullptr)
            items_.erase(items_.begin() + (item - items_.data()));
    }

    // A buffer of exactly the size passed, so that a write past it is seen:
    // as long as the value with its NUL, one byte short, one byte, or any.
    void FindInto(const std::string &section, const std::string &key, const Item *item)
    {
        size_t length = item != nullptr ? item->text.size() : 0;
        uint8_t pick = in_.ConsumeIntegral<uint8_t>();
        uint32_t size = pick % 4 == 0   ? length + 1
                        : pick % 4 == 1 ? std::max<size_t>(length, 1)
                        : pick % 4 == 2 ? 1
                                        : 1 + pick / 4;
        std::unique_ptr<char[]> buffer(new char[size]);
        std::memset(buffer.get(), '#', size);
        std::string expected(buffer.get(), size);
        int32_t result = item == nullptr ? QV_NOT_FOUND : item->pointer ? QV_BAD_DATA : QV_OK;
        if (result == QV_OK) {
            expected = item->text.substr(0, size - 1);
            expected.resize(size, '\0');
        }
        Require(QvFindItem(store_, section.c_str(), key.c_str(), buffer.get(), size) == result,
                "find");
        Require(std::string(buffer.get(), size) == expected, "find wrote other bytes");
    }

    void Copy(const std::string &section, const std::string &key, const Item *item)
    {
        char *copy = QvCopyItem(store_, section.c_str(), key.c_str());
        if (item == nullptr || item->pointer || Fails(1)) {
            Require(copy == nullptr, "copy of nothing");
            return;
        }
        Require(copy != nullptr && item->text == copy, "copy");
        QvuFree(copy);
    }

    void Get(const std::string &section, const std::string &key, const Item *item)
    {
        void *value = QvGetItem(store_, section.c_str(), key.c_str());
        if (item == nullptr)
            Require(value == nullptr, "get of nothing");
        else if (item->pointer)
            Require(value == item->ptr, "get of a pointer");
        else
            Require(value != nullptr && item->text == static_cast<char *>(value), "get");
    }

    void Retrieve(const std::string &section, const std::string &key, const Item *item)
    {
        void *out = &tokens[0];
        int32_t expected = item == nullptr ? QV_NOT_FOUND : item->pointer ? QV_OK : QV_BAD_DATA;
        Require(QvRetrievePtr(store_, section.c_str(), key.c_str(), &out) == expected, "retrieve");
        Require(out == (expected == QV_OK ? item->ptr : &tokens[0]), "retrieve wrote");
    }

    // Each call leaves out one argument it needs; all answer QV_INVALID_ARG
    // (null for the calls that return a pointer) and change nothing.
    void MissingArgument(const std::string &name, const std::string &other)
    {
        using Call = int32_t (*)(TripletStore *, const char *, const char *);
        static const Call kCalls[] = {
            [](TripletStore *, const char *s, const char *k) { return QvAddItem(nullptr, s, k, k); },
            [](TripletStore *t, const char *, const char *k) { return QvAddItem(t, nullptr, k, k); },
            [](TripletStore *t, const char *s, const char *) { return QvAddItem(t, s, nullptr, s); },
            [](TripletStore *t, const char *s, const char *k) { return QvAddItem(t, s, k, nullptr); },
            [](TripletStore *, const char *s, const char *k) { return QvRemoveItem(nullptr, s, k); },
            [](TripletStore *t, const char *, const char *k) { return QvRemoveItem(t, nullptr, k); },
            [](TripletStore *t, const char *s, const char *) { return QvRemoveItem(t, s, nullptr); },
            [](TripletStore *, const char *s, const char *k) {
                char b[4];
                return QvFindItem(nullptr, s, k, b, sizeof b);
            },
            [](TripletStore *t, const char *, const char *k) {
                char b[4];
                return QvFindItem(t, nullptr, k, b, sizeof b);
            },
            [](TripletStore *t, const char *s, const char *) {
                char b[4];
                return QvFindItem(t, s, nullptr, b, sizeof b);
            },
            [](TripletStore *t, const char *s, const char *k) { return QvFindItem(t, s, k, nullptr, 4); },
            [](TripletStore *t, const char *s, const char *k) {
                char b[4] = "##";
                int32_t r = QvFindItem(t, s, k, b, 0);
                return b[0] == '#' ? r : QV_OK;
            },
            [](TripletStore *, const char *s, const char *k) { return Null(QvCopyItem(nullptr, s, k)); },
            [](TripletStore *t, const char *, const char *k) { return Null(QvCopyItem(t, nullptr, k)); },
            [](TripletStore *t, const char *s, const char *) { return Null(QvCopyItem(t, s, nullptr)); },
            [](TripletStore *, const char *s, const char *k) { return Null(QvGetItem(nullptr, s, k)); },
            [](TripletStore *t, const char *, const char *k) { return Null(QvGetItem(t, nullptr, k)); },
            [](TripletStore *t, const char *s, const char *) { return Null(QvGetItem(t, s, nullptr)); },
            [](TripletStore *, const char *s, const char *k) { return QvStorePtr(nullptr, s, k, tokens); },
            [](TripletStore *t, const char *, const char *k) { return QvStorePtr(t, nullptr, k, tokens); },
            [](TripletStore *t, const char *s, const char *) { return QvStorePtr(t, s, nullptr, tokens); },
            [](TripletStore *, const char *s, const char *k) {
                void *p;
                return QvRetrievePtr(nullptr, s, k, &p);
            },
            [](TripletStore *t, const char *, const char *k) {
                void *p;
                return QvRetrievePtr(t, nullptr, k, &p);
            },
            [](TripletStore *t, const char *s, const char *) {
                void *p;
                return QvRetrievePtr(t, s, nullptr, &p);
            },
            [](TripletStore *t, const char *s, const char *k) { return QvRetrievePtr(t, s, k, nullptr); },
            [](TripletStore *, const char *s, const char *) {
                int32_t last = 99;
                int32_t r = QvStoreIterate(nullptr, s, OnItem, nullptr, &last);
                return last == 99 ? r : QV_OK;
            },
            [](TripletStore *t, const char *s, const char *) {
                int32_t last = 99;
                int32_t r = QvStoreIterate(t, s, nullptr, nullptr, &last);
                return last == 99 ? r : QV_OK;
            },
            [](TripletStore *, const char *, const char *) { return QvAllocStore(nullptr); },
            [](TripletStore *, const char *, const char *) { return QvClearStore(nullptr); },
            [](TripletStore *, const char *, const char *) { return QvFreeStore(nullptr); },
        };
        Call call = kCalls[in_.ConsumeIntegral<uint8_t>() % std::size(kCalls)];
        Require(call(store_, name.c_str(), other.c_str()) == QV_INVALID_ARG, "a missing argument");
    }

    static int32_t Null(const void *result) { return result == nullptr ? QV_INVALID_ARG : QV_OK; }

    // The item the cursor reaches next in the model, skipping the filter's
    // neighbours in its bucket; null at the end.
    const Item *Next(Cursor &cursor)
    {
        for (;;) {
            auto it = items_.begin();
            if (cursor.last != 0)
                while (it->id != cursor.last)
                    ++it;
            if (cursor.last != 0)
                ++it;
            while (it != items_.end() && RefHash(it->section) != cursor.bucket)
                ++it;
            if (it != items_.end()) {
                cursor.last = it->id;
                if (cursor.filter == nullptr || SameName(cursor.filter, it->section))
                    return &*it;
                continue;
            }
            if (cursor.filter != nullptr)
                return nullptr;
            unsigned next = 256;
            for (const Item &item : items_)
                if (RefHash(item.section) > cursor.bucket)
                    next = std::min(next, RefHash(item.section));
            if (next == 256)
                return nullptr;
            cursor = {nullptr, next, 0};
        }
    }

    struct WalkContext {
        Session *session;
        Cursor cursor;
    };

    // Each item handed out must be the one the model's cursor reaches; then
    // the input decides what the callback does to other items, and whether
    // it stops the walk.
    static int32_t OnItem(const char *section, const char *key, void *value, void *context)
    {
        auto *walk = static_cast<WalkContext *>(context);
        Session &self = *walk->session;
        const Item *expected = self.Next(walk->cursor);
        Require(expected != nullptr, "a walk handed out an item too many");
        Require(expected->section == section && expected->key == key, "a walk's order or names");
        Require(expected->pointer ? value == expected->ptr
                                  : expected->text == static_cast<const char *>(value),
                "a walk's value");
        Item handed = *expected; // the list may move under the operations below
        for (int n = self.in_.ConsumeIntegralInRange(0, 3); n > 0; --n)
            self.Step(static_cast<Op>(self.in_.ConsumeIntegralInRange(0, kOpsInWalk - 1)), &handed);
        return self.in_.ConsumeIntegralInRange(0, 15) == 0 ? -2 : 0;
    }

    void Walk()
    {
        std::string filter = Name();
        bool filtered = in_.ConsumeBool();
        WalkContext walk = {this, {filtered ? filter.c_str() : nullptr, 0, 0}};
        if (filtered)
            walk.cursor.bucket = RefHash(filter);
        int32_t last = 99;
        Require(QvStoreIterate(store_, walk.cursor.filter, OnItem, &walk, &last) == QV_OK, "walk");
        Require(last == -2 || (last == 0 && Next(walk.cursor) == nullptr),
                "a walk ended early, or gave another last result");
    }

    // After every operation: the whole store, in walk order, is the model's.
    void CheckWholeWalk()
    {
        Cursor cursor = {nullptr, 0, 0};
        std::vector<const Item *> expected;
        for (const Item *item; (item = Next(cursor)) != nullptr;)
            expected.push_back(item);
        struct Seen {
            std::vector<const Item *> &expected;
            size_t at;
        } seen = {expected, 0};
        auto check = [](const char *section, const char *key, void *value, void *context) {
            auto *s = static_cast<Seen *>(context);
            Require(s->at < s->expected.size(), "the store holds an item too many");
            const Item &item = *s->expected[s->at++];
            Require(item.section == section && item.key == key
                        && (item.pointer ? value == item.ptr
                                         : item.text == static_cast<const char *>(value)),
                    "the store differs from the model");
            return 0;
        };
        int32_t last = 99;
        Require(QvStoreIterate(store_, nullptr, check, &seen, &last) == QV_OK && last == 0
                    && seen.at == expected.size(),
                "the store lost an item");
    }

    void Renew()
    {
        Require(QvFreeStore(store_) == QV_OK, "free");
        items_.clear();
        Require(counting_.LiveBlocks() == 0, "blocks left after the store was freed");
        int32_t expected = Fails(1) ? QV_NO_MEMORY : QV_OK;
        Require(QvAllocStore(&store_) == expected && (store_ == nullptr) == (expected != QV_OK),
                "allocate a store");
        counting_.Reset();
        if (store_ == nullptr)
            Require(QvAllocStore(&store_) == QV_OK, "allocate a store again");
    }

    FuzzedDataProvider &in_;
    qvtest::CountingAllocator counting_; // installed before the first store
    TripletStore *store_ = nullptr;
    std::vector<Item> items_; // newest first
    uint64_t nextId_ = 1;
    size_t failAt_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    Session(in).Run();
    return 0;
}
