/* SPDX-License-Identifier: MIT */
/*
 * names.h - the sections and keys a file has named so far, to find what it
 * names twice.  Names compare as the library's lookup and store compare
 * them, with QvStrCmpCI.
 */
#ifndef QVINI_NAMES_H
#define QVINI_NAMES_H

#include <stddef.h>
#include <stdint.h>

typedef struct Name {
    const char *name;  /* as first written */
    unsigned long line;
    uint32_t column;   /* at most UINT32_MAX */
    uint32_t repeats;  /* how often it was named again, at most UINT32_MAX */
} Name;

typedef struct NameSlot NameSlot;
typedef struct NameChunk NameChunk;

typedef struct NameSet {
    NameSlot *slots;   /* open addressing over names */
    size_t capacity;   /* of slots in use: a power of two, at least twice count */
    size_t slotsRoom;  /* slots allocated */
    Name *names;       /* in the order they were first named */
    size_t count;
    size_t room;       /* names allocated */
} NameSet;

typedef struct NameTable {
    NameSet sections;
    NameSet *keysOf;   /* the keys of each section, kept between its visits */
    NameSet keysAbove; /* the keys above the first header, likewise */
    size_t home;       /* whose keys are current: an index of keysOf, or
                          SIZE_MAX for those above the first header */
    NameSet firstVisit; /* the keys of a section seen for the first time */
    NameSet *keys;     /* the current keys: firstVisit, or where a section
                          opened again keeps its keys */
    NameChunk *chunks; /* the copies of names and the kept keys */
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
