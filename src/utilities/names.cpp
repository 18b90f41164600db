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
// byte below 0x80 is the ASCII rule and a high byte never changes, so
// folding each string on its own gives the same order as folding only the
// positions where both bytes are low: a low byte, folded or not, stays below
// a high one.  That is exactly what the C library's strcasecmp() computes in
// such a locale, with vector code that never faults and that memory checkers
// know; we take its sign.  Any other locale goes through its table, byte by
// byte, folding only where both bytes are low.
#include <ctype.h>
#include <langinfo.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>
#include <strings.h>

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

int32_t CompareFolded(const char *first, const char *second, size_t limit)
{
    if (first == nullptr || second == nullptr)
        return first == second ? 0 : (first == nullptr ? -1 : 1);
    const auto *a = reinterpret_cast<const unsigned char *>(first);
    const auto *b = reinterpret_cast<const unsigned char *>(second);
    if (!LocaleFoldsAsAscii())
        return CompareWithTable(a, b, limit);
    int difference = limit == SIZE_MAX ? strcasecmp(first, second)
                                       : strncasecmp(first, second, limit);
    return difference < 0 ? -1 : difference > 0 ? 1 : 0;
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
