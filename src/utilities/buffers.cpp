// SPDX-License-Identifier: MIT
// buffers.cpp - growable text buffers held in the caller's three variables
// (block, capacity, used length).
//
// A block is always capacity + 1 bytes, so a terminator at index used length
// fits even in a full buffer.  Growth is additive with 1024 bytes of slack.
// Sums are taken in 64 bits: a capacity whose block would not fit 32 bits is
// refused as QV_NO_MEMORY rather than wrapping to a tiny size.
#include <stdio.h>
#include <string.h>

#include "utilities/allocator.h"
#include "utilities/ident.h"

QV_MODULE_IDENT("buffers", "1.0");

namespace {

constexpr uint32_t kSlack = 1024;
constexpr uint64_t kMaxCapacity = UINT32_MAX - 1; // block size must fit 32 bits

int32_t Grow(char **buffer, uint32_t *capacity, uint64_t wanted)
{
    if (wanted > kMaxCapacity)
        return QV_NO_MEMORY;
    return QvEnlargeGivenBuf(buffer, capacity, static_cast<uint32_t>(wanted));
}

} // namespace

extern "C" {

int32_t QvEnlargeGivenBuf(char **buffer, uint32_t *capacity, uint32_t wanted)
{
    if (buffer == nullptr || capacity == nullptr)
        return QV_INVALID_ARG;
    if (*capacity >= wanted)
        return QV_OK;
    if (wanted > kMaxCapacity)
        return QV_NO_MEMORY;
    auto *grown = static_cast<char *>(qv::Reallocate(*buffer, size_t{wanted} + 1));
    if (grown == nullptr)
        return QV_NO_MEMORY;
    *buffer = grown;
    *capacity = wanted;
    return QV_OK;
}

int32_t QvAppendToBuffer(char **buffer, uint32_t *capacity, uint32_t *used,
                         const void *data, uint32_t length)
{
    if (buffer == nullptr || capacity == nullptr || used == nullptr || data == nullptr)
        return QV_INVALID_ARG;
    if (*used > *capacity)
        return QV_BAD_BUFFER;
    if (*capacity - *used < length) {
        int32_t status = Grow(buffer, capacity, uint64_t{*used} + length + kSlack);
        if (status != QV_OK)
            return status;
    }
    if (length != 0) // an empty buffer has no block to copy into
        memcpy(*buffer + *used, data, length);
    *used += length;
    return QV_OK;
}

int32_t QvFormatVAListAndAppendToBuffer(char **buffer, uint32_t *capacity,
                                        uint32_t *used, const char *format,
                                        va_list args)
{
    if (buffer == nullptr || capacity == nullptr || used == nullptr || format == nullptr)
        return QV_INVALID_ARG;
    if (*used > *capacity)
        return QV_BAD_BUFFER;
    if (*capacity - *used < strlen(format)) {
        int32_t status = Grow(buffer, capacity, uint64_t{*capacity} + kSlack);
        if (status != QV_OK)
            return status;
    }
    for (;;) {
        uint32_t room = *capacity - *used;
        va_list attempt;
        va_copy(attempt, args);
        int written = vsnprintf(*buffer + *used, room, format, attempt);
        va_end(attempt);
        if (written < 0)
            return QV_FORMAT_FAILED;
        if (static_cast<uint32_t>(written) < room) {
            *used += static_cast<uint32_t>(written);
            return QV_OK;
        }
        // Cut short: the next attempt has at least 1024 bytes to spare.
        int32_t status = Grow(buffer, capacity, uint64_t{*capacity} + written + kSlack);
        if (status != QV_OK)
            return status;
    }
}

int32_t QvFormatAndAppendToBuffer(char **buffer, uint32_t *capacity,
                                  uint32_t *used, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    int32_t status = QvFormatVAListAndAppendToBuffer(buffer, capacity, used, format, args);
    va_end(args);
    return status;
}

} // extern "C"
