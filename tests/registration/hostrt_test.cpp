// hostrt_test.cpp - the stand-in runtime's checks of the descriptors it is
// handed, and its registry.  A descriptor it refuses must leave no trace:
// nothing found through it, nothing to unload.
#include <gtest/gtest.h>

#include <qv-hostrt.h>

namespace {

void *words[2];                             // live, writable data words
uintptr_t handle;
const uintptr_t kReadOnlyWord = 0;          // in a read-only segment
void *const kRelroWord = &words[0];         // written by the loader, then sealed

constexpr char kLibrary[] = "libtest.so.1";

QvHostSymbolRecord Symbol(const char *name, void *address)
{
    return {QV_HOST_SYMBOL_TAG, QvHostElfHash(name), name, address, {}};
}

// A well-formed library record of two symbols, built in place because its
// parts point at each other.
struct Descriptor {
    explicit Descriptor(const char *library = kLibrary)
        : symbols{Symbol("alpha", &words[0]), Symbol("beta", &words[1])},
          list{&symbols[0], &symbols[1], nullptr},
          record{QV_HOST_LIBRARY_TAG, 2, library, {}, list, &handle, 0}
    {
    }
    Descriptor(const Descriptor &) = delete;

    int32_t Load() { return _zWsoload(QV_HOST_CALL_KIND, &record, 0); }
    int32_t Unload() { return _zWsounload(QV_HOST_CALL_KIND, &record, 0); }

    QvHostSymbolRecord symbols[2];
    const QvHostSymbolRecord *list[3];
    QvHostLibraryRecord record;
};

TEST(HostRuntime, RefusesEachKindOfBadDescriptorAndRegistersNothing)
{
    const struct {
        const char *what;
        void (*spoil)(Descriptor &);
        int32_t status;
    } cases[] = {
        {"well formed", [](Descriptor &) {}, QV_HOST_OK},
        {"library tag", [](Descriptor &d) { d.record.tag = QV_HOST_SYMBOL_TAG; }, QV_HOST_BAD_RECORD},
        {"no name", [](Descriptor &d) { d.record.name = nullptr; }, QV_HOST_BAD_RECORD},
        {"no list", [](Descriptor &d) { d.record.symbols = nullptr; }, QV_HOST_BAD_RECORD},
        {"no handle", [](Descriptor &d) { d.record.handle = nullptr; }, QV_HOST_BAD_RECORD},
        {"read-only handle",
         [](Descriptor &d) { d.record.handle = const_cast<uintptr_t *>(&kReadOnlyWord); },
         QV_HOST_BAD_RECORD},
        {"count past the null", [](Descriptor &d) { d.record.symbolCount = 3; }, QV_HOST_BAD_RECORD},
        {"no null after the count", [](Descriptor &d) { d.record.symbolCount = 1; },
         QV_HOST_BAD_RECORD},
        {"symbol tag", [](Descriptor &d) { d.symbols[1].tag = QV_HOST_LIBRARY_TAG; },
         QV_HOST_BAD_SYMBOL},
        {"symbol without a name", [](Descriptor &d) { d.symbols[0].name = nullptr; },
         QV_HOST_BAD_SYMBOL},
        {"hash of another name", [](Descriptor &d) { d.symbols[1].hash = QvHostElfHash("alpha"); },
         QV_HOST_BAD_SYMBOL},
        {"no address", [](Descriptor &d) { d.symbols[0].address = nullptr; }, QV_HOST_BAD_SYMBOL},
        {"misaligned address",
         [](Descriptor &d) { d.symbols[0].address = reinterpret_cast<char *>(&words[0]) + 1; },
         QV_HOST_BAD_SYMBOL},
        {"read-only address",
         [](Descriptor &d) { d.symbols[0].address = const_cast<uintptr_t *>(&kReadOnlyWord); },
         QV_HOST_BAD_SYMBOL},
        {"sealed address",
         [](Descriptor &d) { d.symbols[0].address = const_cast<void **>(&kRelroWord); },
         QV_HOST_BAD_SYMBOL},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Descriptor descriptor;
        c.spoil(descriptor);
        EXPECT_EQ(descriptor.Load(), c.status);
        bool registered = c.status == QV_HOST_OK;
        EXPECT_EQ(QvHostFindData(kLibrary, "beta"), registered ? &words[1] : nullptr);
        EXPECT_EQ(descriptor.Unload(), registered ? QV_HOST_OK : QV_HOST_NOT_REGISTERED);
    }
}

TEST(HostRuntime, RefusesCallsOfAnotherKindOrWithoutADescriptor)
{
    Descriptor descriptor;
    for (auto *entry : {_zWsoload, _zWsounload}) {
        EXPECT_EQ(entry(2, &descriptor.record, 0), QV_HOST_BAD_CALL);
        EXPECT_EQ(entry(QV_HOST_CALL_KIND, &descriptor.record, 1), QV_HOST_BAD_CALL);
        EXPECT_EQ(entry(QV_HOST_CALL_KIND, nullptr, 0), QV_HOST_BAD_CALL);
    }
    EXPECT_EQ(QvHostFindData(kLibrary, "alpha"), nullptr);
}

TEST(HostRuntime, RegistersARecordOnceAndForgetsItAtUnload)
{
    Descriptor descriptor;
    ASSERT_EQ(descriptor.Load(), QV_HOST_OK);
    EXPECT_EQ(descriptor.Load(), QV_HOST_DUPLICATE);
    EXPECT_EQ(QvHostFindData(kLibrary, "alpha"), &words[0]);
    EXPECT_EQ(QvHostFindData(kLibrary, "gamma"), nullptr);
    EXPECT_EQ(QvHostFindData("libother.so.1", "alpha"), nullptr);
    EXPECT_EQ(descriptor.Unload(), QV_HOST_OK);
    EXPECT_EQ(descriptor.Unload(), QV_HOST_NOT_REGISTERED);
    EXPECT_EQ(QvHostFindData(kLibrary, "alpha"), nullptr);
}

TEST(HostRuntime, FindsASymbolThroughTheLibraryThatNamedIt)
{
    Descriptor first, second("libother.so.1");
    second.symbols[0] = Symbol("alpha", &words[1]);
    ASSERT_EQ(first.Load(), QV_HOST_OK);
    ASSERT_EQ(second.Load(), QV_HOST_OK);
    EXPECT_EQ(QvHostFindData(kLibrary, "alpha"), &words[0]);
    EXPECT_EQ(QvHostFindData("libother.so.1", "alpha"), &words[1]);
    EXPECT_EQ(second.Unload(), QV_HOST_OK);
    EXPECT_EQ(first.Unload(), QV_HOST_OK);
}

TEST(HostRuntime, AFullRegistryRefusesTheNextRecordUntilOneLeaves)
{
    constexpr size_t kCapacity = 16;
    Descriptor many[kCapacity + 1];
    for (size_t i = 0; i < kCapacity; ++i)
        ASSERT_EQ(many[i].Load(), QV_HOST_OK) << i;
    EXPECT_EQ(many[kCapacity].Load(), QV_HOST_FULL);
    EXPECT_EQ(many[3].Unload(), QV_HOST_OK);
    EXPECT_EQ(many[kCapacity].Load(), QV_HOST_OK);
    for (size_t i = 0; i <= kCapacity; ++i) {
        if (i != 3) {
            EXPECT_EQ(many[i].Unload(), QV_HOST_OK) << i;
        }
    }
}

} // namespace
