// SPDX-License-Identifier: MIT
// descriptor_test.cpp - what the library hands the host runtime, seen from a
// host that supplies recording entry points and loads the library itself.
//
// The records are copied as bytes while the entry point runs, because that is
// when a runtime reads them, and are read back at the offsets the runtime
// expects rather than through the library's declarations, so a change of
// layout or of what is filled in before the call shows here.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <vector>

#include <qv-hostrt.h>

namespace {

using Bytes = std::vector<unsigned char>;

constexpr bool kWide = sizeof(void *) == 8;
constexpr size_t kPointer = sizeof(void *);
constexpr size_t kListAt = kWide ? 32 : 24, kHandleAt = kWide ? 40 : 28;

// One call of an entry point, with the descriptor as it stood then.
struct Call {
    int32_t kind;
    const void *descriptor;
    int32_t reserved;
    Bytes record;
    std::vector<Bytes> symbols; // the listed records, up to the null (at most 8)
    uintptr_t handle;           // the handle word's value
};

std::vector<Call> loads, unloads;

Bytes Copy(const void *from, size_t size)
{
    auto *bytes = static_cast<const unsigned char *>(from);
    return {bytes, bytes + size};
}

// Reads a field and leaves zeros in its place: once every field is taken,
// the record must be all zero, padding included.
template <typename T> T Take(Bytes &bytes, size_t offset)
{
    T value{};
    EXPECT_LE(offset + sizeof value, bytes.size());
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    std::memset(bytes.data() + offset, 0, sizeof value);
    return value;
}

int32_t Record(std::vector<Call> &calls, int32_t kind, void *descriptor, int32_t reserved)
{
    Call call{kind, descriptor, reserved, Copy(descriptor, kWide ? 56 : 36), {}, 0};
    Bytes record = call.record;
    auto *list = Take<const void *const *>(record, kListAt);
    for (size_t i = 0; list != nullptr && i < 8 && list[i] != nullptr; ++i)
        call.symbols.push_back(Copy(list[i], kWide ? 32 : 24));
    if (auto *handle = Take<const uintptr_t *>(record, kHandleAt))
        call.handle = *handle;
    calls.push_back(call);
    return 0;
}

} // namespace

extern "C" int32_t _zWsoload(int32_t kind, void *descriptor, int32_t reserved)
{
    return Record(loads, kind, descriptor, reserved);
}

extern "C" int32_t _zWsounload(int32_t kind, void *descriptor, int32_t reserved)
{
    return Record(unloads, kind, descriptor, reserved);
}

namespace {

// The object an address belongs to, by its load address.
const void *ObjectOf(const void *address)
{
    Dl_info info{};
    return dladdr(address, &info) != 0 ? info.dli_fbase : nullptr;
}

TEST(Descriptor, LoadAndUnloadHandOverOneRecordOfTheLibraryAndItsThreeHooks)
{
    void *library = dlopen(QV_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    // Called while dlopen runs, from the library's own initialisation.
    ASSERT_EQ(loads.size(), 1u);
    EXPECT_TRUE(unloads.empty());
    const void *base = ObjectOf(dlsym(library, "QvuMalloc"));

    Bytes record = loads[0].record;
    EXPECT_EQ(Take<uint32_t>(record, 0), 0x02000000u);
    EXPECT_EQ(Take<uint32_t>(record, 4), 3u);
    auto *name = Take<const char *>(record, 8);
    auto *list = Take<const void *const *>(record, kListAt);
    auto *handle = Take<const void *>(record, kHandleAt);
    EXPECT_EQ(record, Bytes(record.size())) << "every other byte zero";
    EXPECT_STREQ(name, "libqv-utility_t.so.2");
    EXPECT_EQ(loads[0].handle, 0u);
    for (const void *pointer : {static_cast<const void *>(name), static_cast<const void *>(list), handle})
        EXPECT_EQ(ObjectOf(pointer), base);

    // Hashes as a System V .hash section holds them for these names.
    const struct {
        const char *name;
        uint32_t hash;
    } kHooks[] = {{"QvuRealloc", 0x08b3c0f3u}, {"QvuFree", 0x08d9d8e5u}, {"QvuMalloc", 0x0a388b83u}};
    ASSERT_EQ(loads[0].symbols.size(), 3u) << "three records, then the null";
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(kHooks[i].name);
        EXPECT_EQ(ObjectOf(list[i]), base);
        Bytes symbol = loads[0].symbols[i];
        EXPECT_EQ(Take<uint32_t>(symbol, 0), 0x00020000u);
        EXPECT_EQ(Take<uint32_t>(symbol, 4), kHooks[i].hash);
        auto *hook = Take<const char *>(symbol, 8);
        EXPECT_EQ(Take<const void *>(symbol, 8 + kPointer), dlsym(library, kHooks[i].name));
        EXPECT_EQ(symbol, Bytes(symbol.size())) << "every other byte zero";
        EXPECT_STREQ(hook, kHooks[i].name);
        EXPECT_EQ(ObjectOf(hook), base);
    }

    ASSERT_EQ(dlclose(library), 0);
    ASSERT_EQ(unloads.size(), 1u);
    for (const Call &call : {loads[0], unloads[0]}) {
        EXPECT_EQ(call.kind, 1);
        EXPECT_EQ(call.reserved, 0);
    }
    EXPECT_EQ(unloads[0].descriptor, loads[0].descriptor);
    EXPECT_EQ(unloads[0].record, loads[0].record);
    EXPECT_EQ(unloads[0].symbols, loads[0].symbols);
}

} // namespace
