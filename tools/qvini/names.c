// SPDX-License-Identifier: MIT
/*
 * names.c - sets of names: one of sections, and one of keys for each
 * section.  Equal names must hash alike, so the hash is taken over the
 * bytes as QvStringToLC lower-cases them, which is how QvStrCmpCI compares;
 * QvStrCmpCI itself decides equality.
 *
 * A file of a million entries makes a million names, so they are kept
 * small and near: the keys of a section seen for the first time sit in
 * arrays that grow as needed and are reused, and when the section ends
 * they are copied to exactly fitting blocks of the table's chunks, which
 * live as long as the table.  A section opened again adds to its kept keys
 * where they are, growing them in the chunks.
 */
#include "names.h"

#include <stdlib.h>
#include <string.h>

#include <qv-utility.h>

enum { CHUNK_SIZE = 1 << 16, FIRST_CAPACITY = 16 };

struct NameSlot {
    uint32_t hash;
    uint32_t index; /* into names, plus 1; 0 for a free slot */
};

struct NameChunk {
    NameChunk *next;
    size_t used, size;
    char bytes[];
};

void StartNames(NameTable *table)
{
    static const NameTable NameTable0;
    *table = NameTable0;
    table->home = SIZE_MAX;
    table->keys = &table->firstVisit;
}

void FreeNames(NameTable *table)
{
    while (table->chunks != NULL) {
        NameChunk *next = table->chunks->next;
        free(table->chunks);
        table->chunks = next;
    }
    free(table->firstVisit.slots);
    free(table->firstVisit.names);
    free(table->sections.slots);
    free(table->sections.names);
    free(table->keysOf);
    StartNames(table);
}

/* A block of the table's chunks, taken for good. */
static void *Take(NameTable *table, size_t size)
{
    size = (size + 7) & ~(size_t)7;
    NameChunk *chunk = table->chunks;
    if (chunk == NULL || chunk->size - chunk->used < size) {
        int large = size > CHUNK_SIZE / 4; /* in a chunk of its own */
        size_t bytes = large ? size : CHUNK_SIZE;
        if (bytes > SIZE_MAX - sizeof *chunk || (chunk = malloc(sizeof *chunk + bytes)) == NULL)
            return NULL;
        chunk->used = 0;
        chunk->size = bytes;
        NameChunk **after = large && table->chunks != NULL ? &table->chunks->next : &table->chunks;
        chunk->next = *after;
        *after = chunk;
    }
    void *taken = chunk->bytes + chunk->used;
    chunk->used += size;
    return taken;
}

static const char *Copy(NameTable *table, const char *s)
{
    size_t size = strlen(s) + 1;
    char *copy = Take(table, size);
    return copy != NULL ? memcpy(copy, s, size) : NULL;
}

/* FNV-1a over the bytes as QvStringToLC lower-cases them, taken from the
 * library once for every byte. */
