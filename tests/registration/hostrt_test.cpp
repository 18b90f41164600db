// SPDX-License-Identifier: MIT
// hostrt_test.cpp - the stand-in runtime's checks of the descriptors it is
// handed, on which the host programs of these tests rely to see a bad
// descriptor: one it refuses leaves no trace, nothing found through it and
// nothing to unload.
#include <gtest/gtest.h>

#include <qv-hostrt.h>

namespace {

void *words[2];                     // live, writable data words
uintptr_t handle;
const uintptr_t kReadOnlyWord = 0;  // in a read-only segment
void *const kRelroWord = &words[0]; // written by the loader, then sealed

QvHostSymbolRecord Symbol(const char *name, void *address)
{
    return {QV_HOST_SYMBOL_TAG, QvHostElfHash(name), name, address, {}};
}

// A well-formed library record of two symbols, built in place because its
// parts point at each other.
struct Descriptor {
    QvHostSymbolRecord symbols[2] = {Symbol("alpha", &words[0]), Symbol("beta", &words[1])};
    const QvHostSymbolRecord *list[3] = {&symbols[0], &symbols[1], nullptr};
    QvHostLibraryRecord record = {QV_HOST_LIBRARY_TAG, 2, "libtest.so.1", {}, list, &handle, 0};
    int32_t Load(int32_t kind = QV_HOST_CALL_KIND, int32_t last = 0) { return _zWsoload(kind, &record, last); }
    int32_t Unload() { return _zWsounload(QV_HOST_CALL_KIND, &record, 0); }
};

TEST(HostRuntime, RegistersAWellFormedRecordOnceAndRefusesEveryFlaw)
{
    const struct {
        const char *what;
        void (*spoil)(Descriptor &);
        int32_t status;
    } cases[] = {
        {"well formed", [](Descriptor &) {}, QV_HOST_OK},
        {"library tag", [](Descriptor &d) { d.record.tag = QV_HOST_SYMBOL_TAG; }, QV_HOST_BAD_RECORD},
        {"no name", [](Descriptor &d) { d.record.name = nullptr; }, QV_HOST_BAD_RECORD},
        {"read-only handle", [](Descriptor &d) { d.record.handle = const_cast<uintptr_t *>(&kReadOnlyWord); },
         QV_HOST_BAD_RECORD},
        {"count past the null", [](Descriptor &d) { d.record.symbolCount = 3; }, QV_HOST_BAD_RECORD},
        {"symbol tag", [](Descriptor &d) { d.symbols[1].tag = QV_HOST_LIBRARY_TAG; }, QV_HOST_BAD_SYMBOL},
        {"hash of another name", [](Descriptor &d) { d.symbols[1].hash = QvHostElfHash("alpha"); },
         QV_HOST_BAD_SYMBOL},
        {"sealed address", [](Descriptor &d) { d.symbols[0].address = const_cast<void **>(&kRelroWord); },
         QV_HOST_BAD_SYMBOL},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Descriptor descriptor;
        c.spoil(descriptor);
        EXPECT_EQ(descriptor.Load(), c.status);
        bool registered = c.status == QV_HOST_OK;
        EXPECT_EQ(descriptor.Load(), registered ? QV_HOST_DUPLICATE : c.status);
        EXPECT_EQ(QvHostFindData("libtest.so.1", "beta"), registered ? &words[1] : nullptr);
        EXPECT_EQ(QvHostFindData("libtest.so.1", "gamma"), nullptr);
        EXPECT_EQ(descriptor.Unload(), registered ? QV_HOST_OK : QV_HOST_NOT_REGISTERED);
        EXPECT_EQ(QvHostFindData("libtest.so.1", "beta"), nullptr);
    }
    Descriptor descriptor;
    EXPECT_EQ(descriptor.Load(2), QV_HOST_BAD_CALL);
    EXPECT_EQ(descriptor.Load(QV_HOST_CALL_KIND, 1), QV_HOST_BAD_CALL);
    EXPECT_EQ(_zWsoload(QV_HOST_CALL_KIND, nullptr, 0), QV_HOST_BAD_CALL);
    EXPECT_EQ(QvHostFindData("libtest.so.1", "alpha"), nullptr);
}

} // namespace
