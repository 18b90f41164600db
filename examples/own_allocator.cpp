// SPDX-License-Identifier: MIT
// own_allocator.cpp - a C++ host that puts the library's memory into its own
// heap and formats a report into a growable buffer.
//
// The allocator goes in first, before the library has allocated anything,
// so every block the library later grows or releases is one of the host's.
// The host's "heap" here is malloc with a header that counts live blocks.
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <qv-utility.h>

namespace {

struct Header {
    size_t size;
    alignas(std::max_align_t) unsigned char data[1];
};
constexpr size_t kHeader = offsetof(Header, data);

long liveBlocks = 0;

Header *HeaderOf(void *block)
{
    return reinterpret_cast<Header *>(static_cast<unsigned char *>(block) - kHeader);
}

void *HostMalloc(size_t size)
{
    auto *header = static_cast<Header *>(std::malloc(kHeader + size));
    if (header == nullptr)
        return nullptr;
    header->size = size;
    ++liveBlocks;
    return header->data;
}

void *HostRealloc(void *block, size_t size)
{
    if (block == nullptr)
        return HostMalloc(size);
    auto *header = static_cast<Header *>(std::realloc(HeaderOf(block), kHeader + size));
    if (header == nullptr)
        return nullptr;
    header->size = size;
    return header->data;
}

void HostFree(void *block)
{
    if (block == nullptr)
        return;
    --liveBlocks;
    std::free(HeaderOf(block));
}

// A growable buffer in the library's three variables, released on scope exit.
struct TextBuffer {
    char *text = nullptr;
    uint32_t capacity = 0;
    uint32_t used = 0;
    ~TextBuffer() { QvuFree(text); }
};

} // namespace

int main()
{
    QvSetUtilAllocators(HostMalloc, HostRealloc, HostFree);
    {
        TextBuffer report;
        struct Row { const char *name; unsigned count; double share; };
        const Row rows[] = {{"parser", 1520, 61.5}, {"store", 702, 28.4}, {"buffers", 250, 10.1}};
        QvFormatAndAppendToBuffer(&report.text, &report.capacity, &report.used, "%-10s %6s %7s\n",
                                  "module", "calls", "share");
        for (const Row &row : rows)
            if (QvFormatAndAppendToBuffer(&report.text, &report.capacity, &report.used,
                                          "%-10s %6u %6.1f%%\n", row.name, row.count,
                                          row.share) != QV_OK)
                return 1;
        std::fputs(report.text, stdout);
        std::printf("%u bytes in a buffer of %u, %ld block(s) of the host's live\n", report.used,
                    report.capacity, liveBlocks);
    }
    std::printf("after release: %ld block(s) live\n", liveBlocks);
    return liveBlocks == 0 ? 0 : 1;
}
