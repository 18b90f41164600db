// SPDX-License-Identifier: MIT
// frame.cpp - the library's frame: the allocator hook words, their
// installation, the initialisation entry point, and the library's own
// identification string.
#include <stdlib.h>

#include "utilities/allocator.h"
#include "utilities/ident.h"

QV_MODULE_IDENT("frame", "1.0");
QV_LIBRARY_IDENT();

extern "C" {

QvMallocHook QvuMalloc = malloc;
QvReallocHook QvuRealloc = realloc;
QvFreeHook QvuFree = free;

int32_t QvUtilityInitialize(void *arg) { return arg != nullptr ? 2 : QV_OK; }

int32_t QvSetUtilAllocators(QvMallocHook allocate, QvReallocHook reallocate,
                            QvFreeHook release)
{
    if (allocate != nullptr)
        *qv::hookWords.allocate = allocate;
    if (reallocate != nullptr)
        *qv::hookWords.reallocate = reallocate;
    if (release != nullptr)
        *qv::hookWords.release = release;
    return QV_OK;
}

} // extern "C"

namespace qv {
// Constant-initialised to the library's own words, the only place that names
// them; load-time registration moves these pointers to the main program's
// copies where it holds any (registration/copy_relocations.h).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
HookWords hookWords = {&QvuMalloc, &QvuRealloc, &QvuFree};
#pragma GCC diagnostic pop
} // namespace qv
