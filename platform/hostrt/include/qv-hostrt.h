/* SPDX-License-Identifier: MIT */
/*
 * qv-hostrt.h - the host runtime's side of library registration: the two
 * entry points a library calls when it is loaded and unloaded, the load
 * descriptor it hands over, and a lookup of the data symbols it announced.
 *
 * The product's runtime is a closed component; libqv_host_runtime.so is a
 * stand-in with the same entry points for programs that run without it.
 * The descriptor's layout is fixed to the byte on i386.  On x86_64 it is the
 * layout this same C declaration gets there: 32-bit words stay 32-bit,
 * pointers and the handle word widen to 64 bits, every field at its natural
 * alignment (the library record is then 56 bytes, a symbol record 32).
 */
#ifndef QV_HOSTRT_H
#define QV_HOSTRT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QV_HOST_LIBRARY_TAG 0x02000000u /* first word of a library record */
#define QV_HOST_SYMBOL_TAG  0x00020000u /* first word of a symbol record */
#define QV_HOST_CALL_KIND   1           /* first argument of both entry points */

/* One exported data symbol of a library. */
typedef struct QvHostSymbolRecord {
    uint32_t tag;       /* QV_HOST_SYMBOL_TAG */
    uint32_t hash;      /* QvHostElfHash(name) */
    const char *name;
    void *address;      /* the data word itself, which the runtime may write */
    uint32_t reserved[2];
} QvHostSymbolRecord;

/* The record a library hands over: its name and its exported data. */
typedef struct QvHostLibraryRecord {
    uint32_t tag;          /* QV_HOST_LIBRARY_TAG */
    uint32_t symbolCount;
    const char *name;      /* the library's soname */
    uint32_t reserved[3];
    const QvHostSymbolRecord *const *symbols; /* symbolCount records, then null */
    uintptr_t *handle;     /* a word for the runtime, zero at load */
    uint32_t reserved2;
} QvHostLibraryRecord;

/*
 * The ELF (System V) symbol hash, as a .hash section uses it.  A compile-time
 * constant in C++, so a library can build its records without running code.
 */
#ifdef __cplusplus
constexpr
#else
static inline
#endif
uint32_t QvHostElfHash(const char *name)
{
    uint32_t hash = 0;
    for (; *name != '\0'; ++name) {
        hash = (hash << 4) + (unsigned char)*name;
        uint32_t high = hash & 0xf0000000u;
        hash ^= high >> 24;
        hash &= ~high;
    }
    return hash;
}

/* Results of the stand-in's entry points; a library ignores them. */
#define QV_HOST_OK             0
#define QV_HOST_BAD_CALL      -1 /* kind or reserved argument, or no descriptor */
#define QV_HOST_BAD_RECORD    -2 /* library record: tag, name, count, list, handle */
#define QV_HOST_BAD_SYMBOL    -3 /* symbol record: tag, name, hash, address */
#define QV_HOST_FULL          -4 /* no room left in the registry */
#define QV_HOST_DUPLICATE     -5 /* this record is registered already */
#define QV_HOST_NOT_REGISTERED -6 /* unload of a record never registered */

/*
 * Called by a library's load-time initialisation with
 * (QV_HOST_CALL_KIND, its library record, 0).  The stand-in checks the record
 * and every symbol record (tag, the hash against the name, the address of a
 * writable data word of a loaded object) and registers it.  It keeps no
 * state that needs initialising, because a library's initialisation may run
 * before the runtime's own.
 */
int32_t _zWsoload(int32_t kind, void *descriptor, int32_t reserved);

/* Called by a library's unload-time finalisation with the same arguments;
 * the stand-in forgets the record. */
int32_t _zWsounload(int32_t kind, void *descriptor, int32_t reserved);

/* The address of the data symbol `symbol` that the registered library named
 * `library` announced, or null.  Any thread. */
void *QvHostFindData(const char *library, const char *symbol);

#ifdef __cplusplus
}
#endif

#endif /* QV_HOSTRT_H */
