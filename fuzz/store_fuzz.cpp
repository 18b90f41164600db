// SPDX-License-Identifier: MIT
// store_fuzz.cpp - libFuzzer harness for the keyed item store.  The input is
// decoded into operations: every item operation, clears, a store freed and
// made anew, calls with a missing argument, and whole and filtered walks
// whose callbacks add, replace, read and remove other items.  Names come
// from a small colliding pool in any letter case, or straight from the
// input, bytes from 0x80 included.  The input also says which allocation of
// an operation fails.  The store's model (store_model.h) predicts every
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

#include <fuzzer/FuzzedDataProvider.h>
#include <qv-utility.h>

#include "counting_allocator.h"
#include "store_model.h"

namespace {

using storetest::Cursor;
using storetest::gTokens;
using storetest::Item;
using storetest::Seen;

// 'Ab' and 'ba' share a bucket, as do 'Ac' and '\xC4'; bytes from 0x80
// never fold, so '\xC4' and '\xE4' are two names.
const char *const kNames[] = {"", "a", "Ab", "ba", "Ac", "\xC4", "\xE4", "Section", "k", "x\xFF"};
const char *const kValues[] = {"", "v", "\xFF\x80", "a value longer than most buffers"};

void Require(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "store_fuzz: %s\n", what);
        std::abort();
    }
}

enum Op { kAdd, kStorePtr, kRemove, kFind, kCopy, kGet, kRetrieve, kMissingArgument,
          kWalk, kClear, kRenew, kOps };
constexpr int kOpsInWalk = kWalk; // a callback may neither walk, clear nor free

class Session {
public:
    explicit Session(FuzzedDataProvider &in) : in_(in) { Require(QvAllocStore(&store_) == QV_OK, "first store"); }

