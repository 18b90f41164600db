// buffers_test.cpp - growable text buffers: growth sizes, where terminators
// land, and the state every refusal and failure leaves behind.
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
    std::string Content() const { return std::string(data, used); }

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
    // Reserves room and fills the whole block with a marker, so that a test
    // sees every byte an operation writes.
    void Reserve(uint32_t wanted)
    {
        ASSERT_EQ(QvEnlargeGivenBuf(&data, &capacity, wanted), QV_OK);
        memset(data, '#', capacity + 1);
    }
};

class BuffersTest : public testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(counting.LiveBlocks(), 0u) << "leaked"; }
    qvtest::CountingAllocator counting;
};

TEST_F(BuffersTest, EnlargeGrowsToWantedPlusOneAndNeverShrinks)
{
    Buffer b;
    EXPECT_EQ(QvEnlargeGivenBuf(&b.data, &b.capacity, 0), QV_OK);
    EXPECT_EQ(b.data, nullptr);
    EXPECT_EQ(QvEnlargeGivenBuf(&b.data, &b.capacity, 10), QV_OK);
    EXPECT_EQ(b.capacity, 10u);
    EXPECT_EQ(counting.BlockSize(b.data), 11u);
    EXPECT_EQ(QvEnlargeGivenBuf(&b.data, &b.capacity, 10), QV_OK);
    EXPECT_EQ(QvEnlargeGivenBuf(&b.data, &b.capacity, 3), QV_OK);
    EXPECT_EQ(b.capacity, 10u);
    EXPECT_EQ(counting.ReallocSizes(), Sizes{11});
}

TEST_F(BuffersTest, FailedEnlargeKeepsBlockAndContent)
{
    Buffer b;
    ASSERT_EQ(b.Append("hello"), QV_OK);
    char *block = b.data;
    counting.FailAt(1);
    EXPECT_EQ(QvEnlargeGivenBuf(&b.data, &b.capacity, 5000), QV_NO_MEMORY);
    EXPECT_EQ(b.data, block);
    EXPECT_EQ(b.capacity, 1029u);
    EXPECT_EQ(b.Content(), "hello");
    // A block whose size would not fit 32 bits is refused before the hook.
    counting.Reset();
    EXPECT_EQ(QvEnlargeGivenBuf(&b.data, &b.capacity, UINT32_MAX), QV_NO_MEMORY);
    EXPECT_EQ(counting.Allocations(), 0u);
    EXPECT_EQ(b.capacity, 1029u);
}

TEST_F(BuffersTest, AppendGrowsWithSlackAndWritesNoTerminator)
{
    Buffer b;
    ASSERT_EQ(b.Append("12345"), QV_OK);
    EXPECT_EQ(b.used, 5u);
    EXPECT_EQ(b.capacity, 1029u);
    EXPECT_EQ(counting.ReallocSizes(), Sizes{1030});

    Buffer r;
    r.Reserve(8);
    ASSERT_EQ(r.Append("abc"), QV_OK);
    EXPECT_EQ(std::string(r.data, 9), "abc######");
    // A length equal to the room fills the buffer without growing it.
    ASSERT_EQ(r.Append("defgh"), QV_OK);
    EXPECT_EQ(r.used, r.capacity);
    EXPECT_EQ(r.capacity, 8u);
    EXPECT_EQ(std::string(r.data, 9), "abcdefgh#");
}

TEST_F(BuffersTest, AppendOfNothing)
{
    Buffer b;
    EXPECT_EQ(QvAppendToBuffer(&b.data, &b.capacity, &b.used, "", 0), QV_OK);
    EXPECT_EQ(b.data, nullptr);
    EXPECT_EQ(b.capacity, 0u);
    EXPECT_EQ(QvAppendToBuffer(&b.data, &b.capacity, &b.used, nullptr, 0), QV_INVALID_ARG);
    EXPECT_EQ(counting.Allocations(), 0u);
}

TEST_F(BuffersTest, SmallAppendsGrowOncePerKilobyte)
{
    Buffer b;
    for (int i = 0; i < 4096; ++i)
        ASSERT_EQ(b.Append("x"), QV_OK);
    EXPECT_EQ(counting.ReallocSizes(), (Sizes{1026, 2051, 3076, 4101}));
    EXPECT_EQ(b.Content(), std::string(4096, 'x'));
}

TEST_F(BuffersTest, FormatIntoAnEmptyBufferGrowsByTheSlackFirst)
{
    Buffer b;
    ASSERT_EQ(b.Format("abc"), QV_OK);
    EXPECT_EQ(b.capacity, 1024u);
    EXPECT_EQ(b.used, 3u);
    EXPECT_EQ(b.data[3], '\0');
    EXPECT_EQ(counting.ReallocSizes(), Sizes{1025});
}

TEST_F(BuffersTest, FormatAfterRawBytesTerminatesAtTheUsedLength)
{
    Buffer b;
    ASSERT_EQ(b.Append("12345"), QV_OK);
    ASSERT_EQ(b.Format("%s", "abc"), QV_OK);
    EXPECT_EQ(b.used, 8u);
    EXPECT_EQ(b.data[8], '\0');
    EXPECT_EQ(b.Content(), "12345abc");
}

