/* SPDX-License-Identifier: MIT */
// store_reference.h - the store's name rules written out plainly, for the
// store tests and the store fuzzer to predict a store by: the bucket a
// section falls in, and when two names are one name.  Free of GoogleTest, so
// the fuzzing build can use it.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

namespace storetest {

// ASCII letters fold to lower case; bytes from 0x80 never fold.
constexpr unsigned char Fold(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

// The bucket of a name: the 16-bit sum of its folded bytes, times 40503,
// bits 8 to 15.
constexpr unsigned RefHash(std::string_view name)
{
    uint32_t sum = 0;
    for (unsigned char c : name)
        sum += Fold(c);
    return (((sum & 0xFFFFu) * 40503u) >> 8) & 0xFFu;
}
constexpr std::array<char, 300> kFullBytes = [] {
    std::array<char, 300> bytes{};
    bytes.fill('\xFF');
    return bytes;
}();
static_assert(RefHash("") == 0 && RefHash("a") == 242 && RefHash("ABC") == 179 && RefHash("ba") == 131
              && RefHash("Key") == 84 && RefHash("\xFF") == 152 && RefHash("Section") == 216
              && RefHash("Ac") == 34 && RefHash({kFullBytes.data(), kFullBytes.size()}) == 11);

// Names equal as the store compares them.
constexpr bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return Fold(x) == Fold(y);
           });
}

} // namespace storetest
