/*
 * names.h - the sections and keys a file has named so far, to find what it
 * names twice.  Names compare as the library's lookup and store compare
 * them, with QvStrCmpCI.
 */
#ifndef QVINI_NAMES_H
#define QVINI_NAMES_H

#include <stddef.h>
#include <stdint.h>

typedef struct NameSet NameSet;

typedef struct Name {
    const char *name;      /* as first written */
    const char *section;   /* the header it was under, as written there; null
                              above the first header */
    unsigned long line;
    size_t column;
    unsigned long repeats; /* how often it was named again */
    NameSet *keys;         /* a section's keys; null for a key */
} Name;

typedef struct NameSlot NameSlot;
typedef struct NameChunk NameChunk;

struct NameSet {
    NameSlot *slots;       /* open addressing over names */
    size_t capacity;       /* of slots, a power of two */
    Name *names;           /* in the order they were first named */
    size_t count, room;
};

typedef struct NameTable {
    NameSet sections;
    NameSet keysAbove;     /* the keys above the first header */
    NameSet *keys;         /* the keys of the current section */
    const char *section;   /* the current header's name, as written */
    NameChunk *chunks;     /* the copies of the names */
} NameTable;

void StartNames(NameTable *table);
void FreeNames(NameTable *table);

/* Remembers a header, whose section then takes the keys that follow.  When
 * the section was named before, *first is its first header, its repeats
 * counted up, until the next call; otherwise *first is null.  0, or -1 when
 * memory ran out. */
int RememberSection(NameTable *table, const char *section, unsigned long line, size_t column,
                    Name **first);

/* The same for a key of the current section. */
int RememberKey(NameTable *table, const char *key, unsigned long line, size_t column,
                Name **first);

#endif