TEST_F(BuffersTest, EmptyFormatIntoAFullBufferGrowsAfterTheFirstAttempt)
{
    Buffer b;
    b.Reserve(4);
    ASSERT_EQ(b.Append("full"), QV_OK);
    ASSERT_EQ(b.Format(""), QV_OK);
    EXPECT_EQ(b.used, 4u);
    EXPECT_EQ(b.capacity, 4u + 1024u);
    EXPECT_EQ(b.data[4], '\0');
    EXPECT_EQ(counting.ReallocSizes(), (Sizes{5, 1029}));
}

TEST_F(BuffersTest, CutTextGrowsByItsLengthAndTheSlack)
{
    const std::string text(20, 't');
    Buffer b;
    b.Reserve(10);
    ASSERT_EQ(b.Format("%s", text.c_str()), QV_OK);
    EXPECT_EQ(b.Content(), text);
    EXPECT_EQ(b.capacity, 10u + 20u + 1024u);
    EXPECT_EQ(b.data[20], '\0');
    EXPECT_EQ(counting.ReallocSizes(), (Sizes{11, 1055}));
}

TEST_F(BuffersTest, NullAddressesAndFormatAreRefused)
{
    Buffer b;
    ASSERT_EQ(b.Append("abc"), QV_OK);
    char **data[] = {&b.data, nullptr, &b.data, &b.data};
    uint32_t *capacity[] = {&b.capacity, &b.capacity, nullptr, &b.capacity};
    uint32_t *used[] = {&b.used, &b.used, &b.used, nullptr};
    for (int i = 1; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(QvAppendToBuffer(data[i], capacity[i], used[i], "x", 1), QV_INVALID_ARG);
        EXPECT_EQ(QvFormatAndAppendToBuffer(data[i], capacity[i], used[i], "x"), QV_INVALID_ARG);
        if (used[i] != nullptr) { // the one address QvEnlargeGivenBuf does not take
            EXPECT_EQ(QvEnlargeGivenBuf(data[i], capacity[i], 5000), QV_INVALID_ARG);
        }
    }
    EXPECT_EQ(QvFormatAndAppendToBuffer(&b.data, &b.capacity, &b.used, nullptr), QV_INVALID_ARG);
    EXPECT_EQ(b.Content(), "abc");
    EXPECT_EQ(b.capacity, 1027u);
}

void FormatThroughVAList(int32_t *status, Buffer *b, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    *status = QvFormatVAListAndAppendToBuffer(&b->data, &b->capacity, &b->used, format, args);
    va_end(args);
}

TEST_F(BuffersTest, UsedBeyondCapacityIsRefusedByEveryAppend)
{
    Buffer b;
    b.Reserve(4);
    b.used = 5;
    int32_t viaList = 0;
    FormatThroughVAList(&viaList, &b, "%s", "abc");
    EXPECT_EQ(viaList, QV_BAD_BUFFER);
    EXPECT_EQ(b.Append("abc"), QV_BAD_BUFFER);
    EXPECT_EQ(b.Format("abc"), QV_BAD_BUFFER);
    EXPECT_EQ(b.used, 5u);
    EXPECT_EQ(b.capacity, 4u);
    EXPECT_EQ(counting.Allocations(), 1u);
    b.used = 0;
}

TEST_F(BuffersTest, FailedAppendGrowthChangesNothing)
{
    Buffer b;
    b.Reserve(4);
    ASSERT_EQ(b.Append("abc"), QV_OK);
    counting.FailAt(1);
    EXPECT_EQ(b.Append("defgh"), QV_NO_MEMORY);
    EXPECT_EQ(b.capacity, 4u);
    EXPECT_EQ(std::string(b.data, 5), "abc##");

    // A growth past 32 bits is refused without touching the block.
    counting.Reset();
    Buffer huge;
    huge.used = huge.capacity = UINT32_MAX - 10;
    EXPECT_EQ(huge.Append(std::string(20, 'x')), QV_NO_MEMORY);
    EXPECT_EQ(huge.Format("%s", "abc"), QV_NO_MEMORY);
    EXPECT_EQ(counting.Allocations(), 0u);
    huge.used = huge.capacity = 0;
}

TEST_F(BuffersTest, FailedFormatGrowthKeepsUsedAndCapacity)
{
    Buffer empty;
    counting.FailAt(1);
    EXPECT_EQ(empty.Format("abc"), QV_NO_MEMORY);
    EXPECT_EQ(empty.data, nullptr);
    EXPECT_EQ(empty.capacity, 0u);

    // The growth after a cut attempt fails: the cut text stays after the
    // used length, inside the old capacity.
    Buffer b;
    b.Reserve(10);
    ASSERT_EQ(b.Append("ab"), QV_OK);
    counting.FailAt(1);
    EXPECT_EQ(b.Format("%s", std::string(20, 't').c_str()), QV_NO_MEMORY);
    EXPECT_EQ(b.used, 2u);
    EXPECT_EQ(b.capacity, 10u);
    EXPECT_EQ(std::string(b.data, 11), std::string("abttttttt\0#", 11));
}

TEST_F(BuffersTest, FormatterFailureKeepsAnEarlierGrowth)
{
    Buffer b;
    EXPECT_EQ(b.Format("%lc", static_cast<wint_t>(0x100)), QV_FORMAT_FAILED);
    EXPECT_EQ(b.used, 0u);
    EXPECT_EQ(b.capacity, 1024u);
    EXPECT_NE(b.data, nullptr);
}

} // namespace
