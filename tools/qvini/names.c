// SPDX-License-Identifier: MIT
/*
 * names.c - one set of names over all groups.  Equal names must hash alike,
 * so the hash is taken over the bytes as QvStringToLC lower-cases them,
 * which is how QvStrCmpCI compares; QvStrCmpCI itself decides equality.
 * The group is hashed too, so a key that every section has spreads out.
 */
#include "qvini.h"

#include <stdlib.h>
#include <string.h>

/* FNV-1a from a basis that the group changes, over the bytes as
 * QvStringToLC lower-cases them: every byte once, through the library. */
static uint32_t Hash(uint32_t group, const char *name)
{
    static unsigned char folded[257]; /* 1 to 255 and a NUL, lower-cased */
    if (folded[1] == 0) {
        for (int c = 1; c < 256; ++c)
            folded[c] = (unsigned char)c;
        QvStringToLC((char *)folded + 1);
    }
    uint32_t hash = (2166136261u ^ group) * 16777619u;
    for (const unsigned char *p = (const unsigned char *)name; *p != '\0'; ++p)
        hash = (hash ^ folded[*p]) * 16777619u;
    return hash;
}

/* Doubles the slots, keeping them at most half full, and the room for
 * names with them. */
static int Grow(Names *names)
{
    size_t capacity = names->capacity < 16 ? 16 : 2 * names->capacity;
    if (capacity / 2 >= UINT32_MAX || capacity > SIZE_MAX / 2 / sizeof *names->names)
        return -1;
    Name *grown = realloc(names->names, capacity / 2 * sizeof *grown);
    if (grown != NULL)
        names->names = grown;
    uint32_t *slots = grown != NULL ? calloc(capacity, sizeof *slots) : NULL;
    if (slots == NULL)
        return -1;
    free(names->slots);
    names->slots = slots;
    names->capacity = capacity;
    for (size_t i = 0; i < names->count; ++i) {
        size_t j = names->names[i].hash & (capacity - 1);
        while (slots[j] != 0)
            j = (j + 1) & (capacity - 1);
        slots[j] = (uint32_t)i + 1;
    }
    return 0;
}

Name *Remember(Names *names, uint32_t group, const char *name, uintmax_t line, uintmax_t column)
{
    if (2 * (names->count + 1) > names->capacity && Grow(names) != 0)
        return NULL;
    uint32_t hash = Hash(group, name), at = names->text.used;
    size_t mask = names->capacity - 1, slot = hash & mask;
    for (; names->slots[slot] != 0; slot = (slot + 1) & mask) {
        Name *known = &names->names[names->slots[slot] - 1];
        if (known->hash == hash && known->group == group
            && QvStrCmpCI(NameText(names, known), name) == 0) {
            known->repeats += known->repeats < UINT32_MAX;
            return known;
        }
    }
    Add(&names->text, name, strlen(name) + 1);
    if (names->text.failed)
        return NULL;
    names->names[names->count] = (Name){hash, group, at, 0, line, column};
    names->slots[slot] = (uint32_t)++names->count;
    return &names->names[names->count - 1];
}

void FreeNames(Names *names)
{
    free(names->names);
    free(names->slots);
    FreeText(&names->text);
}
