/* SPDX-License-Identifier: MIT */
/*
 * escape.h - names and values written so that every byte shows: as qvini
 * quotes them for people, and as JSON strings for programs.
 */
#ifndef QVINI_ESCAPE_H
#define QVINI_ESCAPE_H

#include <stddef.h>
#include <stdio.h>

/* Writes s[0, length) between double quotes: valid UTF-8 as it stands; \\
 * and the quote, \t, \r, \n and other control characters, and bytes that
 * are not valid UTF-8 escaped ("\x0b", "\xc3"). */
void PutQuoted(FILE *out, const char *s, size_t length);

/* Writes a header's name between [ and ], escaped in the same way. */
void PutSectionName(FILE *out, const char *name);

/* Writes s[0, length) as a JSON string; bytes that are not valid UTF-8
 * become U+FFFD. */
void PutJson(FILE *out, const char *s, size_t length);

/* True when cutting s before s[at] splits a valid UTF-8 character. */
int SplitsCharacter(const char *s, size_t length, size_t at);

#endif
