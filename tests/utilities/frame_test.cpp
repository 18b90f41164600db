// frame_test.cpp - the initialisation entry and the allocator hooks.
#include <gtest/gtest.h>

#include <cstdlib>

#include <qv-utility.h>

#include "counting_allocator.h"

namespace {

TEST(Frame, InitializeAnswersTwoForAnyNonNullArgument)
{
    int word = 0;
    EXPECT_EQ(QvUtilityInitialize(nullptr), QV_OK);
    EXPECT_EQ(QvUtilityInitialize(&word), 2);
    EXPECT_EQ(QvUtilityInitialize(reinterpret_cast<void *>(1)), 2);
}

TEST(Frame, NullArgumentsLeaveHooksAsTheyWere)
{
    QvMallocHook m = QvuMalloc;
    QvReallocHook r = QvuRealloc;
    QvFreeHook f = QvuFree;
    EXPECT_EQ(QvSetUtilAllocators(nullptr, nullptr, nullptr), QV_OK);
    EXPECT_EQ(QvuMalloc, m);
    EXPECT_EQ(QvuRealloc, r);
    EXPECT_EQ(QvuFree, f);
}

TEST(Frame, HooksStartAsTheStandardAllocator)
{
    EXPECT_EQ(QvuMalloc, &malloc);
    EXPECT_EQ(QvuRealloc, &realloc);
    EXPECT_EQ(QvuFree, &free);
}

int freesSeen;
void RecordingFree(void *block)
{
    ++freesSeen;
    free(block);
}

TEST(Frame, InstallingOnlyAFreeFunctionReplacesOnlyThatHook)
{
    QvFreeHook saved = QvuFree;
    QvMallocHook m = QvuMalloc;
    QvSetUtilAllocators(nullptr, nullptr, RecordingFree);
    EXPECT_EQ(QvuMalloc, m);
    freesSeen = 0;
    char *copy = QvAllocateAndFormatString(200, "%s", "abc"); // trims: realloc
    ASSERT_NE(copy, nullptr);
    free(copy);
    EXPECT_EQ(freesSeen, 0);
    char *buffer = nullptr;
    uint32_t capacity = 0;
    EXPECT_EQ(QvEnlargeGivenBuf(&buffer, &capacity, 10), QV_OK);
    QvuFree(buffer);
    EXPECT_EQ(freesSeen, 1);
    QvSetUtilAllocators(nullptr, nullptr, saved);
}

TEST(Frame, DirectAssignmentOfAHookTakesEffectAtTheNextRelease)
{
    QvFreeHook saved = QvuFree;
    QvuFree = RecordingFree;
    freesSeen = 0;
    // A vsnprintf failure makes the library release its block.
    EXPECT_EQ(QvAllocateAndFormatString(0, "%lc", static_cast<wint_t>(0x263A)), nullptr);
    EXPECT_EQ(freesSeen, 1);
    QvuFree = saved;
}

TEST(Frame, CountingAllocatorSeesEveryLibraryAllocation)
{
    qvtest::CountingAllocator counting;
    char *copy = QvDupString("abc");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(counting.BlockSize(copy), 4u);
    EXPECT_EQ(counting.Counts().mallocs, 1u);
    QvuFree(copy);
    EXPECT_EQ(counting.LiveBlocks(), 0u);
}

} // namespace
