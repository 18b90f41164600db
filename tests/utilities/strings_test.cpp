// strings_test.cpp - duplicated and formatted strings: the exact blocks they
// obtain, how they grow and trim, and what every failure leaves behind.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include <qv-utility.h>

#include "counting_allocator.h"

// The formats come from tables; each is checked against its argument by hand.
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"

namespace {

using Sizes = std::vector<size_t>;

class StringsTest : public testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(counting.LiveBlocks(), 0u) << "leaked"; }
    qvtest::CountingAllocator counting;
};

TEST_F(StringsTest, DupStringAllocatesExactlyTheStringAndItsTerminator)
{
    const std::string texts[] = {"", "abc", std::string(300, 'x'), "caf\xC3\xA9"};
    for (const std::string &text : texts) {
        char *copy = QvDupString(text.c_str());
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(counting.BlockSize(copy), text.size() + 1);
        EXPECT_EQ(std::string(copy), text);
        QvuFree(copy);
    }
    EXPECT_EQ(counting.Counts().mallocs, std::size(texts));
    EXPECT_EQ(counting.Counts().reallocs, 0u);
}

TEST_F(StringsTest, DupStringOfNullOrWithoutMemoryIsNull)
{
    EXPECT_EQ(QvDupString(nullptr), nullptr);
    EXPECT_EQ(counting.Counts().mallocs, 0u);
    counting.FailAt(1);
    EXPECT_EQ(QvDupString("abc"), nullptr);
}

struct FormatCase {
    const char *name;
    int32_t hint;
    const char *format;
    const char *argument; // the one value every format of the table reads
    std::string output;
    Sizes mallocs;
    Sizes reallocs;
    size_t block;
};

const std::string kHundred(100, 'h');

// The cases that share a shape: one value in, and the exact sequence of
// blocks asked for on the way out.
const FormatCase kFormatCases[] = {
    {"estimate without conversions", 0, "hello", "", "hello", {6}, {}, 6},
    {"estimate adds 8 per percent", 0, "x=%s", "5", "x=5", {13}, {}, 13},
    {"escaped percent adds 16", 0, "a%%b", "", "a%b", {21}, {}, 21},
    {"estimate too small grows once", 0, "%s", kHundred.c_str(), kHundred, {11}, {101}, 101},
    {"roomy hint is trimmed", 200, "%s", "abc", "abc", {200}, {4}, 4},
    {"64 spare bytes are kept", 67, "%s", "abc", "abc", {67}, {}, 67},
    {"65 spare bytes are trimmed", 68, "%s", "abc", "abc", {68}, {4}, 4},
    {"terminator alone does not fit", 3, "%s", "abc", "abc", {3}, {4}, 4},
    {"growth from one byte", 1, "%s", kHundred.c_str(), kHundred, {1}, {101}, 101},
    {"second pass reads the values again", 2, "%s-%s", "ab", "ab-ab", {2}, {6}, 6},
};

TEST(Strings, FormatAllocatesGrowsAndTrimsExactly)
{
    for (const FormatCase &c : kFormatCases) {
        SCOPED_TRACE(c.name);
        qvtest::CountingAllocator fresh; // its own size records for this case
        char *text = QvAllocateAndFormatString(c.hint, c.format, c.argument, c.argument);
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(std::string(text), c.output);
        EXPECT_EQ(fresh.MallocSizes(), c.mallocs);
        EXPECT_EQ(fresh.ReallocSizes(), c.reallocs);
        EXPECT_EQ(fresh.BlockSize(text), c.block);
        EXPECT_EQ(fresh.Counts().frees, 0u);
        QvuFree(text);
        EXPECT_EQ(fresh.LiveBlocks(), 0u);
    }
}

TEST_F(StringsTest, OutputWithItsOwnNulIsTrimmedToThePartBeforeIt)
{
    // Formatted length 73, string length 2: the grown 74-byte block wastes
    // more than 64 bytes by string length, so the trim keeps "ab".
    char *text = QvAllocateAndFormatString(1, "ab%c%s", 0, std::string(70, 'z').c_str());
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "ab");
    EXPECT_EQ(counting.ReallocSizes(), (Sizes{74, 3}));
    EXPECT_EQ(counting.BlockSize(text), 3u);
    QvuFree(text);

    // Estimated 16 bytes hold "ab\0def" untrimmed: 16 exceeds 2 by only 14.
    text = QvAllocateAndFormatString(0, "ab%cdef", 0);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "ab");
    EXPECT_EQ(counting.BlockSize(text), 16u);
    EXPECT_EQ(std::string(text, 6), std::string("ab\0def", 6));
    QvuFree(text);
}

TEST_F(StringsTest, RefusedArgumentsAllocateNothing)
{
    EXPECT_EQ(QvAllocateAndFormatString(-1, "abc"), nullptr);
    EXPECT_EQ(QvAllocateAndFormatString(INT32_MIN, "abc"), nullptr);
    EXPECT_EQ(QvAllocateAndFormatString(0, nullptr), nullptr);
    EXPECT_EQ(QvAllocateAndFormatString(10, nullptr), nullptr);
    EXPECT_EQ(counting.Allocations(), 0u);
}

TEST_F(StringsTest, FormatterFailureReleasesTheBlock)
{
    // The C locale cannot encode U+0100, so vsnprintf answers -1.
    ASSERT_EQ(snprintf(nullptr, 0, "%lc", static_cast<wint_t>(0x100)), -1);
    EXPECT_EQ(QvAllocateAndFormatString(0, "%lc", static_cast<wint_t>(0x100)), nullptr);
    EXPECT_EQ(counting.Counts().mallocs, 1u);
    EXPECT_EQ(counting.Counts().frees, 1u);
}

// Output that needs a growth (1 -> 74 bytes) and a trim (74 -> 3), failed at
// each allocation in turn: the first two failures lose the string, a failed
// trim still delivers it in the untrimmed block.
TEST_F(StringsTest, FailingEachAllocationInTurn)
{
    const std::string tail(70, 'z');
    struct {
        size_t failAt;
        bool delivered;
        size_t block;
    } const cases[] = {{1, false, 0}, {2, false, 0}, {3, true, 74}, {4, true, 3}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "failing allocation " << c.failAt);
        counting.FailAt(c.failAt);
        char *text = QvAllocateAndFormatString(1, "ab%c%s", 0, tail.c_str());
        EXPECT_EQ(counting.Allocations(), c.failAt == 4 ? 3u : c.failAt);
        EXPECT_EQ(text != nullptr, c.delivered);
        if (text != nullptr) {
            EXPECT_STREQ(text, "ab");
            EXPECT_EQ(counting.BlockSize(text), c.block);
            QvuFree(text);
        }
        EXPECT_EQ(counting.LiveBlocks(), 0u);
    }
}

} // namespace
