// SPDX-License-Identifier: MIT
// names.cpp - case-insensitive comparison and lower-casing of names.
//
// A byte below 0x80 folds through the locale's tolower(); a byte of 0x80 or
// above never folds, and a position where either byte is that high compares
// the raw bytes.  tolower() reads the calling thread's lower-case table,
// whose address glibc keeps per thread behind __ctype_tolower_loc() and
// changes on uselocale() and setlocale(); so do we.
//
// Nearly every locale in use folds the bytes below 0x80 exactly as ASCII
// does (C, the UTF-8 locales, Latin-1; Turkish does not).  There our
// rule is the C locale's, high bytes included, so a comparison is the C
// library's strcasecmp_l() in the C locale: vector code that reads neither
// string past its terminator and that memory checkers know.  Asking the
// locale costs more than comparing a short name, so each thread remembers
// the tables it has checked (LowerTable); any other table is read byte by
// byte.
#include <ctype.h>
#include <locale.h>
#include <stddef.h>
#include <stdint.h>
#include <strings.h>

#include <qv-utility.h>

#include "utilities/ident.h"
#include "utilities/names.h"

QV_MODULE_IDENT("names", "1.0");

namespace {

// A thread's view of its locale.  A table is remembered as folding like
// ASCII only if the C library keeps it for the life of the process, so that
// its address can never come to hold another mapping: the built-in C
// locale's, and any table a thread on the global locale reads, which
// setlocale() loaded and marked never to be unloaded.  The table of a
// newlocale() object is unloaded when freelocale() drops its last user, and
// a locale loaded later may land at the same address; such tables are read
// byte by byte, which is exact whatever they hold (so remembering one in
// `other` is always safe).
struct FoldState {
    const int32_t **current; // where this thread's table pointer lives
    const int32_t *ascii;    // a lasting table that folds as ASCII
    const int32_t *other;    // the last table that is read byte by byte
    locale_t c;              // the C locale, built in: newlocale allocates nothing
};

[[gnu::tls_model("initial-exec")]] thread_local FoldState state;

bool FoldsAsAscii(const int32_t *lower)
{
    for (int c = 0; c < 0x80; ++c)
        if (lower[c] != (c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c))
            return false;
    return true;
}

[[gnu::noinline, gnu::cold]] const int32_t *CheckTable(FoldState &s)
{
    if (s.current == nullptr) {
        s.current = __ctype_tolower_loc();
        s.c = newlocale(LC_ALL_MASK, "C", nullptr);
    }
    const int32_t *lower = *s.current;
    bool lasts = uselocale(nullptr) == LC_GLOBAL_LOCALE
                 || (s.c != nullptr && lower == s.c->__ctype_tolower);
    if (lasts && FoldsAsAscii(lower)) {
        s.ascii = lower;
        return nullptr;
    }
    s.other = lower;
    return lower;
}

inline const int32_t *LowerTable()
{
    FoldState &s = state;
    if (s.current != nullptr) {
        const int32_t *lower = *s.current;
        if (lower == s.ascii)
            return nullptr;
        if (lower == s.other)
            return lower;
    }
    return CheckTable(s);
}

int32_t Order(unsigned x, unsigned y) { return x < y ? -1 : 1; }

// Out of line: the common path then needs few registers.
[[gnu::noinline]] int32_t CompareWithTable(const unsigned char *a, const unsigned char *b,
                                           size_t limit, const int32_t *lower)
{
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
    if (const int32_t *lower = LowerTable())
        return CompareWithTable(reinterpret_cast<const unsigned char *>(first),
                                reinterpret_cast<const unsigned char *>(second), limit, lower);
    int difference = limit == SIZE_MAX ? strcasecmp_l(first, second, state.c)
                                       : strncasecmp_l(first, second, limit, state.c);
    return (difference > 0) - (difference < 0);
}

} // namespace

const int32_t *qv::LocaleLowerTable() { return LowerTable(); }

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
        *p = static_cast<unsigned char>(qv::FoldByte(*p, lower));
    return QV_OK;
}

} // extern "C"
