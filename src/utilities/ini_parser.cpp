// SPDX-License-Identifier: MIT
// ini_parser.cpp - QvParseIniData: reports every section header and entry of
// INI text in memory to a callback, in text order.
//
// The dialect is the one two sscanf scans classify: a line is a header when
// "[%256[^]]]" converts once, an entry when "%80[^=] = %80[^\r\n]" converts
// twice, and an entry without a value (keyed by the whole line) when that
// scan converts once on a line holding "=".  Running a general scanner twice
// per line is most of a parse's cost, so ReportLine gives the same answers
// by looking at the line directly; the tests hold it to real sscanf calls.
//
// The C library finds each line's end, and the ends of fields that may run
// long; short fields are copied a byte at a time while their ends are
// sought (CopyUntil says why).  No allocation and no state between calls: a
// call's storage is the fixed buffers of Parser, on its own stack.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <algorithm>

#include <qv-utility.h>

#include "utilities/ident.h"

QV_MODULE_IDENT("ini_parser", "1.0");

namespace {

struct Parser {
    IniCallback callback;
    void *context;
    const char *currentSection; // null until the first header
    char line[QV_INI_MAX_LINE + 1];
    char section[QV_INI_MAX_SECTION + 1];
    char key[QV_INI_MAX_FIELD + 1];
    char value[QV_INI_MAX_FIELD + 1];
};

const char *SkipSpace(const char *p)
{
    while (QvIniIsSpace(static_cast<unsigned char>(*p)))
        ++p;
    return p;
}

// Copies from[0, length) into field up to the first `stop` and returns how
// many characters it copied.  Most fields are a few characters, where a call
// into the C library costs more than the copy.  A window longer than 32
// characters goes to memchr and memcpy, whose vector loops read lines near
// the limit at about the cost of finding their ends; a byte loop over such
// a line costs ten times that on x86_64.
size_t CopyUntil(char *field, const char *from, size_t length, char stop)
{
    if (length > 32) {
        const void *found = memchr(from, stop, length);
        if (found != nullptr)
            length = static_cast<const char *>(found) - from;
        memcpy(field, from, length);
        return length;
    }
    size_t i = 0;
    for (; i < length && from[i] != stop; ++i)
        field[i] = from[i];
    return i;
}

// Ends field[0, length) after its last character that is not whitespace;
// the first never is, so a key or value never ends up empty.
const char *Terminate(char *field, size_t length)
{
    while (QvIniIsSpace(static_cast<unsigned char>(field[length - 1])))
        --length;
    field[length] = '\0';
    return field;
}

// "[%256[^]]]" converts once when at least one character other than "]"
// follows the "["; the name runs to the first "]" or, with none, to the
// line's end, a carriage return included.
int32_t ReportHeader(Parser &parser, const char *line, size_t length)
{
    size_t nameLength = CopyUntil(parser.section, line + 1,
                                  std::min<size_t>(length - 1, QV_INI_MAX_SECTION), ']');
    parser.section[nameLength] = '\0';
    parser.currentSection = parser.section;
    return parser.callback(parser.section, nullptr, nullptr, parser.context);
}

// "%80[^=]" needs one character before the first "="; without any "=" the
// line converts at most once and is no entry.  The key conversion stops at
// 80 characters; the scan then reaches the "=" only across whitespace, and
// otherwise converts once.  " %80[^\r\n]" skips every whitespace character
// after the "=", carriage returns included, and converts only if something
// is left; the value then ends at a carriage return.
int32_t ReportEntry(Parser &parser, const char *line, size_t length)
{
    const char *end = line + length;
    size_t keyLength = CopyUntil(parser.key, line, std::min<size_t>(length, QV_INI_MAX_FIELD), '=');
    const char *equals = line + keyLength;
    bool keyReachesEquals = true;
    if (keyLength == QV_INI_MAX_FIELD) {
        equals = static_cast<const char *>(memchr(equals, '=', end - equals));
        if (equals == nullptr)
            return QV_OK;
        keyReachesEquals = SkipSpace(line + QV_INI_MAX_FIELD) == equals;
    }
    if (equals == end || equals == line)
        return QV_OK;

    const char *value = equals + 1;
    while (value < end && QvIniIsSpace(static_cast<unsigned char>(*value)))
        ++value;
    if (!keyReachesEquals || value == end) {
        memcpy(parser.line, line, length);
        parser.line[length] = '\0';
        return parser.callback(parser.currentSection, parser.line, nullptr, parser.context);
    }
    size_t valueLength = CopyUntil(parser.value, value,
                                   std::min<size_t>(end - value, QV_INI_MAX_FIELD), '\r');
    return parser.callback(parser.currentSection, Terminate(parser.key, keyLength),
                           Terminate(parser.value, valueLength), parser.context);
}

// The line[0, length) starts with a character that is not whitespace.
int32_t ReportLine(Parser &parser, const char *line, size_t length)
{
    if (line[0] == ';')
        return QV_OK;
    if (line[0] == '[' && length > 1 && line[1] != ']')
        return ReportHeader(parser, line, length);
    return ReportEntry(parser, line, length);
}

} // namespace

extern "C" int32_t QvParseIniData(const char *text, IniCallback callback, void *context)
{
    if (text == nullptr || callback == nullptr)
        return QV_INVALID_ARG;
    Parser parser;
    parser.callback = callback;
    parser.context = context;
    parser.currentSection = nullptr;
    // The skip runs over line feeds too: empty lines and indentation vanish
    // there, and so does the line feed that ended the line before.  A line
    // ends only at a line feed or the terminator; the limit holds for
    // comments as well.
    for (const char *line = SkipSpace(text); *line != '\0';) {
        const char *end = strchrnul(line, '\n');
        if (end - line > QV_INI_MAX_LINE)
            return QV_BAD_DATA;
        int32_t result = ReportLine(parser, line, end - line);
        if (result != QV_OK)
            return result;
        line = SkipSpace(end);
    }
    return QV_OK;
}
