// SPDX-License-Identifier: MIT
// registration.cpp - the load descriptor, and the load-time and unload-time
// entries that hand it to the host runtime.
//
// The entries are the object's DT_INIT and DT_FINI functions (named to the
// linker in CMakeLists.txt), not constructors: the loader runs DT_INIT before
// anything in .init_array and DT_FINI after everything in .fini_array, so the
// runtime hears of the library before any static constructor runs and after
// every static destructor.
#include <stddef.h>

#include <qv-hostrt.h>

#include "registration/copy_relocations.h"
#include "utilities/allocator.h"
#include "utilities/ident.h"

QV_MODULE_IDENT("registration", "1.0");

namespace {

// The descriptor is exchanged with a closed component: its i386 layout is
// fixed to the byte, and x86_64 takes the natural widening of it.
constexpr bool kWide = sizeof(void *) == 8;
static_assert(sizeof(void *) == 4 || kWide);

static_assert(sizeof(QvHostSymbolRecord) == (kWide ? 32 : 24));
static_assert(offsetof(QvHostSymbolRecord, tag) == 0);
static_assert(offsetof(QvHostSymbolRecord, hash) == 4);
static_assert(offsetof(QvHostSymbolRecord, name) == 8);
static_assert(offsetof(QvHostSymbolRecord, address) == (kWide ? 16 : 12));
static_assert(offsetof(QvHostSymbolRecord, reserved) == (kWide ? 24 : 16));

static_assert(sizeof(QvHostLibraryRecord) == (kWide ? 56 : 36));
static_assert(offsetof(QvHostLibraryRecord, tag) == 0);
static_assert(offsetof(QvHostLibraryRecord, symbolCount) == 4);
static_assert(offsetof(QvHostLibraryRecord, name) == 8);
static_assert(offsetof(QvHostLibraryRecord, reserved) == (kWide ? 16 : 12));
static_assert(offsetof(QvHostLibraryRecord, symbols) == (kWide ? 32 : 24));
static_assert(offsetof(QvHostLibraryRecord, handle) == (kWide ? 40 : 28));
static_assert(offsetof(QvHostLibraryRecord, reserved2) == (kWide ? 48 : 32));

// Values a System V .hash section gives these names.
static_assert(QvHostElfHash("") == 0);
static_assert(QvHostElfHash("printf") == 0x077905a6u);
static_assert(QvHostElfHash("QvuRealloc") == 0x08b3c0f3u);
static_assert(QvHostElfHash("QvuFree") == 0x08d9d8e5u);
static_assert(QvHostElfHash("QvuMalloc") == 0x0a388b83u);

// The runtime's word; the library never reads or writes it.
uintptr_t _zWldhandle;

// The address fields are filled at load, once the words in use are known.
constexpr QvHostSymbolRecord SymbolRecord(const char *name)
{
    return {.tag = QV_HOST_SYMBOL_TAG,
            .hash = QvHostElfHash(name),
            .name = name,
            .address = nullptr,
            .reserved = {}};
}

constinit QvHostSymbolRecord reallocRecord = SymbolRecord("QvuRealloc");
constinit QvHostSymbolRecord freeRecord = SymbolRecord("QvuFree");
constinit QvHostSymbolRecord mallocRecord = SymbolRecord("QvuMalloc");

constexpr const QvHostSymbolRecord *kSymbolList[] = {&reallocRecord, &freeRecord,
                                                     &mallocRecord, nullptr};
constexpr uint32_t kSymbolCount = sizeof kSymbolList / sizeof kSymbolList[0] - 1;

constinit QvHostLibraryRecord libraryRecord = {
    .tag = QV_HOST_LIBRARY_TAG,
    .symbolCount = kSymbolCount,
    .name = "libqv-utility_t.so.2",
    .reserved = {},
    .symbols = kSymbolList,
    .handle = &_zWldhandle,
    .reserved2 = 0,
};

// A hook word the main program holds a copy of is the word the host assigns
// and every other object reaches by name: the library reads it from now on,
// and the runtime is told of it.
template <typename Hook>
void UseWordInUse(Hook *&word, QvHostSymbolRecord &record)
{
    if (void *copy = qv::MainProgramCopyOf(record.name))
        word = static_cast<Hook *>(copy);
    record.address = word;
}

} // namespace

extern "C" {

// The toolchain's own .init and .fini code (crti.o): naming other entries to
// the linker takes its place in DT_INIT and DT_FINI, so they run it.
void _init();
void _fini();

// Not static: the linker finds them by name.
void RegisterLibrary()
{
    _init();
    UseWordInUse(qv::hookWords.allocate, mallocRecord);
    UseWordInUse(qv::hookWords.reallocate, reallocRecord);
    UseWordInUse(qv::hookWords.release, freeRecord);
    _zWsoload(QV_HOST_CALL_KIND, &libraryRecord, 0);
}

void UnregisterLibrary()
{
    _zWsounload(QV_HOST_CALL_KIND, &libraryRecord, 0);
    _fini();
}

} // extern "C"
