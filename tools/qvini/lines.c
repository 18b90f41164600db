// SPDX-License-Identifier: MIT
/*
 * lines.c - the line reader: each line goes through the library's parser
 * alone, and its report is kept beside the raw text it came from.
 */
#include "qvini.h"

#include <errno.h>
#include <string.h>

void StartReading(LineReader *reader, FILE *file)
{
    *reader = (LineReader){.file = file, .number = 1};
}

/* Moves the bytes not yet taken to the window's start and reads more after
 * them, and a NUL after those; 0 when none came. */
static int Fill(LineReader *reader)
{
    size_t kept = reader->end - reader->start, room = sizeof reader->window - 1 - kept, got = 0;
    memmove(reader->window, reader->window + reader->start, kept);
    reader->offset += reader->start;
    reader->start = 0;
    if (!reader->ended) {
        got = fread(reader->window + kept, 1, room, reader->file);
        reader->ended = got < room;
        reader->error = !ferror(reader->file) ? 0 : errno != 0 ? errno : EIO;
    }
    reader->end = kept + got;
    reader->window[reader->end] = '\0';
    return got != 0;
}

/* The parser's strings live only during its callback: keep copies. */
static int32_t NoteReport(const char *section, const char *key, const char *value, void *context)
{
    LineReader *reader = context;
    Line *line = reader->line;
    ++line->reports;
    if (key == NULL)
        strcpy(reader->section, section);
    else
        line->key = strcpy(reader->key, key);
    if (value != NULL)
        line->value = strcpy(reader->value, value);
    return QV_OK;
}

int ReadLine(LineReader *reader, Line *line)
{
    char *s;
    for (;;) { /* the whitespace the parser skips, line feeds included */
        if (reader->start == reader->end && !Fill(reader))
            return 0;
        s = reader->window + reader->start;
        if (*s == '\0' || !QvIniIsSpace(*s))
            break;
        ++reader->start;
        reader->column = *s == '\n' ? 0 : reader->column + 1;
        reader->number += *s == '\n';
    }
    if (*s == '\0')
        return 0;
    if (reader->end - reader->start <= QV_INI_MAX_LINE) {
        Fill(reader);
        s = reader->window;
    }
    /* One byte over the limit is enough for the parser to refuse a line. */
    size_t n = strcspn(s, "\n"); /* the window ends in a NUL */
    n = n <= QV_INI_MAX_LINE ? n : QV_INI_MAX_LINE + 1;
    *line = (Line){reader->number, reader->column, s, n, s[n - 1], QV_OK, 0, NULL, NULL, NULL};
    char after = s[n];
    s[n] = '\0';
    reader->line = line;
    line->result = QvParseIniData(s, NoteReport, reader);
    line->section = reader->section[0] != '\0' ? reader->section : NULL;
    reader->start += n + (after == '\n');
    reader->column = after == '\n' ? 0 : reader->column + n;
    reader->number += after == '\n';
    if (line->result != QV_OK && after != '\n') {
        s[n] = after; /* the length is counted on to the line's end */
        while (reader->start < reader->end || Fill(reader)) {
            const char *rest = reader->window + reader->start;
            size_t more = strcspn(rest, "\n");
            line->last = more > 0 ? rest[more - 1] : line->last;
            line->length += more;
            if ((reader->start += more) < reader->end)
                break;
        }
    }
    return 1;
}

ValueSpan FindValue(const Line *line)
{
    const char *s = line->content, *equals = memchr(s, '=', (size_t)line->length);
    size_t end = (size_t)line->length, start = (size_t)(equals - s) + 1, stop, after;
    while (start < end && QvIniIsSpace(s[start]))
        ++start;
    const char *cr = memchr(s + start, '\r', end - start);
    for (stop = after = cr != NULL ? (size_t)(cr - s) : end; after < end && QvIniIsSpace(s[after]);)
        ++after;
    ValueSpan span = {s + start, 0, after < end ? s + stop : NULL};
    while (stop > start && QvIniIsSpace(s[stop - 1]))
        --stop;
    span.length = stop - start;
    return span;
}
