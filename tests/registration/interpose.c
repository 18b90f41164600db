// SPDX-License-Identifier: MIT
/*
 * interpose.c - a host that defines functions and hook words of its own
 * under the library's exported names.
 *
 * Lookups by name now find this program's definitions first.  The library
 * is bound symbolically, so its calls among its own functions and its reads
 * of its own hook words must still reach the library: nothing here may run
 * on the library's behalf, and the runtime must be told of the library's
 * words, not of these.
 */
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

#include <qv-hostrt.h>
#include <qv-utility.h>

#include "host_check.h"

static int hostCalls, libraryMallocs;

static void *HostMalloc(size_t size) { return ++hostCalls, malloc(size); }
static void *HostRealloc(void *block, size_t size) { return ++hostCalls, realloc(block, size); }
static void HostFree(void *block) { ++hostCalls, free(block); }
static void *LibraryMalloc(size_t size) { return ++libraryMallocs, malloc(size); }

/* Unrelated words that happen to carry the hooks' names: no copy
 * relocation, so the library must not take them for its own. */
QvMallocHook QvuMalloc = HostMalloc;
QvReallocHook QvuRealloc = HostRealloc;
QvFreeHook QvuFree = HostFree;

/* Called by the library's appends, its store (copies) and its INI lookup
 * and store (name matching). */
int32_t QvEnlargeGivenBuf(char **buffer, uint32_t *capacity, uint32_t wanted)
{
    (void)buffer, (void)capacity, (void)wanted;
    return ++hostCalls, QV_NO_MEMORY;
}

int32_t QvFormatVAListAndAppendToBuffer(char **buffer, uint32_t *capacity, uint32_t *used,
                                        const char *format, va_list args)
{
    (void)buffer, (void)capacity, (void)used, (void)format, (void)args;
    return ++hostCalls, QV_FORMAT_FAILED;
}

char *QvDupString(const char *text)
{
    (void)text;
    return ++hostCalls, NULL;
}

int32_t QvStrCmpCI(const char *first, const char *second)
{
    (void)first, (void)second;
    return ++hostCalls, 1;
}

int main(void)
{
    static const char kLibrary[] = "libqv-utility_t.so.2";

    char *buffer = NULL;
    uint32_t capacity = 0, used = 0;
    HOST_CHECK(QvAppendToBuffer(&buffer, &capacity, &used, "abc", 3) == QV_OK);
    HOST_CHECK(QvFormatAndAppendToBuffer(&buffer, &capacity, &used, "%d", 42) == QV_OK);
    HOST_CHECK(used == 5 && buffer != NULL && memcmp(buffer, "abc42", 5) == 0);
    free(buffer); /* the library's own hooks are still the standard allocator */

    char *copy = QvAllocateAndFormatString(0, "abc");
    HOST_CHECK(copy != NULL);
    free(copy);

    char value[8];
    HOST_CHECK(QvGetIniValue("[Main]\nmode = fast\n", "MAIN", "Mode", value, sizeof value)
               == QV_OK);
    TripletStore *store = NULL;
    HOST_CHECK(QvAllocStore(&store) == QV_OK);
    HOST_CHECK(QvAddItem(store, "Display", "Mode", "fast") == QV_OK);
    HOST_CHECK(QvAddItem(store, "DISPLAY", "mode", "safe") == QV_OK);
    const char *mode = QvGetItem(store, "display", "MODE");
    HOST_CHECK(mode != NULL && strcmp(mode, "safe") == 0);
    QvFreeStore(store);
    HOST_CHECK(hostCalls == 0);

    /* The runtime holds the library's words, which start as malloc and so on. */
    QvMallocHook *word = QvHostFindData(kLibrary, "QvuMalloc");
    HOST_CHECK(word != NULL && word != &QvuMalloc && *word == malloc);
    HOST_CHECK(QvHostFindData(kLibrary, "QvuFree") != (void *)&QvuFree);

    /* The setter writes the library's word, which the library then reads. */
    QvSetUtilAllocators(LibraryMalloc, NULL, NULL);
    HOST_CHECK(QvuMalloc == HostMalloc && word != NULL && *word == LibraryMalloc);
    copy = QvAllocateAndFormatString(0, "abc");
    HOST_CHECK(copy != NULL && libraryMallocs == 1 && hostCalls == 0);
    free(copy);

    return hostFailures == 0 ? 0 : 1;
}
