// ini_parser.cpp - QvParseIniData: reports every section header and entry of
// INI text in memory to a callback, in text order.
//
// The dialect is the one two sscanf scans classify: a line is a header when
// "[%256[^]]]" converts once, an entry when "%80[^=] = %80[^\r\n]" converts
// twice, and an entry without a value (keyed by the whole line) when that
// scan converts once on a line holding "=".  Running a general scanner twice
// per line is most of a parse's cost, so ClassifyLine gives the same answers
// by looking at the line directly; the tests hold it to real sscanf calls.
//
// No allocation and no state between calls: a call's storage is the fixed
// buffers of ParseBuffers, on its own stack.
#include <bit>
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <qv-utility.h>

#include "utilities/ident.h"

QV_MODULE_IDENT("ini_parser", "1.0");

namespace {

constexpr size_t kMaxLine = 260;    // longer lines are QV_BAD_DATA
constexpr size_t kMaxSection = 256; // a longer header name is cut
constexpr size_t kMaxField = 80;    // a longer key or value is cut

struct ParseBuffers {
    char line[kMaxLine + 1];
    char section[kMaxSection + 1];
    char key[kMaxField + 1];
    char value[kMaxField + 1];
    const char *currentSection; // null until the first header
};

// The scans' whitespace is isspace() in the POSIX locale, whatever locale
// the host has set: bytes above 0x7F never count.
constexpr bool IsSpace(unsigned char c)
{
    return c == ' ' || static_cast<unsigned char>(c - '\t') <= '\r' - '\t';
}

// Most lines are a few dozen bytes, where a call into the C library costs
// more than the search itself: short spans are searched a word at a time
// (a byte equal to the wanted one is a zero byte of word ^ pattern), long
// ones go to the C library's vector code.  Nothing outside [from, end) is
// read.
inline const char *FindByte(const char *from, const char *end, char wanted)
{
    using Word = uintptr_t;
    constexpr Word kOnes = ~Word(0) / 0xFF;
    constexpr Word kHighs = kOnes * 0x80;
    size_t left = end - from;
    if (left > 64)
        return static_cast<const char *>(memchr(from, wanted, left));
    const Word pattern = kOnes * static_cast<unsigned char>(wanted);
    for (; left >= sizeof(Word); from += sizeof(Word), left -= sizeof(Word)) {
        Word word;
        memcpy(&word, from, sizeof word);
        word ^= pattern;
        // The lowest flag is exact: a borrow only marks bytes above a zero.
        if (Word zeros = (word - kOnes) & ~word & kHighs)
            return from + std::countr_zero(zeros) / 8;
    }
    for (; left > 0; ++from, --left)
        if (*from == wanted)
            return from;
    return nullptr;
}

// Keys and values are short, and a call to memcpy costs more than copying
// them: up to 32 bytes move as two overlapping words or quadwords, never
// reading outside [from, from + length).
inline void CopyBytes(char *to, const char *from, size_t length)
{
    if (length > 32) {
        memcpy(to, from, length);
    } else if (length >= 16) {
        memcpy(to, from, 16);
        memcpy(to + length - 16, from + length - 16, 16);
    } else if (length >= 8) {
        memcpy(to, from, 8);
        memcpy(to + length - 8, from + length - 8, 8);
    } else if (length >= 4) {
        memcpy(to, from, 4);
        memcpy(to + length - 4, from + length - 4, 4);
    } else {
        to[0] = from[0];
        to[length / 2] = from[length / 2];
        to[length - 1] = from[length - 1];
    }
}

// Copies text[0, length) into field without its trailing whitespace.  The
// first character is never whitespace, so the copy is never empty.
const char *CopyTrimmed(char *field, const char *text, size_t length)
{
    while (IsSpace(static_cast<unsigned char>(text[length - 1])))
        --length;
    CopyBytes(field, text, length);
    field[length] = '\0';
    return field;
}

// An entry without a value is keyed by its whole line, the one report that
// needs the line as a string of its own.
const char *CopyLine(ParseBuffers &buffers, const char *line, size_t length)
{
    memcpy(buffers.line, line, length);
    buffers.line[length] = '\0';
    return buffers.line;
}

// Reports the line text[0, length) (the first character not whitespace) if
// it is a header or an entry, and returns the callback's result; QV_OK for a
// line that is neither.  The text is read in place; only what is reported
// is copied.
int32_t ClassifyLine(ParseBuffers &buffers, const char *line, size_t length,
                     IniCallback callback, void *context)
{
    const char *end = line + length;

    // "[%256[^]]]" converts once when at least one character other than "]"
    // follows the "["; a missing "]" lets the name run to the line's end.
    if (line[0] == '[' && length > 1 && line[1] != ']') {
        const char *name = line + 1;
        const char *close = FindByte(name, end, ']');
        size_t nameLength = (close != nullptr ? close : end) - name;
        if (nameLength > kMaxSection)
            nameLength = kMaxSection;
        memcpy(buffers.section, name, nameLength);
        buffers.section[nameLength] = '\0';
        buffers.currentSection = buffers.section;
        return callback(buffers.section, nullptr, nullptr, context);
    }

    // "%80[^=]" needs one character before the first "="; without any "="
    // the line converts at most once and is no entry.
    const char *equals = FindByte(line, end, '=');
    if (equals == nullptr || equals == line)
        return QV_OK;
    size_t keyLength = equals - line;

    // The key conversion stops at 80 characters; the scan then reaches the
    // "=" only across whitespace.  Otherwise it converts once.
    bool reachesEquals = true;
    if (keyLength > kMaxField) {
        for (const char *p = line + kMaxField; p < equals && reachesEquals; ++p)
            reachesEquals = IsSpace(static_cast<unsigned char>(*p));
        keyLength = kMaxField;
    }

    // " %80[^\r\n]" skips every whitespace character after the "=", carriage
    // returns included, and converts only if something is left.
    const char *value = equals + 1;
    while (value < end && IsSpace(static_cast<unsigned char>(*value)))
        ++value;
    if (!reachesEquals || value == end)
        return callback(buffers.currentSection, CopyLine(buffers, line, length), nullptr, context);

    const char *valueEnd = end - value > static_cast<ptrdiff_t>(kMaxField) ? value + kMaxField : end;
    if (const char *cr = FindByte(value, valueEnd, '\r'))
        valueEnd = cr;
    return callback(buffers.currentSection, CopyTrimmed(buffers.key, line, keyLength),
                    CopyTrimmed(buffers.value, value, valueEnd - value), context);
}

} // namespace

extern "C" int32_t QvParseIniData(const char *text, IniCallback callback, void *context)
{
    if (text == nullptr || callback == nullptr)
        return QV_INVALID_ARG;

    ParseBuffers buffers;
    buffers.currentSection = nullptr;
    const char *position = text;
    for (;;) {
        // The skip runs over line feeds too: empty lines and indentation
        // vanish here, and so does the line feed that ended the last line.
        while (IsSpace(static_cast<unsigned char>(*position)))
            ++position;
        // strchr rather than strchrnul: the C library vectorises it on
        // every arch (its i386 strchrnul goes byte by byte); a last line
        // without a line feed is measured once.
        const char *lineEnd = strchr(position, '\n');
        if (lineEnd == nullptr)
            lineEnd = position + strlen(position);
        size_t length = lineEnd - position;
        // Checked before the comment test: an overlong comment is bad data too.
        if (length > kMaxLine)
            return QV_BAD_DATA;
        if (*position != ';' && length != 0) {
            int32_t result = ClassifyLine(buffers, position, length, callback, context);
            if (result != QV_OK)
                return result;
        }
        if (*lineEnd == '\0')
            return QV_OK;
        position = lineEnd;
    }
}
