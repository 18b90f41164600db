/*
 * names.c - sets of names: one of sections, and one of keys for each
 * section.  Equal names must hash alike, so the hash is taken over the
 * bytes as QvStringToLC lower-cases them, which is how QvStrCmpCI compares;
 * QvStrCmpCI itself decides equality.
 *
 * A file of a million entries makes a million names, so they are kept
 * small and near: the keys of the section being read sit in arrays of
 * their own that grow as needed, and when the section ends they are copied
 * to exactly fitting blocks of the table's chunks, which live as long as
 * the table.  A section opened again gets its keys back.
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
}

void FreeNames(NameTable *table)
{
    while (table->chunks != NULL) {
        NameChunk *next = table->chunks->next;
        free(table->chunks);
        table->chunks = next;
    }
    free(table->keys.slots);
    free(table->keys.names);
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

/* Gives the arrays of set at least the wanted number of elements. */
static int Reserve(NameSet *set, size_t *namesRoom, size_t *slotsRoom, size_t names,
                   size_t slots)
{
    if (names > *namesRoom) {
        Name *grown = names < UINT32_MAX && names < SIZE_MAX / sizeof *grown
                          ? realloc(set->names, names * sizeof *grown)
                          : NULL;
        if (grown == NULL)
            return -1;
        set->names = grown;
        *namesRoom = names;
    }
    if (slots > *slotsRoom) {
        NameSlot *grown = slots < SIZE_MAX / sizeof *grown ? realloc(set->slots, slots * sizeof *grown)
                                                           : NULL;
        if (grown == NULL)
            return -1;
        set->slots = grown;
        *slotsRoom = slots;
    }
    return 0;
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

/* Makes room for one more name in set, its slots at most half full. */
static int Grow(NameSet *set, size_t *namesRoom, size_t *slotsRoom)
{
    size_t capacity = set->capacity < FIRST_CAPACITY ? FIRST_CAPACITY : set->capacity;
    while (2 * (set->count + 1) > capacity)
        capacity *= 2;
    size_t names = *namesRoom > set->count ? *namesRoom : capacity / 2;
    if (Reserve(set, namesRoom, slotsRoom, names, capacity) != 0)
        return -1;
    if (capacity != set->capacity)
        Rehash(set, capacity);
    return 0;
}

/* Looks named up in set.  Found: *first is the earlier one, 1.  Not found:
 * named is added with a copy of its name, 0.  -1 when memory ran out. */
static int Remember(NameTable *table, NameSet *set, size_t *namesRoom, size_t *slotsRoom,
                    const char *name, unsigned long line, size_t column, Name **first)
{
    *first = NULL;
    if (Grow(set, namesRoom, slotsRoom) != 0)
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

/* Moves the current section's keys to fitting blocks of their own. */
static int PutAway(NameTable *table)
{
    NameSet *home = Home(table), *keys = &table->keys;
    if (keys->count == home->count)
        return 0; /* nothing new since they were brought back */
    Name *names = Take(table, keys->count * sizeof *names);
    NameSlot *slots = Take(table, keys->capacity * sizeof *slots);
    if (names == NULL || slots == NULL)
        return -1;
    home->names = memcpy(names, keys->names, keys->count * sizeof *names);
    home->slots = memcpy(slots, keys->slots, keys->capacity * sizeof *slots);
    home->count = keys->count;
    home->capacity = keys->capacity;
    return 0;
}

/* Brings the keys of a section (or those above the first header) back to
 * be added to. */
static int BringBack(NameTable *table, size_t home)
{
    table->home = home;
    const NameSet *kept = Home(table);
    NameSet *keys = &table->keys;
    size_t capacity = kept->capacity < FIRST_CAPACITY ? FIRST_CAPACITY : kept->capacity;
    if (Reserve(keys, &table->keysRoom, &table->keySlotsRoom, capacity / 2, capacity) != 0)
        return -1;
    if (kept->count != 0) {
        memcpy(keys->names, kept->names, kept->count * sizeof *keys->names);
        memcpy(keys->slots, kept->slots, capacity * sizeof *keys->slots);
    } else {
        memset(keys->slots, 0, capacity * sizeof *keys->slots);
    }
    keys->count = kept->count;
    keys->capacity = capacity;
    return 0;
}

int RememberSection(NameTable *table, const char *section, unsigned long line, size_t column,
                    Name **first)
{
    static const NameSet NameSet0;
    if (PutAway(table) != 0)
        return -1;
    size_t room = table->sectionsRoom;
    int found = Remember(table, &table->sections, &table->sectionsRoom, &table->sectionSlotsRoom,
                         section, line, column, first);
    if (found < 0)
        return -1;
    if (table->sectionsRoom != room) {
        NameSet *keysOf = realloc(table->keysOf, table->sectionsRoom * sizeof *keysOf);
        if (keysOf == NULL)
            return -1;
        table->keysOf = keysOf;
    }
    size_t index = found ? (size_t)(*first - table->sections.names) : table->sections.count - 1;
    if (!found)
        table->keysOf[index] = NameSet0;
    return BringBack(table, index);
}

int RememberKey(NameTable *table, const char *key, unsigned long line, size_t column,
                Name **first)
{
    return Remember(table, &table->keys, &table->keysRoom, &table->keySlotsRoom, key, line,
                    column, first) < 0
               ? -1
               : 0;
}
