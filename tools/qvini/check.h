/* SPDX-License-Identifier: MIT */
/*
 * check.h - where the library reads a file differently than a person
 * would: each finding names its line and column, says what the library
 * makes of the text, and has a stable name of its kind.
 */
#ifndef QVINI_CHECK_H
#define QVINI_CHECK_H

#include <stddef.h>

#include "input.h"

typedef enum Kind {
    KIND_LONG_LINE,
    KIND_NUL_BYTE,
    KIND_VALUE_CUT,
    KIND_SECTION_CUT,
    KIND_LONG_KEY,
    KIND_HASH_ENTRY,
    KIND_INLINE_COMMENT,
    KIND_EMPTY_VALUE,
    KIND_DUPLICATE_KEY,
    KIND_DUPLICATE_SECTION,
    KIND_UNCLOSED_SECTION,
    KIND_TEXT_AFTER_SECTION,
    KIND_CARRIAGE_RETURN,
    KIND_IGNORED_LINE,
    KIND_ENTRY_BEFORE_SECTION,
    KIND_HASH_COMMENT,
    KIND_COUNT
} Kind;

typedef enum Severity { SEVERITY_OFF, SEVERITY_NOTE, SEVERITY_WARNING, SEVERITY_ERROR } Severity;

typedef struct Finding {
    const char *file;
    unsigned long line;
    size_t column;      /* in bytes, 1 for a line's first */
    Severity severity;  /* a note adds to the finding before it */
    Kind kind;
    const char *message;
} Finding;

typedef void (*FindingSink)(const Finding *finding, void *context);

/* Hands every finding of input to sink, those of the kinds whose severity
 * is not SEVERITY_OFF.  0, or EXIT_NO_MEMORY. */
int CheckText(const Input *input, const Severity severity[KIND_COUNT], FindingSink sink,
              void *context);

#endif
