// SPDX-License-Identifier: MIT
// buffers_test.cpp - growable text buffers: growth sizes, where terminators
// land, the state a failure of each growth in turn leaves behind, and the
// largest block a buffer asks for.
#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include <qv-utility.h>

#include "counting_allocator.h"

// Buffer::Format forwards its caller's format; each call site is a literal.
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"

namespace {

using Sizes = std::vector<size_t>;

// The caller's three variables; released through the hook when done.
struct Buffer {
    char *data = nullptr;
    uint32_t capacity = 0;
    uint32_t used = 0;

    ~Buffer() { QvuFree(data); }

    int32_t Append(const std::string &text)
    {
        return QvAppendToBuffer(&data, &capacity, &used, text.data(),
                                static_cast<uint32_t>(text.size()));
    }
    template <typename... Values>
    int32_t Format(const char *format, Values... values)
    {
        return QvFormatAndAppendToBuffer(&data, &capacity, &used, format, values...);
    }
};

const std::string kLong(1100, 'f');
const wint_t kUnencodable = 0x100; // in the C locale: vsnprintf fails

// An operation on a buffer that first got a block of `reserve` bytes of
// capacity, every byte of it '#' (so that each byte written shows), and
// then the raw bytes of `before`.  `reallocs` are the sizes the operation
// asks of QvuRealloc; `block` the block's first bytes afterwards.
struct BufferCase {
    const char *name;
    uint32_t reserve;
    std::string before;
    int32_t (*operation)(Buffer &);
    int32_t status;
    uint32_t capacity;
    uint32_t used;
    Sizes reallocs;
    std::string block;
};

#define ON(expression) [](Buffer &b) -> int32_t { return expression; }

const BufferCase kBufferCases[] = {
    {"enlarge an empty buffer", 0, "", ON(QvEnlargeGivenBuf(&b.data, &b.capacity, 10)), QV_OK, 10, 0, {11}, ""},
    {"enlarge to nothing", 0, "", ON(QvEnlargeGivenBuf(&b.data, &b.capacity, 0)), QV_OK, 0, 0, {}, ""},
    {"enlarge within the capacity", 10, "", ON(QvEnlargeGivenBuf(&b.data, &b.capacity, 3)), QV_OK, 10, 0, {},
     "###########"},
    {"enlarge keeps the content", 0, "hello", ON(QvEnlargeGivenBuf(&b.data, &b.capacity, 5000)), QV_OK, 5000,
     5, {5001}, "hello"},
    {"append to an empty buffer", 0, "", ON(b.Append("12345")), QV_OK, 1029, 5, {1030}, "12345"},
    {"append of nothing", 0, "", ON(b.Append("")), QV_OK, 0, 0, {}, ""},
    {"append writes no terminator", 8, "", ON(b.Append("abc")), QV_OK, 8, 3, {}, "abc######"},
    {"append of exactly the room", 8, "abcdefg", ON(b.Append("h")), QV_OK, 8, 8, {}, "abcdefgh#"},
    {"append past the room", 4, "abc", ON(b.Append("defgh")), QV_OK, 1032, 8, {1033}, "abcdefgh"},
    {"format into an empty buffer", 0, "", ON(b.Format("abc")), QV_OK, 1024, 3, {1025}, {"abc", 4}},
    {"format after raw bytes", 0, "12345", ON(b.Format("%s", "abc")), QV_OK, 1029, 8, {}, {"12345abc", 9}},
    {"empty format into a full buffer", 4, "full", ON(b.Format("")), QV_OK, 1028, 4, {1029}, {"full", 5}},
    {"room equal to the format's length", 10, "1234567", ON(b.Format("abc")), QV_OK, 1037, 10, {1038},
     {"1234567abc", 11}},
    {"room shorter than the format's length", 10, "123456789", ON(b.Format("abc")), QV_OK, 1034, 12, {1035},
     {"123456789abc", 13}},
    {"text cut by the room", 10, "", ON(b.Format("%s", kLong.c_str())), QV_OK, 2134, 1100, {2135},
     kLong + '\0'},
    {"grown before and after a cut", 0, "", ON(b.Format(kLong.c_str())), QV_OK, 3148, 1100, {1025, 3149},
     kLong + '\0'},
    {"formatter fails after a growth", 0, "", ON(b.Format("%lc", kUnencodable)), QV_FORMAT_FAILED, 1024, 0,
     {1025}, ""},
    {"append without data", 0, "abc", ON(QvAppendToBuffer(&b.data, &b.capacity, &b.used, nullptr, 0)),
     QV_INVALID_ARG, 1027, 3, {}, "abc"},
    {"format without a format", 0, "abc", ON(QvFormatAndAppendToBuffer(&b.data, &b.capacity, &b.used, nullptr)),
     QV_INVALID_ARG, 1027, 3, {}, "abc"},
    {"append beyond the capacity", 4, "", ON((b.used = 5, b.Append("x"))), QV_BAD_BUFFER, 4, 5, {}, "#####"},
    {"format beyond the capacity", 4, "", ON((b.used = 5, b.Format("x"))), QV_BAD_BUFFER, 4, 5, {}, "#####"},
};

// Each case runs, then fails at each of its growths in turn: the status is
// QV_NO_MEMORY, the used length and the content before it stay, and the
// capacity is what the growths before the failed one made it.
TEST(Buffers, EachGrowthAndEachFailureOfIt)
{
    for (const BufferCase &c : kBufferCases) {
        for (size_t failAt = 0; failAt <= c.reallocs.size(); ++failAt) {
            SCOPED_TRACE(testing::Message() << c.name << ", failing growth " << failAt);
            qvtest::CountingAllocator counting;
            Buffer b;
            if (c.reserve != 0) {
                ASSERT_EQ(QvEnlargeGivenBuf(&b.data, &b.capacity, c.reserve), QV_OK);
                memset(b.data, '#', c.reserve + 1);
            }
            ASSERT_EQ(b.Append(c.before), QV_OK);
            uint32_t capacity = b.capacity;
            size_t setup = counting.ReallocSizes().size();
            counting.FailAt(failAt);
            EXPECT_EQ(c.operation(b), failAt == 0 ? c.status : QV_NO_MEMORY);
            EXPECT_EQ(b.used, failAt == 0 ? c.used : c.before.size());
            EXPECT_EQ(b.capacity, failAt == 0 ? c.capacity : failAt == 1 ? capacity : c.reallocs[failAt - 2] - 1);
            std::string block = failAt == 0 ? c.block : c.before;
            EXPECT_EQ(b.data == nullptr ? "" : std::string(b.data, block.size()), block);
            Sizes asked = counting.ReallocSizes();
            if (failAt == 0) {
                EXPECT_EQ(Sizes(asked.begin() + setup, asked.end()), c.reallocs);
            }
        }
    }
}

// The largest capacity a buffer asks the hook for is UINT32_MAX - 1, whose
// block of UINT32_MAX bytes still fits 32 bits; larger ones, sums that would
// wrap included, are refused before the hook.  The hook refuses them all.
TEST(Buffers, LargestBlockIsAskedForAndNoLarger)
{
    qvtest::CountingAllocator counting;
    counting.FailAt(1, true);
    Buffer b;
    EXPECT_EQ(QvEnlargeGivenBuf(&b.data, &b.capacity, UINT32_MAX), QV_NO_MEMORY);
    EXPECT_EQ(QvEnlargeGivenBuf(&b.data, &b.capacity, UINT32_MAX - 1), QV_NO_MEMORY);
    b.used = b.capacity = UINT32_MAX - 1026; // a block this large is never touched
    EXPECT_EQ(b.Append("xy"), QV_NO_MEMORY);
    EXPECT_EQ(b.Append("x"), QV_NO_MEMORY);
    b.used = b.capacity = UINT32_MAX - 10;
    EXPECT_EQ(b.Append(std::string(20, 'x')), QV_NO_MEMORY);
    b.used = b.capacity = UINT32_MAX - 1024;
    EXPECT_EQ(b.Format("abc"), QV_NO_MEMORY);
    b.used = b.capacity = UINT32_MAX - 1025;
    EXPECT_EQ(b.Format("abc"), QV_NO_MEMORY);
    EXPECT_EQ(counting.ReallocSizes(), (Sizes{UINT32_MAX, UINT32_MAX, UINT32_MAX}));
    EXPECT_EQ(b.capacity, UINT32_MAX - 1025);
    b.used = b.capacity = 0;
}

// What a buffer without an address is refused.
TEST(Buffers, MissingAddressesAreRefused)
{
    Buffer b;
    char **data[] = {nullptr, &b.data, &b.data};
    uint32_t *capacity[] = {&b.capacity, nullptr, &b.capacity};
    uint32_t *used[] = {&b.used, &b.used, nullptr};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(QvAppendToBuffer(data[i], capacity[i], used[i], "x", 1), QV_INVALID_ARG);
        EXPECT_EQ(QvFormatAndAppendToBuffer(data[i], capacity[i], used[i], "x"), QV_INVALID_ARG);
        if (i < 2) {
            EXPECT_EQ(QvEnlargeGivenBuf(data[i], capacity[i], 5000), QV_INVALID_ARG);
        }
    }
    EXPECT_EQ(b.data, nullptr);
}

} // namespace
