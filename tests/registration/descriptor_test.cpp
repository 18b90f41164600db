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
#include <iterator>
#include <vector>

#include <qv-hostrt.h>

namespace {

using Bytes = std::vector<unsigned char>;

constexpr bool kWide = sizeof(void *) == 8;
constexpr size_t kLibraryRecordSize = kWide ? 56 : 36;
constexpr size_t kSymbolRecordSize = kWide ? 32 : 24;
constexpr size_t kListOffset = kWide ? 32 : 24;
constexpr size_t kHandleOffset = kWide ? 40 : 28;
constexpr size_t kMostSymbols = 8; // a missing null must not run the copy away

// One call of an entry point, with the descriptor as it stood then.
struct Call {
    int32_t kind;
    const void *descriptor;
    int32_t reserved;
    Bytes record;
    std::vector<Bytes> symbols; // the listed records, up to the null
    uintptr_t handle;           // the handle word's value
};

std::vector<Call> loads;
std::vector<Call> unloads;

template <typename T> T Load(const void *at)
{
    T value;
    memcpy(&value, at, sizeof value);
    return value;
}

Bytes Copy(const void *from, size_t size)
{
    auto *bytes = static_cast<const unsigned char *>(from);
    return {bytes, bytes + size};
}

int32_t Record(std::vector<Call> &calls, int32_t kind, void *descriptor, int32_t reserved)
{
    Call call{kind, descriptor, reserved, Copy(descriptor, kLibraryRecordSize), {}, 0};
    auto *list = Load<const void *const *>(call.record.data() + kListOffset);
    for (size_t i = 0; list != nullptr && i < kMostSymbols && list[i] != nullptr; ++i)
        call.symbols.push_back(Copy(list[i], kSymbolRecordSize));
    if (auto *handle = Load<const uintptr_t *>(call.record.data() + kHandleOffset))
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

// Reads a record's fields by offset and remembers which bytes it has read,
// so that every other byte, padding included, can be required to be zero.
class RecordBytes {
public:
    explicit RecordBytes(const Bytes &bytes) : bytes_(bytes), seen_(bytes.size()) {}
    uint32_t Word(size_t offset) { return Read<uint32_t>(offset); }
    const void *Pointer(size_t offset) { return Read<const void *>(offset); }
    void ExpectUnreadBytesZero() const
    {
        for (size_t i = 0; i < seen_.size(); ++i) {
            if (!seen_[i]) {
                EXPECT_EQ(bytes_[i], 0) << "byte " << i;
            }
        }
    }

private:
    template <typename T> T Read(size_t offset)
    {
        EXPECT_LE(offset + sizeof(T), seen_.size());
        for (size_t i = 0; i < sizeof(T); ++i)
            seen_[offset + i] = true;
        return Load<T>(bytes_.data() + offset);
    }
    const Bytes &bytes_;
    std::vector<bool> seen_;
};

class Descriptor : public testing::Test {
protected:
    void SetUp() override
    {
        loads.clear();
        unloads.clear();
        library_ = dlopen(QV_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library_, nullptr) << dlerror();
        // The call is made while dlopen runs, from the library's own
        // initialisation, not from anything the host does afterwards.
        ASSERT_EQ(loads.size(), 1u);
    }
    void TearDown() override
    {
        if (library_ != nullptr)
            dlclose(library_);
    }
    // The object an address belongs to, by its load address.
    static const void *ObjectOf(const void *address)
    {
        Dl_info info{};
        return dladdr(address, &info) != 0 ? info.dli_fbase : nullptr;
    }
    const void *LibraryBase() const { return ObjectOf(dlsym(library_, "QvuMalloc")); }

    void *library_ = nullptr;
};

TEST_F(Descriptor, OneLoadAndOneUnloadCallHandOverTheSameUnchangedRecord)
{
    EXPECT_EQ(loads[0].kind, 1);
    EXPECT_EQ(loads[0].reserved, 0);
    EXPECT_TRUE(unloads.empty());

    ASSERT_EQ(dlclose(library_), 0);
    library_ = nullptr;
    ASSERT_EQ(loads.size(), 1u);
    ASSERT_EQ(unloads.size(), 1u);
    EXPECT_EQ(unloads[0].kind, 1);
    EXPECT_EQ(unloads[0].descriptor, loads[0].descriptor);
    EXPECT_EQ(unloads[0].reserved, 0);
    EXPECT_EQ(unloads[0].record, loads[0].record);
    EXPECT_EQ(unloads[0].symbols, loads[0].symbols);
}

TEST_F(Descriptor, LibraryRecordHoldsTagCountNameListAndHandle)
{
    RecordBytes record(loads[0].record);
    EXPECT_EQ(record.Word(0), 0x02000000u);
    EXPECT_EQ(record.Word(4), 3u);
    auto *name = static_cast<const char *>(record.Pointer(8));
    for (size_t offset : {kWide ? 16u : 12u, kWide ? 20u : 16u, kWide ? 24u : 20u})
        EXPECT_EQ(record.Word(offset), 0u) << "offset " << offset;
    const void *list = record.Pointer(kListOffset);
    const void *handle = record.Pointer(kHandleOffset);
    EXPECT_EQ(record.Word(kWide ? 48 : 32), 0u);
    record.ExpectUnreadBytesZero();

    EXPECT_STREQ(name, "libqv-utility_t.so.2");
    EXPECT_EQ(loads[0].handle, 0u);
    for (const void *pointer : {static_cast<const void *>(name), list, handle})
        EXPECT_EQ(ObjectOf(pointer), LibraryBase());
}

TEST_F(Descriptor, SymbolRecordsNameTheThreeHooksInOrderThenNull)
{
    // Hashes as a System V .hash section holds them for these names.
    const struct {
        const char *name;
        uint32_t hash;
    } hooks[] = {{"QvuRealloc", 0x08b3c0f3u}, {"QvuFree", 0x08d9d8e5u}, {"QvuMalloc", 0x0a388b83u}};

    // Copying stopped at the first null: three records, then the null.
    ASSERT_EQ(loads[0].symbols.size(), std::size(hooks));
    auto *list = static_cast<const void *const *>(RecordBytes(loads[0].record).Pointer(kListOffset));
    for (size_t i = 0; i < std::size(hooks); ++i) {
        SCOPED_TRACE(hooks[i].name);
        EXPECT_EQ(ObjectOf(list[i]), LibraryBase());
        RecordBytes symbol(loads[0].symbols[i]);
        EXPECT_EQ(symbol.Word(0), 0x00020000u);
        uint32_t hash = symbol.Word(4);
        auto *name = static_cast<const char *>(symbol.Pointer(8));
        const void *address = symbol.Pointer(kWide ? 16 : 12);
        symbol.ExpectUnreadBytesZero();

        EXPECT_STREQ(name, hooks[i].name);
        EXPECT_EQ(ObjectOf(name), LibraryBase());
        EXPECT_EQ(hash, hooks[i].hash);
        EXPECT_EQ(hash, QvHostElfHash(name));
        EXPECT_EQ(address, dlsym(library_, hooks[i].name));
    }
}

} // namespace
