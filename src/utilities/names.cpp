// names.cpp - case-insensitive comparison and lower-casing of names.
//
// A byte below 0x80 folds through the locale's tolower(); a byte of 0x80 or
// above never folds, and a position where either byte is that high compares
// the raw bytes.  The locale's lower-case table (the one tolower() itself
// consults in glibc) is fetched once per call instead of once per byte.
//
// Names are compared on every store and INI lookup, so the common case gets
// a fast path.  glibc records for each locale whether its single-byte case
// mapping is exactly the ASCII one (A-Z <-> a-z, every other byte mapping to
// itself); the C and POSIX locales are such locales.  There tolower() of a
// byte below 0x80 is the ASCII rule, and a high byte never changes, so
// folding A-Z in each string on its own gives the same order as folding
// positions where both bytes are low: a low byte, folded or not, stays below
// a high one.  That lets whole words or vectors be folded and compared at
// once.  Any other locale goes through its table, byte by byte.
#include <ctype.h>
#include <langinfo.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <qv-utility.h>

#include "utilities/ident.h"

QV_MODULE_IDENT("names", "1.0");

namespace {

const int32_t *LowerTable() { return *__ctype_tolower_loc(); }

bool LocaleFoldsAsAscii()
{
    // A word-valued item: the flag is the low bit of the returned value.
    return (reinterpret_cast<uintptr_t>(nl_langinfo(_NL_CTYPE_NONASCII_CASE)) & 1) == 0;
}

int32_t Order(unsigned x, unsigned y) { return x < y ? -1 : 1; }

unsigned AsciiLower(unsigned c) { return c - 'A' < 26 ? c + ('a' - 'A') : c; }

int32_t CompareWithTable(const unsigned char *a, const unsigned char *b, size_t limit)
{
    const int32_t *lower = LowerTable();
    for (size_t i = 0; i < limit; ++i) {
        unsigned x = a[i];
        unsigned y = b[i];
        if (x == y) {
            if (x == 0)
                return 0;
            continue;
        }
        if ((x | y) < 0x80) {
            x = static_cast<unsigned char>(lower[x]);
            y = static_cast<unsigned char>(lower[y]);
            if (x == y)
                continue;
        }
        return Order(x, y);
    }
    return 0;
}

#if defined(__SSE2__)
constexpr size_t kChunk = 16;

// True when kChunk bytes from p stay on p's page, so reading past the
// terminator cannot fault.
bool ChunkFitsPage(const unsigned char *p)
{
    return (reinterpret_cast<uintptr_t>(p) & 4095) <= 4096 - kChunk;
}

__m128i FoldChunk(__m128i v)
{
    // Signed compares: a high byte is negative and so never in A-Z.
    __m128i upper = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8('A' - 1)),
                                  _mm_cmplt_epi8(v, _mm_set1_epi8('Z' + 1)));
    return _mm_or_si128(v, _mm_and_si128(upper, _mm_set1_epi8(0x20)));
}

// Reads whole chunks that may extend past the terminator (never past the
// page); the sanitizer would report those harmless reads.
[[gnu::no_sanitize_address]] int32_t CompareAscii(const unsigned char *a,
                                                   const unsigned char *b, size_t limit)
{
    size_t i = 0;
    while (i < limit) {
        if (limit - i >= kChunk && ChunkFitsPage(a + i) && ChunkFitsPage(b + i)) {
            __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(a + i));
            __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + i));
            __m128i same = _mm_cmpeq_epi8(FoldChunk(x), FoldChunk(y));
            __m128i end = _mm_cmpeq_epi8(x, _mm_setzero_si128());
            unsigned stop = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_or_si128(_mm_xor_si128(same, _mm_set1_epi8(-1)), end)));
            if (stop == 0) {
                i += kChunk;
                continue;
            }
            i += static_cast<unsigned>(__builtin_ctz(stop));
        }
        // One position: the first that differs or ends inside a chunk, or a
        // step towards the next page.
        unsigned x = AsciiLower(a[i]);
        unsigned y = AsciiLower(b[i]);
        if (x != y)
            return Order(x, y);
        if (x == 0)
            return 0;
        ++i;
    }
    return 0;
}
#else
// Word at a time: equal words without a NUL byte are skipped whole; any
// other word is settled byte by byte.  Words are read only where they are
// aligned in both strings, so no read crosses into another page; the
// sanitizer would report the part of a word past the terminator.
[[gnu::no_sanitize_address]] int32_t CompareAscii(const unsigned char *a, const unsigned char *b, size_t limit)
{
    using Word = uintptr_t;
    constexpr Word kOnes = ~Word{0} / 0xFF;
    constexpr Word kHighs = kOnes * 0x80;
    size_t i = 0;
    bool aligned = ((reinterpret_cast<uintptr_t>(a) ^ reinterpret_cast<uintptr_t>(b)) &
                    (sizeof(Word) - 1)) == 0;
    while (i < limit) {
        if (aligned && (reinterpret_cast<uintptr_t>(a + i) & (sizeof(Word) - 1)) == 0 &&
            limit - i >= sizeof(Word)) {
            Word x;
            Word y;
            memcpy(&x, a + i, sizeof x);
            memcpy(&y, b + i, sizeof y);
            if (x == y && ((x - kOnes) & ~x & kHighs) == 0) {
                i += sizeof(Word);
                continue;
            }
        }
        unsigned x = AsciiLower(a[i]);
        unsigned y = AsciiLower(b[i]);
        if (x != y)
            return Order(x, y);
        if (x == 0)
            return 0;
        ++i;
    }
    return 0;
}
#endif

int32_t CompareFolded(const char *first, const char *second, size_t limit)
{
    if (first == nullptr || second == nullptr)
        return first == second ? 0 : (first == nullptr ? -1 : 1);
    const auto *a = reinterpret_cast<const unsigned char *>(first);
    const auto *b = reinterpret_cast<const unsigned char *>(second);
    return LocaleFoldsAsAscii() ? CompareAscii(a, b, limit) : CompareWithTable(a, b, limit);
}

} // namespace

extern "C" {

int32_t QvStrCmpCI(const char *first, const char *second)
{
    return CompareFolded(first, second, SIZE_MAX);
}

int32_t QvStrCmpCIN(const char *first, const char *second, uint32_t count)
{
    return CompareFolded(first, second, count);
}

int32_t QvStringToLC(char *text)
{
    if (text == nullptr)
        return QV_INVALID_ARG;
    const int32_t *lower = LowerTable();
    for (auto *p = reinterpret_cast<unsigned char *>(text); *p != 0; ++p)
        if (*p < 0x80)
            *p = static_cast<unsigned char>(lower[*p]);
    return QV_OK;
}

} // extern "C"
