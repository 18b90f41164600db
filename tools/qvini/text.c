// SPDX-License-Identifier: MIT
/*
 * text.c - text built in the library's growable buffers.  Text in INI files
 * is mostly UTF-8, so valid sequences are written as they stand; only what
 * a terminal would hide or garble is escaped.
 */
#include "text.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <qv-utility.h>

/* The library's buffers grow by a fixed step; a text that may grow large
 * (the names of a file, the findings held back) doubles instead. */
void Add(Text *text, const void *bytes, size_t length)
{
    uint64_t wanted = (uint64_t)text->used + length, doubled = 2 * (uint64_t)text->capacity;
    if (wanted > text->capacity && wanted < doubled && doubled < UINT32_MAX)
        QvEnlargeGivenBuf(&text->bytes, &text->capacity, (uint32_t)doubled);
    if (wanted >= UINT32_MAX
        || QvAppendToBuffer(&text->bytes, &text->capacity, &text->used, bytes, (uint32_t)length)
               != QV_OK)
        text->failed = 1;
}

void AddFormat(Text *text, const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    if (QvFormatVAListAndAppendToBuffer(&text->bytes, &text->capacity, &text->used, format,
                                        arguments)
        != QV_OK)
        text->failed = 1;
    va_end(arguments);
}

int Put(Text *text)
{
    fwrite(text->bytes, 1, text->used, stdout);
    text->used = 0;
    return text->failed ? -1 : 0;
}

void FreeText(Text *text)
{
    QvuFree(text->bytes);
    *text = (Text){0};
}

/* The length of the valid UTF-8 character at s (1 to 4), or 0: a stray
 * continuation byte, a cut or overlong sequence, a surrogate, or a code
 * point above U+10FFFF. */
static size_t CharacterLength(const unsigned char *s, size_t left)
{
    size_t length;
    unsigned char low = 0x80, high = 0xBF; /* the second byte's range */
    if (s[0] < 0x80)
        return 1;
    if (s[0] < 0xC2)
        return 0;
    if (s[0] < 0xE0) {
        length = 2;
    } else if (s[0] < 0xF0) {
        length = 3;
        low = s[0] == 0xE0 ? 0xA0 : 0x80;
        high = s[0] == 0xED ? 0x9F : 0xBF;
    } else if (s[0] < 0xF5) {
        length = 4;
        low = s[0] == 0xF0 ? 0x90 : 0x80;
        high = s[0] == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (left < length || s[1] < low || s[1] > high)
        return 0;
    for (size_t i = 2; i < length; ++i)
        if ((s[i] & 0xC0) != 0x80)
            return 0;
    return length;
}

/* s[0, length) between open and close.  For people (json 0) a control
 * character is C0, DEL or C1 (0xC2 0x80-0x9F), escaped by its bytes; JSON
 * escapes only C0, by its code point, and an invalid byte as U+FFFD. */
static void AddEscaped(Text *text, const char *s, size_t length, char open, char close,
                       int json)
{
    const unsigned char *p = (const unsigned char *)s, *end = p + length, *plain = p;
    Add(text, &open, 1);
    while (p < end) {
        size_t n = CharacterLength(p, (size_t)(end - p));
        int control = p[0] < 0x20 || (!json && (p[0] == 0x7F || (n == 2 && p[0] == 0xC2 && p[1] < 0xA0)));
        if (n != 0 && !control && *p != '\\' && *p != (unsigned char)close) {
            p += n;
            continue;
        }
        Add(text, plain, (size_t)(p - plain));
        if (n == 0)
            n = 1; /* an invalid sequence shows byte by byte */
        for (const unsigned char *q = p; q < p + n; ++q) {
            switch (*q) {
            case '\t': Add(text, "\\t", 2); break;
            case '\r': Add(text, "\\r", 2); break;
            case '\n': Add(text, "\\n", 2); break;
            case '\\': Add(text, "\\\\", 2); break;
            default:
                if (*q == (unsigned char)close)
                    AddFormat(text, "\\%c", close);
                else if (!json)
                    AddFormat(text, "\\x%02x", *q);
                else if (*q < 0x20)
                    AddFormat(text, "\\u%04x", *q);
                else
                    Add(text, "\\ufffd", 6);
            }
        }
        p += n;
        plain = p;
    }
    Add(text, plain, (size_t)(p - plain));
    Add(text, &close, 1);
}

void AddQuoted(Text *text, const char *s, size_t length)
{
    AddEscaped(text, s, length, '"', '"', 0);
}

void AddSection(Text *text, const char *name)
{
    AddEscaped(text, name, strlen(name), '[', ']', 0);
}

void AddJson(Text *text, const char *s)
{
    if (s == NULL)
        Add(text, "null", 4);
    else
        AddEscaped(text, s, strlen(s), '"', '"', 1);
}

int SplitsCharacter(const char *s, size_t length, size_t at)
{
    const unsigned char *u = (const unsigned char *)s;
    size_t start = at;
    if (at >= length)
        return 0;
    while (start > 0 && at - start < 3 && (u[start] & 0xC0) == 0x80)
        --start;
    return start < at && CharacterLength(u + start, length - start) > at - start;
}

int Fail(int status, const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    fflush(stdout);
    fputs("qvini: ", stderr);
    vfprintf(stderr, format, arguments);
    putc('\n', stderr);
    va_end(arguments);
    return status;
}
