/* SPDX-License-Identifier: MIT */
// names.h - names respelt in another letter case, as the name and store
// benchmarks ask for them: the library must find them all the same.
#pragma once

#include <string>

namespace qvbench {

enum class Spelling { Upper, Lower, Flipped };

inline std::string Respell(std::string name, Spelling spelling)
{
    for (char &c : name) {
        bool upper = c >= 'A' && c <= 'Z';
        bool lower = c >= 'a' && c <= 'z';
        if ((upper && spelling != Spelling::Upper) || (lower && spelling != Spelling::Lower))
            c = static_cast<char>(c ^ 0x20);
    }
    return name;
}

} // namespace qvbench
