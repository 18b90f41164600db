// names.cpp - case-insensitive comparison and lower-casing of names.
//
// A byte below 0x80 folds through the locale's tolower(); a byte of 0x80 or
// above never folds, and a position where either byte is that high compares
// the raw bytes.  The locale's lower-case table (the one tolower() itself
// consults in glibc) is fetched once per call instead of once per byte.
#include <ctype.h>
#include <stddef.h>

#include <qv-utility.h>

#include "utilities/ident.h"

QV_MODULE_IDENT("names", "1.0");

namespace {

const int32_t *LowerTable() { return *__ctype_tolower_loc(); }

int32_t CompareFolded(const char *first, const char *second, size_t limit)
{
    if (first == nullptr || second == nullptr)
        return first == second ? 0 : (first == nullptr ? -1 : 1);
    const int32_t *lower = LowerTable();
    const auto *a = reinterpret_cast<const unsigned char *>(first);
    const auto *b = reinterpret_cast<const unsigned char *>(second);
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
        return x < y ? -1 : 1;
    }
    return 0;
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
