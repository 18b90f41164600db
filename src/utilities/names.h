/* SPDX-License-Identifier: MIT */
// names.h - the names' case-folding rule, for the store's hash, which must
// fold exactly as the comparisons do.
#pragma once

#include <stdint.h>

namespace qv {

// The calling thread's lower-case table as tolower() reads it, or null when
// that table folds the bytes below 0x80 exactly as ASCII does and lasts as
// long as the process (names.cpp says which tables do).
const int32_t *LocaleLowerTable();

// A byte folded by the names' rule, given LocaleLowerTable(): below 0x80
// through the locale, never above.
inline unsigned FoldByte(unsigned c, const int32_t *lower)
{
    if (c >= 0x80)
        return c;
    if (lower != nullptr)
        return static_cast<unsigned char>(lower[c]);
    return c - 'A' < 26u ? c + ('a' - 'A') : c;
}

} // namespace qv
