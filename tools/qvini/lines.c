// SPDX-License-Identifier: MIT
/*
 * lines.c - the line reader: each physical line goes through the library's
 * parser alone, and its report is kept beside the raw text it came from.
 */
#include "lines.h"

#include <string.h>

#include <qv-utility.h>

void StartReading(LineReader *reader, char *text, size_t length)
{
    static const LineReader LineReader0;
    *reader = LineReader0;
    reader->next = text;
    reader->end = text + length;
}

/* The parser's strings live only during its callback: keep copies. */
static const char *Keep(char *to, size_t size, const char *from)
{
    size_t length = strlen(from);
    if (length >= size)
        length = size - 1;
    memcpy(to, from, length);
    to[length] = '\0';
    return to;
}

typedef struct Noting {
    LineReader *reader;
    LineReading *line;
} Noting;

static int32_t NoteReport(const char *section, const char *key, const char *value,
                          void *context)
{
    Noting *noting = context;
    LineReader *reader = noting->reader;
    LineReading *line = noting->line;
    ++line->reports;
    if (key == NULL) {
        Keep(reader->section, sizeof reader->section, section);
        reader->inSection = 1;
    } else {
        line->key = Keep(reader->key, sizeof reader->key, key);
        line->value = value != NULL ? Keep(reader->value, sizeof reader->value, value) : NULL;
    }
    return QV_OK;
}

int ReadLine(LineReader *reader, LineReading *line)
{
    static const LineReading LineReading0;
    if (reader->next >= reader->end)
        return 0;
    char *start = reader->next;
    char *stop = memchr(start, '\n', (size_t)(reader->end - start));
    if (stop == NULL)
        stop = reader->end;
    LineReading reading = LineReading0;
    reading.number = ++reader->number;
    reading.start = start;
    reading.content = start;
    while (reading.content < stop && IsSpace(*reading.content))
        ++reading.content;
    reading.length = (size_t)(stop - reading.content);

    char saved = *stop;
    *stop = '\0';
    Noting noting = {reader, &reading};
    reading.result = QvParseIniData(start, NoteReport, &noting);
    *stop = saved;

    reading.section = reader->inSection ? reader->section : NULL;
    reader->next = stop < reader->end ? stop + 1 : stop;
    *line = reading;
    return 1;
}

ValueSpan FindValue(const LineReading *line)
{
    ValueSpan span = {NULL, 0, NULL};
    const char *s = line->content;
    const char *equals = memchr(s, '=', line->length);
    if (equals == NULL)
        return span;
    size_t start = (size_t)(equals - s) + 1, end = line->length, stop;
    while (start < end && IsSpace(s[start]))
        ++start;
    const char *cr = memchr(s + start, '\r', end - start);
    stop = cr != NULL ? (size_t)(cr - s) : end;
    size_t after = stop;
    while (after < end && IsSpace(s[after]))
        ++after;
    span.carriageReturn = after < end ? s + stop : NULL;
    while (stop > start && IsSpace(s[stop - 1]))
        --stop;
    span.start = s + start;
    span.length = stop - start;
    return span;
}