static uint32_t Hash(const char *name)
{
    static unsigned char folded[256];
    if (folded['A'] == 0)
        for (int c = 1; c < 256; ++c) {
            char one[2] = {(char)c, '\0'};
            QvStringToLC(one);
            folded[c] = (unsigned char)one[0];
        }
    uint32_t hash = 2166136261u;
    for (const unsigned char *p = (const unsigned char *)name; *p != '\0'; ++p)
        hash = (hash ^ folded[*p]) * 16777619u;
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

/* Lays the slots of set out anew over capacity slots. */
static void Rehash(NameSet *set, size_t capacity)
{
    memset(set->slots, 0, capacity * sizeof *set->slots);
    set->capacity = capacity;
    for (size_t i = 0; i < set->count; ++i) {
        uint32_t hash = Hash(set->names[i].name);
        size_t j = hash & (capacity - 1);
        while (set->slots[j].index != 0)
            j = (j + 1) & (capacity - 1);
        set->slots[j].hash = hash;
        set->slots[j].index = (uint32_t)i + 1;
    }
}

/* A new block for an array of a set: the table's own sets grow in the
 * heap, kept keys in the chunks (the old block is left there). */
static void *Enlarge(NameTable *table, NameSet *set, void *block, size_t kept, size_t size)
{
    if (set == &table->sections || set == &table->firstVisit)
        return realloc(block, size);
    void *taken = Take(table, size);
    return taken != NULL && kept != 0 ? memcpy(taken, block, kept) : taken;
}

/* Makes room for one more name in set, its slots at most half full. */
static int Grow(NameTable *table, NameSet *set)
{
    size_t capacity = set->capacity < FIRST_CAPACITY ? FIRST_CAPACITY : set->capacity;
    while (2 * (set->count + 1) > capacity)
        capacity *= 2;
    if (capacity / 2 >= UINT32_MAX || capacity > SIZE_MAX / 2 / sizeof *set->names)
        return -1;
    if (set->room <= set->count) {
        Name *names = Enlarge(table, set, set->names, set->count * sizeof *names,
                              capacity / 2 * sizeof *names);
        if (names == NULL)
            return -1;
        set->names = names;
        set->room = capacity / 2;
    }
    if (capacity > set->slotsRoom) {
        NameSlot *slots = Enlarge(table, set, set->slots, 0, capacity * sizeof *slots);
        if (slots == NULL)
            return -1;
        set->slots = slots;
        set->slotsRoom = capacity;
    }
    if (capacity != set->capacity)
        Rehash(set, capacity);
    return 0;
}

/* Looks named up in set.  Found: *first is the earlier one, 1.  Not found:
 * named is added with a copy of its name, 0.  -1 when memory ran out. */
static int Remember(NameTable *table, NameSet *set, const char *name, unsigned long line,
                    size_t column, Name **first)
{
    *first = NULL;
    if (Grow(table, set) != 0)
        return -1;
    uint32_t hash = Hash(name);
    NameSlot *slot = Slot(set, name, hash);
    if (slot->index != 0) {
        *first = &set->names[slot->index - 1];
        (*first)->repeats += (*first)->repeats < UINT32_MAX;
        return 1;
    }
    Name added = {Copy(table, name), line, column < UINT32_MAX ? (uint32_t)column : UINT32_MAX, 0};
    if (added.name == NULL)
        return -1;
    set->names[set->count++] = added;
    slot->hash = hash;
    slot->index = (uint32_t)set->count;
    return 0;
}

static NameSet *Home(NameTable *table)
{
    return table->home == SIZE_MAX ? &table->keysAbove : &table->keysOf[table->home];
}

/* Keeps the keys of a section seen for the first time in fitting blocks. */
static int PutAway(NameTable *table)
{
    NameSet *keys = table->keys, *home = Home(table);
    if (keys != &table->firstVisit || keys->count == 0)
        return 0;
    Name *names = Take(table, keys->count * sizeof *names);
    NameSlot *slots = Take(table, keys->capacity * sizeof *slots);
    if (names == NULL || slots == NULL)
        return -1;
    home->names = memcpy(names, keys->names, keys->count * sizeof *names);
    home->slots = memcpy(slots, keys->slots, keys->capacity * sizeof *slots);
    home->count = home->room = keys->count;
    home->capacity = home->slotsRoom = keys->capacity;
    return 0;
}

int RememberSection(NameTable *table, const char *section, unsigned long line, size_t column,
                    Name **first)
{
    static const NameSet NameSet0;
    if (PutAway(table) != 0)
        return -1;
    size_t room = table->sections.room;
    int found = Remember(table, &table->sections, section, line, column, first);
    if (found < 0)
        return -1;
    if (table->sections.room != room) {
        NameSet *keysOf = realloc(table->keysOf, table->sections.room * sizeof *keysOf);
        if (keysOf == NULL)
            return -1;
        table->keysOf = keysOf;
    }
    table->home = found ? (size_t)(*first - table->sections.names) : table->sections.count - 1;
    if (!found)
        table->keysOf[table->home] = NameSet0;
    table->keys = Home(table);
    if (table->keys->count == 0) {
        table->keys = &table->firstVisit;
        table->keys->count = 0;
        table->keys->capacity = 0;
    }
    return 0;
}

int RememberKey(NameTable *table, const char *key, unsigned long line, size_t column,
                Name **first)
{
    return Remember(table, table->keys, key, line, column, first) < 0 ? -1 : 0;
}
