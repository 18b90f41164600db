/* SPDX-License-Identifier: MIT */
/*
 * lines.h - INI text read line by line, each physical line handed to the
 * library's parser on its own.
 *
 * The dialect is line-local: what a line is (header, entry, nothing) and
 * what the parser reports for it do not depend on the lines around it,
 * apart from the section an entry belongs to, which is the latest header's.
 * So a line parsed alone gets exactly the report it gets inside the whole
 * text, and the line it came from is known.  Everything qvini says about a
 * line starts from that report; the raw text beside it only adds positions
 * and explanations.
 */
#ifndef QVINI_LINES_H
#define QVINI_LINES_H

#include <stddef.h>
#include <stdint.h>

enum { MAX_LINE = 260, MAX_SECTION = 256, MAX_FIELD = 80 };

typedef struct LineReading {
    unsigned long number;  /* 1 for the first line */
    const char *start;     /* the line's first byte */
    const char *content;   /* after the indentation, which the parser skips */
    size_t length;         /* of content, to the line feed or the text's end */
    int32_t result;        /* the parser's: QV_OK, or QV_BAD_DATA (too long) */
    int reports;           /* how many reports the parser made for the line */
    const char *section;   /* a header's name; for an entry the latest header's
                              name, or null above the first header */
    const char *key;       /* an entry's key; null for a header */
    const char *value;     /* an entry's value; null for a header or an entry
                              without a value */
} LineReading;

typedef struct LineReader {
    char *next;            /* start of the next line */
    char *end;             /* the end of the text the library sees */
    unsigned long number;
    int inSection;
    char section[MAX_SECTION + 1];
    char key[MAX_LINE + 1];
    char value[MAX_FIELD + 1];
} LineReader;

/* Reads text[0, length), where text[length] is the NUL the library stops
 * at.  Each line is ended in place for a moment; the text is unchanged
 * between calls. */
void StartReading(LineReader *reader, char *text, size_t length);

/* The next line as the parser reads it; 0 once the text is over.  The
 * strings of the reading last until the next call. */
int ReadLine(LineReader *reader, LineReading *line);

/* Where an entry's value stands in its line: after the "=" and the blanks
 * that follow it, up to the first carriage return or the line's end, less
 * trailing whitespace.  The parser keeps at most the first MAX_FIELD bytes. */
typedef struct ValueSpan {
    const char *start;
    size_t length;
    const char *carriageReturn; /* one that ends the value before other text,
                                   which the parser drops; or null */
} ValueSpan;

ValueSpan FindValue(const LineReading *line);

/* The parser's whitespace: isspace in the POSIX locale. */
static inline int IsSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

#endif
