/* SPDX-License-Identifier: MIT */
// store_model.h - the store written out plainly, for the store tests and the
// store fuzzer to predict a store by: the name rules (the bucket a section
// falls in, when two names are one), the items as a list, what each item
// operation answers and leaves behind, the order in which a walk hands the
// items out (also while its callback changes the store), and the blocks the
// store holds.  Free of GoogleTest, so the fuzzing build can use it.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <qv-utility.h>

namespace storetest {

// ASCII letters fold to lower case; bytes from 0x80 never fold.
constexpr unsigned char Fold(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

// The bucket of a name: the 16-bit sum of its folded bytes, times 40503,
// bits 8 to 15.
constexpr unsigned RefHash(std::string_view name)
{
    uint32_t sum = 0;
    for (unsigned char c : name)
        sum += Fold(c);
    return (((sum & 0xFFFFu) * 40503u) >> 8) & 0xFFu;
}
constexpr std::array<char, 300> kFullBytes = [] {
    std::array<char, 300> bytes{};
    bytes.fill('\xFF');
    return bytes;
}();
static_assert(RefHash("") == 0 && RefHash("a") == 242 && RefHash("ABC") == 179 && RefHash("ba") == 131
              && RefHash("Key") == 84 && RefHash("\xFF") == 152 && RefHash("Section") == 216
              && RefHash("Ac") == 34 && RefHash({kFullBytes.data(), kFullBytes.size()}) == 11);

// Names equal as the store compares them.
constexpr bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return Fold(x) == Fold(y);
           });
}

// Pointer values to store: addresses no allocator handed out, so a store
// that released one would make the counting allocator abort.
inline char gTokens[8];

// A value as the store hands it out: a string item's text, "<ptr n>" for
// gTokens[n], "<null>".
std::string Describe(const void *value);

// An item as a walk's callback is handed it, its value as Describe() says.
struct Seen {
    std::string section, key, value;
    bool operator==(const Seen &) const = default;
};

struct Item {
    uint64_t id; // tells items apart while they change
    std::string section, key; // as first added
    unsigned bucket; // RefHash(section)
    bool pointer;
    std::string text; // a string item's value
    void *ptr; // a pointer item's value
    Seen AsSeen() const { return {section, key, pointer ? Describe(ptr) : text}; }
};

// Where a walk stands: in which bucket (a filtered walk only in its
// filter's), after which item (id 0 before the bucket's first).
struct Cursor {
    explicit Cursor(const char *f = nullptr) : filter(f), bucket(f != nullptr ? RefHash(f) : 0) {}
    const char *filter;
    unsigned bucket;
    uint64_t last = 0;
};

class StoreModel {
public:
    const Item *Find(std::string_view section, std::string_view key) const;

    // The allocations a successful addition makes: a new item's names, node,
    // link and (for a string) value copy; a replaced string value's copy.
    size_t AddAllocations(std::string_view section, std::string_view key) const { return Find(section, key) ? 1 : 5; }
    size_t StorePtrAllocations(std::string_view section, std::string_view key) const { return Find(section, key) ? 0 : 4; }

    // What the item operations answer when they succeed; each changes the
    // model as the store changes.
    int32_t Add(std::string_view section, std::string_view key, std::string_view value);
    int32_t StorePtr(std::string_view section, std::string_view key, void *pointer);
    int32_t Remove(std::string_view section, std::string_view key);
    void Clear() { items_.clear(); }

    // What QvFindItem answers, and the buffer (of buffer.size() bytes)
    // afterwards.
    int32_t FindInto(std::string_view section, std::string_view key, std::string &buffer) const;
    // What QvCopyItem copies: a string item's text; null otherwise.
    const std::string *Text(std::string_view section, std::string_view key) const;
    // What QvGetItem returns, as Describe() says.
    std::string Get(std::string_view section, std::string_view key) const;
    // What QvRetrievePtr answers; *out gets the pointer only on QV_OK.
    int32_t Retrieve(std::string_view section, std::string_view key, void **out) const;

    // The store itself, and per item its names, node, link and the copy of
    // a string value.
    size_t Blocks() const;

    // The item a walk at the cursor hands out next, the cursor moved past
    // it; null at the end.  The model may change between two calls as a
    // walk's callback changes the store.
    const Item *Next(Cursor &cursor) const;
    // A whole walk, whole or filtered, from its start to its end.
    std::vector<Seen> Walk(const char *filter = nullptr) const;

private:
    std::vector<Item> items_; // newest first
    uint64_t nextId_ = 1;
};

// QvStoreIterate's result, the last result it wrote, and what it handed its
// callback; visit (if any) answers for the callback.
using Visit = std::function<int32_t(const Seen &)>;
struct WalkRecord {
    int32_t result;
    int32_t last;
    std::vector<Seen> seen;
};
WalkRecord RecordWalk(TripletStore *store, const char *filter = nullptr, Visit visit = {});

} // namespace storetest
