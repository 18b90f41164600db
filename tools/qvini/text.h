/* SPDX-License-Identifier: MIT */
/*
 * text.h - what qvini writes, built in the library's growable buffers:
 * names and values written so that every byte shows, quoted for people and
 * as JSON strings for programs; and its messages on standard error.
 */
#ifndef QVINI_TEXT_H
#define QVINI_TEXT_H

#include <stddef.h>
#include <stdint.h>

typedef struct Text {
    char *bytes;       /* a NUL follows the used bytes once one is written */
    uint32_t capacity, used;
    int failed;        /* memory ran out: the text is incomplete */
} Text;

void Add(Text *text, const void *bytes, size_t length);
__attribute__((format(printf, 2, 3))) void AddFormat(Text *text, const char *format, ...);

/* s[0, length) between double quotes: valid UTF-8 as it stands; \\ and the
 * quote, \t, \r, \n and other control characters, and bytes that are not
 * valid UTF-8 escaped ("\x0b", "\xc3"). */
void AddQuoted(Text *text, const char *s, size_t length);

/* A header's name between [ and ], escaped in the same way. */
void AddSection(Text *text, const char *name);

/* s as a JSON string, bytes that are not valid UTF-8 as U+FFFD; null for a
 * null s. */
void AddJson(Text *text, const char *s);

/* Writes the text to standard output and empties it; 0, or -1 when memory
 * ran out while it was built. */
int Put(Text *text);

void FreeText(Text *text);

/* True when cutting s before s[at] splits a valid UTF-8 character. */
int SplitsCharacter(const char *s, size_t length, size_t at);

/* Writes "qvini: " and the message on standard error, after whatever
 * standard output holds, and answers status. */
__attribute__((format(printf, 2, 3))) int Fail(int status, const char *format, ...);

#endif
