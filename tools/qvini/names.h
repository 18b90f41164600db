/* SPDX-License-Identifier: MIT */
/*
 * names.h - the sections and keys a file has named so far, to find what it
 * names twice: one set of names, each in a group (the section names, or
 * the keys of one section).  Names compare as the library's lookup and
 * store compare them, with QvStrCmpCI.
 */
#ifndef QVINI_NAMES_H
#define QVINI_NAMES_H

#include <stddef.h>
#include <stdint.h>

#include "text.h"

enum { SECTION_NAMES = 0, KEYS_ABOVE_HEADERS = 1 };

typedef struct Name {
    uint32_t hash, group;
    uint32_t text;        /* where the name is in Names.text */
    uint32_t repeats;     /* how often it was named again, at most UINT32_MAX */
    uintmax_t line, column;
} Name;

typedef struct Names {
    Name *names;          /* in the order first named */
    size_t count;
    uint32_t *slots;      /* open addressing: an index of names plus 1, or 0 */
    size_t capacity;      /* of slots: a power of two, at least twice count */
    Text text;            /* the names, each ended by a NUL */
} Names;

/* Remembers name in group: SECTION_NAMES, KEYS_ABOVE_HEADERS, or the keys
 * of a section, whose group is KeyGroup of the section name's index.
 * Answers the index of the name the group had (*repeated 1, its repeats
 * counted up) or of the name added (*repeated 0); -1 when memory ran out. */
ptrdiff_t Remember(Names *names, uint32_t group, const char *name, uintmax_t line,
                   uintmax_t column, int *repeated);

static inline uint32_t KeyGroup(ptrdiff_t section)
{
    return (uint32_t)section + 2;
}

static inline const char *NameText(const Names *names, const Name *name)
{
    return names->text.bytes + name->text;
}

void FreeNames(Names *names);

#endif