    void Run()
    {
        for (int steps = 0; in_.remaining_bytes() > 0 && steps < 300; ++steps) {
            Step(static_cast<Op>(in_.ConsumeIntegralInRange<int>(0, kOps - 1)), nullptr);
            storetest::WalkRecord walk = storetest::RecordWalk(store_);
            Require(walk.result == QV_OK && walk.last == 0 && walk.seen == model_.Walk(),
                    "the store differs from the model");
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
        const char *s = section.c_str(), *k = key.c_str();
        const Item *item = model_.Find(section, key);
        if (handed != nullptr && item != nullptr && item->id == handed->id && op <= kRemove)
            return;
        FailSomeAllocation();
        switch (op) {
        case kAdd: Add(s, k); break;
        case kStorePtr: {
            uint8_t pick = in_.ConsumeIntegral<uint8_t>() % (std::size(gTokens) + 1);
            void *pointer = pick == 0 ? nullptr : &gTokens[pick - 1];
            bool fails = Fails(model_.StorePtrAllocations(s, k));
            Require(QvStorePtr(store_, s, k, pointer) == (fails ? QV_NO_MEMORY : model_.StorePtr(s, k, pointer)),
                    "store pointer");
            break;
        }
        case kRemove: Require(QvRemoveItem(store_, s, k) == model_.Remove(s, k), "remove"); break;
        case kFind: FindInto(s, k, item); break;
        case kCopy: {
            char *copy = QvCopyItem(store_, s, k);
            const std::string *text = model_.Text(s, k);
            Require(text == nullptr || Fails(1) ? copy == nullptr : copy != nullptr && *text == copy, "copy");
            if (copy != nullptr)
                QvuFree(copy);
            break;
        }
        case kGet: Require(storetest::Describe(QvGetItem(store_, s, k)) == model_.Get(s, k), "get"); break;
        case kRetrieve: {
            void *out = &gTokens[0], *expected = &gTokens[0];
            Require(QvRetrievePtr(store_, s, k, &out) == model_.Retrieve(s, k, &expected) && out == expected,
                    "retrieve");
            break;
        }
        case kMissingArgument: MissingArgument(s, k); break;
        case kWalk: Walk(); break;
        case kClear: Require(QvClearStore(store_) == QV_OK, "clear"); model_.Clear(); break;
        case kRenew: Renew(); break;
        case kOps: break;
        }
        counting_.Reset();
        Require(counting_.LiveBlocks() == model_.Blocks(), "blocks held differ from the items");
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

    void Add(const char *section, const char *key)
    {
        // The value may also be the item's own current value, as QvGetItem
        // hands it out.
        uint8_t pick = in_.ConsumeIntegral<uint8_t>();
        std::string value = pick < 128 ? kValues[pick % std::size(kValues)]
                                       : in_.ConsumeRandomLengthString(40).c_str();
        const char *argument = value.c_str();
        if (const std::string *text = model_.Text(section, key); pick % 8 == 0 && text != nullptr) {
            argument = static_cast<const char *>(QvGetItem(store_, section, key));
            value = *text;
        }
        bool fails = Fails(model_.AddAllocations(section, key));
        Require(QvAddItem(store_, section, key, argument) == (fails ? QV_NO_MEMORY : model_.Add(section, key, value)),
                "add");
    }

    // A buffer of exactly the size passed, so that a write past it is seen:
    // as long as the value with its NUL, one byte short, one byte, or any.
    void FindInto(const char *section, const char *key, const Item *item)
    {
        size_t length = item != nullptr ? item->text.size() : 0;
        uint8_t pick = in_.ConsumeIntegral<uint8_t>();
        uint32_t size = pick % 4 == 0   ? length + 1
                        : pick % 4 == 1 ? std::max<size_t>(length, 1)
                        : pick % 4 == 2 ? 1
                                        : 1 + pick / 4;
        std::unique_ptr<char[]> buffer(new char[size]);
        std::memset(buffer.get(), '#', size);
        std::string expected(size, '#');
        Require(QvFindItem(store_, section, key, buffer.get(), size) == model_.FindInto(section, key, expected)
                    && std::string(buffer.get(), size) == expected,
                "find");
    }

    // A call that lacks one argument it needs answers QV_INVALID_ARG (null
    // for the calls that return a pointer), and writes and changes nothing.
    void MissingArgument(const char *s, const char *k)
    {
        static const int kArguments[] = {4, 3, 5, 3, 3, 3, 4, 2}; // that a call needs
        int call = in_.ConsumeIntegralInRange(0, 7), gone = in_.ConsumeIntegralInRange(0, kArguments[call] - 1);
        auto a = [gone](int i, auto argument) { return i == gone ? decltype(argument){} : argument; };
        auto null = [](const void *result) { return result == nullptr ? QV_INVALID_ARG : QV_OK; };
        StoreCallback none = [](const char *, const char *, void *, void *) { return 0; };
        char buffer[4] = "##";
        void *out = &gTokens[0];
        int32_t last = 99;
        int32_t result = call == 0 ? QvAddItem(a(0, store_), a(1, s), a(2, k), a(3, "v"))
                         : call == 1 ? QvRemoveItem(a(0, store_), a(1, s), a(2, k))
                         : call == 2 ? QvFindItem(a(0, store_), a(1, s), a(2, k), a(3, +buffer), a(4, 4u))
                         : call == 3 ? null(QvCopyItem(a(0, store_), a(1, s), a(2, k)))
                         : call == 4 ? null(QvGetItem(a(0, store_), a(1, s), a(2, k)))
                         : call == 5 ? QvStorePtr(a(0, store_), a(1, s), a(2, k), gTokens)
                         : call == 6 ? QvRetrievePtr(a(0, store_), a(1, s), a(2, k), a(3, &out))
                                     : QvStoreIterate(a(0, store_), s, a(1, none), nullptr, &last);
        Require(result == QV_INVALID_ARG && std::strcmp(buffer, "##") == 0 && out == &gTokens[0] && last == 99,
                "a missing argument");
    }

    // Each item handed out must be the one the model's cursor reaches; then
    // the input decides what the callback does to other items, and whether
    // it stops the walk.
    void Walk()
    {
        std::string filter = Name();
        Cursor cursor(in_.ConsumeBool() ? filter.c_str() : nullptr);
        storetest::WalkRecord walk = storetest::RecordWalk(store_, cursor.filter, [&](const Seen &seen) {
            const Item *expected = model_.Next(cursor);
            Require(expected != nullptr && expected->AsSeen() == seen, "a walk's order, names or value");
            Item handed = *expected; // the model may move under the steps below
            for (int n = in_.ConsumeIntegralInRange(0, 3); n > 0; --n)
                Step(static_cast<Op>(in_.ConsumeIntegralInRange(0, kOpsInWalk - 1)), &handed);
            return in_.ConsumeIntegralInRange(0, 15) == 0 ? -2 : 0;
        });
        Require(walk.result == QV_OK && (walk.last == -2 || (walk.last == 0 && model_.Next(cursor) == nullptr)),
                "a walk ended early, or gave another last result");
    }

    void Renew()
    {
        Require(QvFreeStore(store_) == QV_OK, "free");
        model_.Clear();
        Require(counting_.LiveBlocks() == 0, "blocks left after the store was freed");
        int32_t expected = Fails(1) ? QV_NO_MEMORY : QV_OK;
        Require(QvAllocStore(&store_) == expected && (store_ == nullptr) == (expected != QV_OK), "allocate a store");
        counting_.Reset();
        if (store_ == nullptr)
            Require(QvAllocStore(&store_) == QV_OK, "allocate a store again");
    }

    FuzzedDataProvider &in_;
    qvtest::CountingAllocator counting_; // installed before the first store
    TripletStore *store_ = nullptr;
    storetest::StoreModel model_;
    size_t failAt_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    Session(in).Run();
    return 0;
}
