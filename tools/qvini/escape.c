// SPDX-License-Identifier: MIT
/*
 * escape.c - writing names and values so that every byte shows.  Text in
 * INI files is mostly UTF-8, so valid sequences are written as they stand;
 * only what a terminal would hide or garble is escaped.
 */
#include "escape.h"

#include <string.h>

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

/* Control characters: C0, DEL, and C1 (U+0080 to U+009F, 0xC2 0x80-0x9F). */
static int IsControl(const unsigned char *s, size_t length)
{
    return length == 1 ? s[0] < 0x20 || s[0] == 0x7F : length == 2 && s[0] == 0xC2 && s[1] < 0xA0;
}

/* s[0, length) between open and close, escaped as escape.h says. */
static void PutEscaped(FILE *out, const char *s, size_t length, char open, char close)
{
    const unsigned char *p = (const unsigned char *)s, *end = p + length, *plain = p;
    putc(open, out);
    while (p < end) {
        size_t n = CharacterLength(p, (size_t)(end - p));
        if (n != 0 && !IsControl(p, n) && *p != '\\' && *p != (unsigned char)close) {
            p += n;
            continue;
        }
        fwrite(plain, 1, (size_t)(p - plain), out);
        if (n == 0)
            n = 1; /* an invalid sequence shows byte by byte */
        for (const unsigned char *escape = p; escape < p + n; ++escape) {
            switch (*escape) {
            case '\t': fputs("\\t", out); break;
            case '\r': fputs("\\r", out); break;
            case '\n': fputs("\\n", out); break;
            case '\\': fputs("\\\\", out); break;
            default:
                if (*escape == (unsigned char)close)
                    fprintf(out, "\\%c", close);
                else
                    fprintf(out, "\\x%02x", *escape);
            }
        }
        p += n;
        plain = p;
    }
    fwrite(plain, 1, (size_t)(p - plain), out);
    putc(close, out);
}

void PutQuoted(FILE *out, const char *s, size_t length)
{
    PutEscaped(out, s, length, '"', '"');
}

void PutSectionName(FILE *out, const char *name)
{
    PutEscaped(out, name, strlen(name), '[', ']');
}

void PutJson(FILE *out, const char *s, size_t length)
{
    const unsigned char *p = (const unsigned char *)s, *end = p + length, *plain = p;
    putc('"', out);
    while (p < end) {
        size_t n = CharacterLength(p, (size_t)(end - p));
        if (n != 0 && *p >= 0x20 && *p != '"' && *p != '\\') {
            p += n;
            continue;
        }
        fwrite(plain, 1, (size_t)(p - plain), out);
        switch (n == 0 ? -1 : *p) {
        case -1: fputs("\\ufffd", out); break;
        case '"': fputs("\\\"", out); break;
        case '\\': fputs("\\\\", out); break;
        case '\t': fputs("\\t", out); break;
        case '\r': fputs("\\r", out); break;
        case '\n': fputs("\\n", out); break;
        default: fprintf(out, "\\u%04x", *p);
        }
        ++p;
        plain = p;
    }
    fwrite(plain, 1, (size_t)(p - plain), out);
    putc('"', out);
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
