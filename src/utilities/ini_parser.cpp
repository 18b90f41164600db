// SPDX-License-Identifier: MIT
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
// A line is read three times, each pass fast: strnlen learns ahead of it how
// far the text reaches (a block at a time, so nothing past the terminator is
// touched), the C library's memchr finds its end, then each field is copied
// while its end is sought, 16 bytes at a time with SSE2.
// x86_64 always has SSE2; i386 builds target any i686, so this file is
// compiled a second time with SSE2 (ini_parser_sse2.cpp) and QvParseIniData
// hands the text to that copy where the processor has it.  Without SSE2 the
// fields go a word at a time.
//
// No allocation and no state between calls: a call's storage is the fixed
// buffers of ParseBuffers, on its own stack.
#include <algorithm>
#include <bit>
#include <stddef.h>
#include <stdint.h>
#include <string.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#elif defined(__i386__)
#include <cpuid.h>
#endif

#include <qv-utility.h>

#include "utilities/ident.h"

#if !defined(QV_PARSER_SSE2) // that copy carries its own
QV_MODULE_IDENT("ini_parser", "1.0");
#endif

#if defined(__i386__)
namespace qv {
// The parser as ini_parser_sse2.cpp builds it; the text and callback are set.
int32_t ParseIniDataSse2(const char *text, IniCallback callback, void *context);
} // namespace qv
#endif

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

// The part of the text known to be readable, [text, limit), the terminator
// included once it is found.  Line ends are sought and chunks read only
// inside it; it is learnt ahead of the lines a block at a time, so a lookup
// that stops early does not read the whole text.
struct Readable {
    const char *limit;
    bool complete;
};

constexpr size_t kChunk = 16;
constexpr size_t kBlock = 4096;
// Neither a line's end nor a chunk of its fields lies further past its
// first character; one block learnt from there covers it.
constexpr size_t kReach = kMaxLine + kChunk;
static_assert(kBlock >= kReach);

// Makes [position, position + kReach) readable where the text has it.
// Everything before position has been read already.
void Learn(Readable &readable, const char *position)
{
    if (readable.limit < position)
        readable.limit = position;
    size_t length = strnlen(readable.limit, kBlock);
    readable.limit += length;
    if (length < kBlock) {
        readable.limit += 1;
        readable.complete = true;
    }
}

// Without SSE2, and near the text's end, a word at a time: a byte equal to
// the wanted one is a zero byte of word ^ pattern, and the lowest flag of
// the zero test is exact (a borrow only marks bytes above a zero).
using Word = uintptr_t;
constexpr Word kOnes = ~Word(0) / 0xFF;
constexpr Word kHighs = kOnes * 0x80;

// Copies from[0, length) into field until the first `stop` byte and returns
// its index, or length when there is none: a field is found and copied in
// one pass.  Reads nothing at or past limit, and writes nothing past field's
// length rounded up to a whole chunk.
inline size_t CopyUntil(char *field, const char *from, size_t length, char stop,
                        const char *limit)
{
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi8(stop);
    size_t room = limit - from;
    size_t chunked = room >= kChunk ? std::min(length, room - kChunk + 1) : 0;
    for (; i < chunked; i += kChunk) {
        __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from + i));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(field + i), chunk);
        if (unsigned found = _mm_movemask_epi8(_mm_cmpeq_epi8(chunk, wanted)))
            return std::min<size_t>(i + std::countr_zero(found), length);
    }
#else
    (void)limit;
#endif
    const Word pattern = kOnes * static_cast<unsigned char>(stop);
    for (; i + sizeof(Word) <= length; i += sizeof(Word)) {
        Word word;
        memcpy(&word, from + i, sizeof word);
        memcpy(field + i, &word, sizeof word);
        word ^= pattern;
        if (Word zeros = (word - kOnes) & ~word & kHighs)
            return i + std::countr_zero(zeros) / 8;
    }
    for (; i < length; ++i)
        if ((field[i] = from[i]) == stop)
            return i;
    return length;
}

