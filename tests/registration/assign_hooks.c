// SPDX-License-Identifier: MIT
/*
 * assign_hooks.c - a host that installs its allocator by assigning the hook
 * words, the way host code does without reading the library's notes.
 *
 * Built position-dependent and as PIE on each architecture.  Some of those
 * builds hold copy-relocated copies of the words (a non-PIE host always, a
 * PIE one on x86_64) and some reach the library's own words (PIE on i386);
 * the library must see the assignment either way, and so must the runtime,
 * which writes through the addresses in the descriptor.
 */
#include <stdlib.h>
#include <wchar.h>

#include <qv-hostrt.h>
#include <qv-utility.h>

#include "host_check.h"

static int mallocs, reallocs, frees;

static void *CountingMalloc(size_t size) { return ++mallocs, malloc(size); }
static void *CountingRealloc(void *block, size_t size) { return ++reallocs, realloc(block, size); }
static void CountingFree(void *block) { ++frees, free(block); }
static void OtherFree(void *block) { free(block); }

int main(void)
{
    static const char kLibrary[] = "libqv-utility_t.so.2";

    QvuMalloc = CountingMalloc;
    QvuRealloc = CountingRealloc;
    QvuFree = CountingFree;

    char *copy = QvDupString("abc");
    HOST_CHECK(copy != NULL && mallocs == 1);

    /* 200 bytes for "abc" is trimmed, through the reallocation hook. */
    char *formatted = QvAllocateAndFormatString(200, "%s", "abc");
    HOST_CHECK(formatted != NULL && mallocs == 2 && reallocs == 1);

    /* A character the C locale cannot encode fails the formatter, and the
     * library releases its block itself. */
    HOST_CHECK(QvAllocateAndFormatString(0, "%lc", (wint_t)0x263A) == NULL);
    HOST_CHECK(mallocs == 3 && frees == 1);

    QvuFree(copy);
    QvuFree(formatted);
    HOST_CHECK(frees == 3);

    /* The words the runtime was given are the words this program assigns... */
    HOST_CHECK(QvHostFindData(kLibrary, "QvuMalloc") == (void *)&QvuMalloc);
    HOST_CHECK(QvHostFindData(kLibrary, "QvuRealloc") == (void *)&QvuRealloc);
    HOST_CHECK(QvHostFindData(kLibrary, "QvuFree") == (void *)&QvuFree);

    /* ...and the ones the library's own setter writes. */
    QvSetUtilAllocators(NULL, NULL, OtherFree);
    HOST_CHECK(QvuFree == OtherFree && QvuMalloc == CountingMalloc);

    return hostFailures == 0 ? 0 : 1;
}
