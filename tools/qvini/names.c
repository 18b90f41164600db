/*
 * names.c - sets of names: one of sections, and one of keys for each
 * section, so that the keys of the section being read stay in the cache (a
 * single table of a million entries would cost a cache miss each).  Equal
 * names must hash alike, so the hash is taken over names lower-cased by
 * QvStringToLC, which folds exactly as QvStrCmpCI compares; QvStrCmpCI
 * itself decides equality.
 */
#include "names.h"

#include <stdlib.h>
#include <string.h>

#include <qv-utility.h>

#include "lines.h"

enum { CHUNK_SIZE = 1 << 16, FIRST_ROOM = 8 };

struct NameSlot {
    uint32_t hash;
    uint32_t index; /* into names, plus 1; 0 for a free slot */
};

struct NameChunk {
    NameChunk *next;
    size_t used;
    char bytes[CHUNK_SIZE];
};

void StartNames(NameTable *table)
{
    static const NameTable NameTable0;
    *table = NameTable0;
    table->keys = &table->keysAbove;
}

static void FreeSet(NameSet *set)
{
    free(set->slots);
    free(set->names);
}

void FreeNames(NameTable *table)
{
    for (size_t i = 0; i < table->sections.count; ++i) {
        FreeSet(table->sections.names[i].keys);
        free(table->sections.names[i].keys);
    }
    FreeSet(&table->sections);
    FreeSet(&table->keysAbove);
    while (table->chunks != NULL) {
        NameChunk *next = table->chunks->next;
        free(table->chunks);
        table->chunks = next;
    }
    StartNames(table);
}

static const char *Copy(NameTable *table, const char *s)
{
    size_t size = strlen(s) + 1;
    NameChunk *chunk = table->chunks;
    if (chunk == NULL || CHUNK_SIZE - chunk->used < size) {
        if ((chunk = malloc(sizeof *chunk)) == NULL)
            return NULL;
        chunk->next = table->chunks;
        chunk->used = 0;
        table->chunks = chunk;
    }
    char *copy = memcpy(chunk->bytes + chunk->used, s, size);
    chunk->used += size;
    return copy;
}

/* FNV-1a over a lower-cased copy. */
static uint32_t Hash(const char *name)
{
    char folded[MAX_LINE + 1];
    size_t length = strlen(name);
    if (length > MAX_LINE)
        length = MAX_LINE;
    memcpy(folded, name, length);
    folded[length] = '\0';
    QvStringToLC(folded);
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < length; ++i)
        hash = (hash ^ (unsigned char)folded[i]) * 16777619u;
    return hash;
}

/* The slot of the name equal to name, or the free slot it would take. */
static NameSlot *Slot(const NameSet *set, const char *name, uint32_t hash)
{
    size_t mask = set->capacity - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        NameSlot *slot = &set->slots[i];
        if (slot->index == 0
            || (slot->hash == hash && QvStrCmpCI(set->names[slot->index - 1].name, name) == 0))
            return slot;
    }
}

/* Makes room for one more name, with the slots at most half full. */
static int Grow(NameSet *set)
{
    if (set->count == set->room) {
        size_t room = set->room == 0 ? FIRST_ROOM : set->room * 2;
        Name *names = room < UINT32_MAX ? realloc(set->names, room * sizeof *names) : NULL;
        if (names == NULL)
            return -1;
        set->names = names;
        set->room = room;
    }
    if (2 * (set->count + 1) <= set->capacity)
        return 0;
    size_t capacity = set->capacity == 0 ? 2 * FIRST_ROOM : set->capacity * 2;
    NameSlot *slots = calloc(capacity, sizeof *slots);
    if (slots == NULL)
        return -1;
    for (size_t i = 0; i < set->capacity; ++i) {
        if (set->slots[i].index == 0)
            continue;
        size_t j = set->slots[i].hash & (capacity - 1);
        while (slots[j].index != 0)
            j = (j + 1) & (capacity - 1);
        slots[j] = set->slots[i];
    }
    free(set->slots);
    set->slots = slots;
    set->capacity = capacity;
    return 0;
}

/* Looks named up in set.  Found: *first is the earlier one, 1.  Not found:
 * named is added, its name copied unless it is the current header's, 0.
 * -1 when memory ran out. */
static int Remember(NameTable *table, NameSet *set, const Name *named, Name **first)
{
    *first = NULL;
    if (Grow(set) != 0)
        return -1;
    uint32_t hash = Hash(named->name);
    NameSlot *slot = Slot(set, named->name, hash);
    if (slot->index != 0) {
        *first = &set->names[slot->index - 1];
        ++(*first)->repeats;
        return 1;
    }
    Name *name = &set->names[set->count];
    *name = *named;
    if (name->name != table->section && (name->name = Copy(table, named->name)) == NULL)
        return -1;
    slot->hash = hash;
    slot->index = (uint32_t)++set->count;
    return 0;
}

int RememberSection(NameTable *table, const char *section, unsigned long line, size_t column,
                    Name **first)
{
    static const NameSet NameSet0;
    NameSet *keys = malloc(sizeof *keys);
    if (keys == NULL || (table->section = Copy(table, section)) == NULL) {
        free(keys);
        return -1;
    }
    *keys = NameSet0;
    Name named = {table->section, table->section, line, column, 0, keys};
    int found = Remember(table, &table->sections, &named, first);
    if (found != 0)
        free(keys);
    if (found < 0)
        return -1;
    table->keys = found ? (*first)->keys : keys;
    return 0;
}

int RememberKey(NameTable *table, const char *key, unsigned long line, size_t column,
                Name **first)
{
    Name named = {key, table->section, line, column, 0, NULL};
    return Remember(table, table->keys, &named, first) < 0 ? -1 : 0;
}
