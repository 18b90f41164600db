/* SPDX-License-Identifier: MIT */
/*
 * lines.h - INI text read from a stream line by line, each line handed to
 * the library's parser on its own.
 *
 * The dialect is line-local: what a line is (header, entry, nothing) and
 * what the parser reports for it do not depend on the lines around it,
 * apart from the section an entry belongs to, which is the latest header's.
 * So a line parsed alone gets exactly the report it gets inside the whole
 * text, and the line it came from is known.  Everything qvini says about a
 * line starts from that report; the raw text beside it only adds positions
 * and explanations.  Only a window of the stream is held, so a file of any
 * size is read in a few kilobytes.
 */
#ifndef QVINI_LINES_H
#define QVINI_LINES_H

#include <stdint.h>
#include <stdio.h>

#include <qv-utility.h>

typedef struct Line {
    uintmax_t number;      /* 1 for the first line */
    uintmax_t indent;      /* bytes before content on its line */
    const char *content;   /* after the indentation the parser skips, ended
                              by a NUL unless the line is overlong */
    uintmax_t length;      /* of content, to the line feed, a NUL byte or the
                              end of the text; for an overlong line too */
    char last;             /* content's last byte */
    int32_t result;        /* the parser's: QV_OK, or QV_BAD_DATA (too long) */
    int reports;           /* how many reports the parser made for the line */
    const char *section;   /* a header's name; for an entry the latest header's
                              name, or null above the first header */
    const char *key;       /* an entry's key; null for a header */
    const char *value;     /* an entry's value; null for a header or an entry
                              without a value */
} Line;

typedef struct LineReader {
    FILE *file;
    int error;             /* errno of a failed read, else 0 */
    int ended;             /* the file has given all it has */
    uintmax_t offset;      /* of window[0] in the file */
    uintmax_t number;      /* of the line at window[start] */
    uintmax_t column;      /* bytes of that line before window[start] */
    size_t start, end;     /* the bytes read and not yet taken */
    Line *line;            /* the one being read */
    int inSection;
    char section[QV_INI_MAX_SECTION + 1];
    char key[QV_INI_MAX_LINE + 1];
    char value[QV_INI_MAX_FIELD + 1];
    char window[1 << 16];
} LineReader;

void StartReading(LineReader *reader, FILE *file);

/* The next line as the parser reads it, 1; 0 once the text is over: at
 * the end of the file, at a read error (reader->error), or at a NUL byte,
 * which then stands at NulOffset.  The line's strings last until the next
 * call.  An overlong line is the last one read. */
int ReadLine(LineReader *reader, Line *line);

/* Where the text ended at a NUL byte, or -1 when it did not. */
intmax_t NulOffset(const LineReader *reader);

/* Where an entry's value stands in its line: after the "=" and the blanks
 * that follow it, up to the first carriage return or the line's end, less
 * trailing whitespace.  The parser keeps at most QV_INI_MAX_FIELD bytes. */
typedef struct ValueSpan {
    const char *start;
    size_t length;
    const char *carriageReturn; /* one that ends the value before other text,
                                   which the parser drops; or null */
} ValueSpan;

ValueSpan FindValue(const Line *line);

#endif
