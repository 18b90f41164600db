// SPDX-License-Identifier: MIT
/*
 * hostrt.c - a stand-in for the product's host runtime: a registry of the
 * load descriptors that libraries hand over, checked on arrival, and a
 * lookup of their data symbols by name.
 *
 * All state is static and constant-initialised: a library's load-time
 * initialisation may call in before this object's own initialisers run,
 * because nothing makes the library depend on the runtime that serves it.
 */
#define _GNU_SOURCE
#include "qv-hostrt.h"

#include <link.h>
#include <pthread.h>
#include <stdio.h>
#include <string.h>

enum { kCapacity = 16 };

static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static const QvHostLibraryRecord *registry[kCapacity];

struct WordSearch {
    uintptr_t address;
    int writable;
};

static int Holds(uintptr_t base, const ElfW(Phdr) *segment, uintptr_t address)
{
    uintptr_t start = base + segment->p_vaddr;
    return address >= start && address + sizeof(void *) <= start + segment->p_memsz;
}

/* Writable means in a PF_W segment and outside the part that the loader
 * makes read-only once relocation is done. */
static int FindWord(struct dl_phdr_info *info, size_t size, void *data)
{
    struct WordSearch *search = data;
    int inData = 0, inRelro = 0;
    (void)size;
    for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr) *segment = &info->dlpi_phdr[i];
        if (segment->p_type == PT_LOAD && (segment->p_flags & PF_W))
            inData |= Holds(info->dlpi_addr, segment, search->address);
        else if (segment->p_type == PT_GNU_RELRO)
            inRelro |= Holds(info->dlpi_addr, segment, search->address);
    }
    search->writable = inData && !inRelro;
    return search->writable;
}

static int IsLiveDataWord(const void *address)
{
    struct WordSearch search = {(uintptr_t)address, 0};
    if (address == NULL || search.address % sizeof(void *) != 0)
        return 0;
    dl_iterate_phdr(FindWord, &search);
    return search.writable;
}

static int32_t CheckSymbol(const QvHostSymbolRecord *symbol)
{
    if (symbol->tag != QV_HOST_SYMBOL_TAG || symbol->name == NULL
        || symbol->hash != QvHostElfHash(symbol->name) || !IsLiveDataWord(symbol->address))
        return QV_HOST_BAD_SYMBOL;
    return QV_HOST_OK;
}

static int32_t CheckRecord(const QvHostLibraryRecord *record)
{
    if (record->tag != QV_HOST_LIBRARY_TAG || record->name == NULL || record->symbols == NULL
        || !IsLiveDataWord(record->handle))
        return QV_HOST_BAD_RECORD;
    for (uint32_t i = 0; i < record->symbolCount; ++i) {
        if (record->symbols[i] == NULL)
            return QV_HOST_BAD_RECORD;
        int32_t status = CheckSymbol(record->symbols[i]);
        if (status != QV_HOST_OK)
            return status;
    }
    return record->symbols[record->symbolCount] == NULL ? QV_HOST_OK : QV_HOST_BAD_RECORD;
}

static int32_t Report(int32_t status, const char *call, const void *descriptor)
{
    if (status != QV_HOST_OK)
        fprintf(stderr, "hostrt: %s(%p) refused: %d\n", call, descriptor, status);
    return status;
}

int32_t _zWsoload(int32_t kind, void *descriptor, int32_t reserved)
{
    if (kind != QV_HOST_CALL_KIND || reserved != 0 || descriptor == NULL)
        return Report(QV_HOST_BAD_CALL, "_zWsoload", descriptor);
    const QvHostLibraryRecord *record = descriptor;
    int32_t status = CheckRecord(record);
    if (status != QV_HOST_OK)
        return Report(status, "_zWsoload", descriptor);

    pthread_mutex_lock(&lock);
    const QvHostLibraryRecord **slot = NULL;
    status = QV_HOST_FULL;
    for (int i = 0; i < kCapacity; ++i) {
        if (registry[i] == record) {
            status = QV_HOST_DUPLICATE;
            break;
        }
        if (registry[i] == NULL && slot == NULL) {
            slot = &registry[i];
            status = QV_HOST_OK;
        }
    }
    if (status == QV_HOST_OK)
        *slot = record;
    pthread_mutex_unlock(&lock);
    return Report(status, "_zWsoload", descriptor);
}

int32_t _zWsounload(int32_t kind, void *descriptor, int32_t reserved)
{
    if (kind != QV_HOST_CALL_KIND || reserved != 0 || descriptor == NULL)
        return Report(QV_HOST_BAD_CALL, "_zWsounload", descriptor);
    int32_t status = QV_HOST_NOT_REGISTERED;
    pthread_mutex_lock(&lock);
    for (int i = 0; i < kCapacity; ++i) {
        if (registry[i] == descriptor) {
            registry[i] = NULL;
            status = QV_HOST_OK;
            break;
        }
    }
    pthread_mutex_unlock(&lock);
    return Report(status, "_zWsounload", descriptor);
}

void *QvHostFindData(const char *library, const char *symbol)
{
    uint32_t hash = QvHostElfHash(symbol);
    void *address = NULL;
    pthread_mutex_lock(&lock);
    for (int i = 0; i < kCapacity && address == NULL; ++i) {
        const QvHostLibraryRecord *record = registry[i];
        if (record == NULL || strcmp(record->name, library) != 0)
            continue;
        for (const QvHostSymbolRecord *const *s = record->symbols; *s != NULL; ++s) {
            if ((*s)->hash == hash && strcmp((*s)->name, symbol) == 0) {
                address = (*s)->address;
                break;
            }
        }
    }
    pthread_mutex_unlock(&lock);
    return address;
}
