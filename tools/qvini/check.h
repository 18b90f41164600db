/* SPDX-License-Identifier: MIT */
/*
 * check.h - where the library reads a file differently than a person
 * would: each finding names its line and column, says what the library
 * makes of the text, and has a stable name of its kind.
 */
#ifndef QVINI_CHECK_H
#define QVINI_CHECK_H

#include <stdint.h>
#include <stdio.h>

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
    KIND_BYTE_ORDER_MARK,
    KIND_IGNORED_LINE,
    KIND_NOT_INI,
    KIND_ENTRY_BEFORE_SECTION,
    KIND_HASH_COMMENT,
    KIND_COUNT
} Kind;

typedef enum Severity { SEVERITY_OFF, SEVERITY_NOTE, SEVERITY_WARNING, SEVERITY_ERROR } Severity;

typedef struct Finding {
    const char *file;
    uintmax_t line;
    uintmax_t column;   /* in bytes, 1 for a line's first */
    Severity severity;  /* a note adds to the finding before it */
    Kind kind;
    const char *message;
} Finding;

typedef void (*FindingSink)(const Finding *finding, void *context);

/* Hands every finding of the text in file to sink, those of the kinds whose
 * severity is not SEVERITY_OFF, and reads no further than the first error.
 * A file that is plainly not INI gets one KIND_NOT_INI finding in place of
 * those about its lines, unless that kind is off.  0, or after a message
 * EXIT_IO or EXIT_NO_MEMORY. */
int CheckFile(FILE *file, const char *name, const Severity severity[KIND_COUNT],
              FindingSink sink, void *context);

#endif
