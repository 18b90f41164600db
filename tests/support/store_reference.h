// store_reference.h - the store's name rules written out plainly, for the
// store tests and the store fuzzer to predict a store by: the bucket a
// section falls in, and when two names are one name.  Free of GoogleTest, so
// the fuzzing build can use it.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string_view>

namespace storetest {

// The bucket of a name: the 16-bit sum of the folded bytes (ASCII letters
// lower-cased, bytes from 0x80 kept), times 40503, bits 8 to 15.
inline unsigned RefHash(std::string_view name)
{
    uint32_t sum = 0;
    for (unsigned char c : name)
        sum += c < 0x80 ? static_cast<unsigned char>(std::tolower(c)) : c;
    return (((sum & 0xFFFFu) * 40503u) >> 8) & 0xFFu;
}

// Names equal as the store compares them.
inline bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size()
           && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
                  return (x < 0x80 ? std::tolower(x) : x) == (y < 0x80 ? std::tolower(y) : y);
              });
}

} // namespace storetest
