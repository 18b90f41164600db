// SPDX-License-Identifier: MIT
// strings_test.cpp - the allocator hooks, and strings in fresh memory: the
// exact blocks they obtain, how they grow and trim, and what a failure of
// each allocation in turn leaves behind.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include <qv-utility.h>

#include "counting_allocator.h"

namespace {

using Sizes = std::vector<size_t>;

// Its C locale cannot encode U+0100, so vsnprintf answers -1.
const wint_t kUnencodable = 0x100;

int freesSeen;
void RecordingFree(void *block)
{
    ++freesSeen;
    free(block);
}

TEST(Frame, InitializeAndHooks)
{
    int word = 0;
    EXPECT_EQ(QvUtilityInitialize(nullptr), QV_OK);
    EXPECT_EQ(QvUtilityInitialize(&word), 2);
    EXPECT_EQ(QvuMalloc, &malloc);
    EXPECT_EQ(QvuRealloc, &realloc);
    // A null argument leaves its hook; a hook assigned directly is read at
    // the library's next release.
    EXPECT_EQ(QvSetUtilAllocators(nullptr, nullptr, nullptr), QV_OK);
    EXPECT_EQ(QvuFree, &free);
    QvuFree = RecordingFree;
    EXPECT_EQ(QvAllocateAndFormatString(0, "%lc", kUnencodable), nullptr);
    EXPECT_EQ(freesSeen, 1);
    QvSetUtilAllocators(nullptr, nullptr, free);
    EXPECT_EQ(QvuMalloc, &malloc);
    EXPECT_EQ(QvuFree, &free);
}

// How a string is made: the call, the string it gives (null: none), and the
// sizes it asks for, QvuMalloc's first and then QvuRealloc's (growths, then
// a trim when the block shrinks); the last is the block handed out.
struct StringCase {
    const char *name;
    char *(*call)();
    const char *output;
    Sizes sizes;
};

#define CALL(expression) []() -> char * { return expression; }

const char *const kHundred = "hhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhh"
                             "hhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhh";
const char *const kSeventy = "zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz";

const StringCase kStringCases[] = {
    {"duplicate", CALL(QvDupString(kHundred)), kHundred, {101}},
    {"duplicate the empty string", CALL(QvDupString("")), "", {1}},
    {"duplicate null", CALL(QvDupString(nullptr)), nullptr, {}},
    {"negative hint", CALL(QvAllocateAndFormatString(-1, "abc")), nullptr, {}},
    {"no format", CALL(QvAllocateAndFormatString(0, nullptr)), nullptr, {}},
    {"estimate without conversions", CALL(QvAllocateAndFormatString(0, "hello")), "hello", {6}},
    {"estimate adds 8 per percent", CALL(QvAllocateAndFormatString(0, "x=%d", 5)), "x=5", {13}},
    {"escaped percent adds 16", CALL(QvAllocateAndFormatString(0, "a%%b")), "a%b", {21}},
    {"empty output", CALL(QvAllocateAndFormatString(0, "%s", "")), "", {11}},
    {"estimate too small", CALL(QvAllocateAndFormatString(0, "%s", kHundred)), kHundred, {11, 101}},
    {"roomy hint is trimmed", CALL(QvAllocateAndFormatString(200, "abc")), "abc", {200, 4}},
    {"64 spare bytes are kept", CALL(QvAllocateAndFormatString(67, "abc")), "abc", {67}},
    {"65 spare bytes are trimmed", CALL(QvAllocateAndFormatString(68, "abc")), "abc", {68, 4}},
    {"no room for the terminator", CALL(QvAllocateAndFormatString(3, "abc")), "abc", {3, 4}},
    {"second pass reads the values again", CALL(QvAllocateAndFormatString(2, "%s-%d", "ab", 7)),
     "ab-7", {2, 5}},
    // 73 characters, a string of 2: the trim measures the string.
    {"own NUL, trimmed", CALL(QvAllocateAndFormatString(1, "ab%c%s", 0, kSeventy)), "ab", {1, 74, 3}},
    {"formatter fails", CALL(QvAllocateAndFormatString(0, "%lc", kUnencodable)), nullptr, {12}},
};

// Each case succeeds, then fails at each of its allocations in turn: a
// failed trim still delivers the string in its untrimmed block, any other
// failure gives null; nothing is left allocated.
TEST(Strings, EachAllocationAndEachFailureOfIt)
{
    for (const StringCase &c : kStringCases) {
        size_t steps = c.sizes.size();
        bool trims = steps > 1 && c.sizes[steps - 1] < c.sizes[steps - 2];
        for (size_t failAt = 0; failAt <= steps; ++failAt) {
            SCOPED_TRACE(testing::Message() << c.name << ", failing allocation " << failAt);
            qvtest::CountingAllocator counting;
            counting.FailAt(failAt);
            char *text = c.call();
            bool delivered = c.output != nullptr && (failAt == 0 || (trims && failAt == steps));
            ASSERT_EQ(text != nullptr, delivered);
            if (delivered) {
                EXPECT_STREQ(text, c.output);
                EXPECT_EQ(counting.BlockSize(text), c.sizes[steps - (failAt == 0 ? 1 : 2)]);
                QvuFree(text);
            }
            if (failAt == 0) {
                EXPECT_EQ(counting.MallocSizes(), Sizes(c.sizes.begin(), c.sizes.begin() + (steps > 0)));
                EXPECT_EQ(counting.ReallocSizes(), Sizes(c.sizes.begin() + (steps > 0), c.sizes.end()));
            }
            EXPECT_EQ(counting.LiveBlocks(), 0u);
        }
    }
}

} // namespace