// Cuts field[0, length) after its last character that is not whitespace;
// the first never is.
const char *Terminate(char *field, size_t length)
{
    while (IsSpace(static_cast<unsigned char>(field[length - 1])))
        --length;
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
// line that is neither.  The text is read in place, and each field is
// copied while its end is sought.
int32_t ClassifyLine(ParseBuffers &buffers, const char *line, size_t length,
                     IniCallback callback, void *context, const char *limit)
{
    const char *end = line + length;

    // "[%256[^]]]" converts once when at least one character other than "]"
    // follows the "["; a missing "]" lets the name run to the line's end.
    if (line[0] == '[' && length > 1 && line[1] != ']') {
        size_t nameLength = CopyUntil(buffers.section, line + 1,
                                      std::min(length - 1, kMaxSection), ']', limit);
        buffers.section[nameLength] = '\0';
        buffers.currentSection = buffers.section;
        return callback(buffers.section, nullptr, nullptr, context);
    }

    // "%80[^=]" needs one character before the first "="; without any "="
    // the line converts at most once and is no entry.  The key conversion
    // stops at 80 characters; the scan then reaches a later "=" only across
    // whitespace, and otherwise converts once.
    size_t keyLength = CopyUntil(buffers.key, line, std::min(length, kMaxField), '=', limit);
    const char *equals = line + keyLength;
    bool reachesEquals = true;
    if (keyLength == kMaxField) {
        equals = static_cast<const char *>(memchr(equals, '=', end - equals));
        if (equals == nullptr)
            return QV_OK;
        for (const char *p = line + kMaxField; p < equals && reachesEquals; ++p)
            reachesEquals = IsSpace(static_cast<unsigned char>(*p));
    }
    if (equals == end || equals == line)
        return QV_OK;

    // " %80[^\r\n]" skips every whitespace character after the "=", carriage
    // returns included, and converts only if something is left.
    const char *value = equals + 1;
    while (value < end && IsSpace(static_cast<unsigned char>(*value)))
        ++value;
    if (!reachesEquals || value == end)
        return callback(buffers.currentSection, CopyLine(buffers, line, length), nullptr, context);

    size_t valueLength = CopyUntil(buffers.value, value,
                                   std::min<size_t>(end - value, kMaxField), '\r', limit);
    return callback(buffers.currentSection, Terminate(buffers.key, keyLength),
                    Terminate(buffers.value, valueLength), context);
}

// The walk itself; text and callback are set.
int32_t Parse(const char *text, IniCallback callback, void *context)
{
    ParseBuffers buffers;
    buffers.currentSection = nullptr;
    Readable readable = {text, false};
    const char *position = text;
    for (;;) {
        // The skip runs over line feeds too: empty lines and indentation
        // vanish here, and so does the line feed that ended the last line.
        while (IsSpace(static_cast<unsigned char>(*position)))
            ++position;
        if (*position == '\0')
            return QV_OK;
        if (!readable.complete && readable.limit < position + kReach)
            Learn(readable, position);
        // A line ends at a line feed or at the terminator; without either
        // in its first 261 bytes it is too long, a comment as well.
        size_t known = readable.limit - position;
        const char *lineEnd =
            static_cast<const char *>(memchr(position, '\n', std::min(known, kMaxLine + 1)));
        if (lineEnd == nullptr) {
            if (!readable.complete || known > kMaxLine + 1)
                return QV_BAD_DATA;
            lineEnd = readable.limit - 1;
        }
        if (*position != ';') {
            int32_t result = ClassifyLine(buffers, position, lineEnd - position, callback,
                                          context, readable.limit);
            if (result != QV_OK)
                return result;
        }
        if (*lineEnd == '\0')
            return QV_OK;
        position = lineEnd;
    }
}

#if defined(__i386__) && !defined(__SSE2__)
// SSE2 came with the Pentium 4.  Asked of the processor once: a fact about
// the machine, the same for every call.
bool HasSse2()
{
    static int known; // 0: not asked yet, 1: no, 2: yes
    int answer = __atomic_load_n(&known, __ATOMIC_RELAXED);
    if (answer == 0) {
        unsigned eax, ebx, ecx, edx;
        answer = __get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0 && (edx & bit_SSE2) != 0 ? 2 : 1;
        __atomic_store_n(&known, answer, __ATOMIC_RELAXED);
    }
    return answer == 2;
}
#endif

} // namespace

#if defined(QV_PARSER_SSE2)
int32_t qv::ParseIniDataSse2(const char *text, IniCallback callback, void *context)
{
    return Parse(text, callback, context);
}
#else
extern "C" int32_t QvParseIniData(const char *text, IniCallback callback, void *context)
{
    if (text == nullptr || callback == nullptr)
        return QV_INVALID_ARG;
#if defined(__i386__) && !defined(__SSE2__)
    if (HasSse2())
        return qv::ParseIniDataSse2(text, callback, context);
#endif
    return Parse(text, callback, context);
}
#endif
