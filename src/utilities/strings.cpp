// SPDX-License-Identifier: MIT
// strings.cpp - strings in fresh memory: duplicates and formatted output.
#include <stdio.h>
#include <string.h>

#include "utilities/allocator.h"
#include "utilities/ident.h"

QV_MODULE_IDENT("strings", "1.0");

namespace {

// A formatted string whose block wastes more than this is trimmed.
constexpr size_t kTrimSlack = 64;

// The first block for a hint of 0: the format itself plus 8 bytes for each
// '%' (every '%' counts, so "%%" adds 16).
size_t EstimateSize(const char *format)
{
    size_t size = strlen(format) + 1;
    for (const char *p = format; (p = strchr(p, '%')) != nullptr; ++p)
        size += 8;
    return size;
}

} // namespace

extern "C" {

char *QvDupString(const char *text)
{
    if (text == nullptr)
        return nullptr;
    size_t size = strlen(text) + 1;
    auto *copy = static_cast<char *>(qv::Allocate(size));
    if (copy != nullptr)
        memcpy(copy, text, size);
    return copy;
}

char *QvAllocateAndFormatString(int32_t sizeHint, const char *format, ...)
{
    if (format == nullptr || sizeHint < 0)
        return nullptr;
    size_t size = sizeHint > 0 ? static_cast<size_t>(sizeHint) : EstimateSize(format);
    auto *block = static_cast<char *>(qv::Allocate(size));
    if (block == nullptr)
        return nullptr;
    for (;;) {
        va_list args;
        va_start(args, format);
        int written = vsnprintf(block, size, format, args);
        va_end(args);
        if (written < 0) {
            qv::Release(block);
            return nullptr;
        }
        if (static_cast<size_t>(written) < size)
            break;
        // Cut short: room for exactly this output lets the next pass fit.
        size = static_cast<size_t>(written) + 1;
        auto *grown = static_cast<char *>(qv::Reallocate(block, size));
        if (grown == nullptr) {
            qv::Release(block);
            return nullptr;
        }
        block = grown;
    }
    // Measured as a string: output holding a NUL of its own keeps only the
    // part before it when trimmed.
    size_t length = strlen(block);
    if (size - length > kTrimSlack) {
        auto *trimmed = static_cast<char *>(qv::Reallocate(block, length + 1));
        if (trimmed != nullptr)
            block = trimmed;
    }
    return block;
}

} // extern "C"
