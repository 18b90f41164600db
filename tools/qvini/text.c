// SPDX-License-Identifier: MIT
/*
 * text.c - text built in the library's growable buffers.  Text in INI files
 * is mostly UTF-8, so valid sequences are written as they stand; only what
 * a terminal would hide or garble is escaped.
 */
#include "qvini.h"

#include <stdarg.h>
#include <string.h>

/* The library's buffers grow by a fixed step; a text that may grow large
 * (the names of a file, the findings held back) doubles instead. */
void Add(Text *text, const void *bytes, size_t length)
{
    uint64_t wanted = (uint64_t)text->used + length, doubled = 2 * (uint64_t)text->capacity;
    if (wanted > text->capacity && wanted < doubled && doubled < UINT32_MAX)
        QvEnlargeGivenBuf(&text->bytes, &text->capacity, (uint32_t)doubled);
    if (wanted >= UINT32_MAX
        || QvAppendToBuffer(&text->bytes, &text->capacity, &text->used, bytes, (uint32_t)length))
        text->failed = 1;
}

void AddFormatV(Text *text, const char *format, va_list arguments)
{
    if (QvFormatVAListAndAppendToBuffer(&text->bytes, &text->capacity, &text->used, format,
                                        arguments))
        text->failed = 1;
}

void AddFormat(Text *text, const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    AddFormatV(text, format, arguments);
    va_end(arguments);
}

void Put(Text *text)
{
    fwrite(text->bytes, 1, text->used, stdout);
    text->used = 0;
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
    size_t length = s[0] < 0x80 ? 1 : s[0] < 0xC2 ? 0 : s[0] < 0xE0 ? 2 : s[0] < 0xF0 ? 3
                    : s[0] < 0xF5 ? 4 : 0;
    unsigned char low = s[0] == 0xE0 ? 0xA0 : s[0] == 0xF0 ? 0x90 : 0x80; /* of the 2nd byte */
    unsigned char high = s[0] == 0xED ? 0x9F : s[0] == 0xF4 ? 0x8F : 0xBF;
    for (size_t i = 1; i < length; ++i)
        if (i >= left || s[i] < (i == 1 ? low : 0x80) || s[i] > (i == 1 ? high : 0xBF))
            return 0;
    return length;
}

/* For people a control character is C0, DEL or C1 (0xC2 0x80-0x9F) and
 * shows by its bytes; JSON escapes only C0, by its code point, and an
 * invalid byte as U+FFFD. */
void AddEscaped(Text *text, const char *s, size_t length, char open, char close, int json)
{
    const unsigned char *p = (const unsigned char *)s, *end = p + length, *plain = p;
    if (s == NULL) {
        Add(text, "null", 4);
        return;
    }
    Add(text, &open, 1);
    while (p < end) {
        size_t n = CharacterLength(p, (size_t)(end - p));
        int control = *p < 0x20 || (!json && (*p == 0x7F || (n == 2 && *p == 0xC2 && p[1] < 0xA0)));
        if (n != 0 && !control && *p != '\\' && *p != (unsigned char)close) {
            p += n;
            continue;
        }
        Add(text, plain, (size_t)(p - plain));
        for (const unsigned char *last = p + (n == 0 ? 0 : n - 1); p <= last; ++p) {
            char escape = *p == '\t' ? 't' : *p == '\r' ? 'r' : *p == '\n' ? 'n' : 0;
            if (escape != 0 || *p == '\\' || *p == (unsigned char)close)
                AddFormat(text, "\\%c", escape != 0 ? escape : *p);
            else if (!json)
                AddFormat(text, "\\x%02x", *p);
            else if (*p < 0x20)
                AddFormat(text, "\\u%04x", *p);
            else
                Add(text, "\\ufffd", 6);
        }
        plain = p;
    }
    Add(text, plain, (size_t)(p - plain));
    Add(text, &close, 1);
}

int SplitsCharacter(const char *s, size_t length, size_t at)
{
    const unsigned char *u = (const unsigned char *)s;
    size_t start = at;
    while (start > 0 && at - start < 3 && at < length && (u[start] & 0xC0) == 0x80)
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
    fputs(status == EXIT_USAGE ? "; try 'qvini --help'\n" : "\n", stderr);
    va_end(arguments);
    return status;
}
