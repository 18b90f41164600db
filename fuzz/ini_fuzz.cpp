// SPDX-License-Identifier: MIT
// ini_fuzz.cpp - libFuzzer harness for the INI parser and lookup: on any
// input, up to its first NUL, QvParseIniData and QvGetIniValue must agree
// with the sscanf reference (ini_compare.h).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ini_compare.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    auto *text = reinterpret_cast<const char *>(data);
    std::string differences = qvref::CompareWithReference(std::string(text, strnlen(text, size)), size);
    if (!differences.empty()) {
        std::fputs(differences.c_str(), stderr);
        std::abort();
    }
    return 0;
}
