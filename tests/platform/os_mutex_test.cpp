// os_mutex_test.cpp - the OS layer's mutex: usable from all-zero memory,
// exclusive under contention, and a blocked waiter sleeps in the kernel.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <qv-os.h>
#include <unistd.h>

namespace {

TEST(OsMutex, AllZeroMemoryIsAnUnlockedMutex)
{
    // As a store gets it: zeroed heap memory, never initialised.
    auto *mutex = static_cast<QvMutex *>(calloc(1, sizeof(QvMutex)));
    ASSERT_NE(mutex, nullptr);
    uint32_t self = QvGetThreadID();
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(QvAcquireMutex(mutex, self), 0);
        EXPECT_EQ(QvReleaseMutex(mutex, self), 0);
    }
    EXPECT_EQ(QvFreeMutex(mutex), 0);
    free(mutex);
}

TEST(OsMutex, ThreadIdentitiesDifferAndStayFixed)
{
    uint32_t main = QvGetThreadID();
    EXPECT_EQ(QvGetThreadID(), main);
    EXPECT_EQ(main, static_cast<uint32_t>(getpid())); // the main thread's tid
    uint32_t other = 0;
    std::thread([&] { other = QvGetThreadID(); }).join();
    EXPECT_NE(other, 0u);
    EXPECT_NE(other, main);
}

TEST(OsMutex, ExcludesUnderContention)
{
    constexpr int kThreads = 4;
    constexpr int kRounds = 20000;
    QvMutex mutex{};
    long counter = 0; // deliberately plain: only the mutex protects it
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            uint32_t self = QvGetThreadID();
            for (int i = 0; i < kRounds; ++i) {
                QvAcquireMutex(&mutex, self);
                if (inside.fetch_add(1) != 0)
                    overlapped = true;
                ++counter;
                inside.fetch_sub(1);
                QvReleaseMutex(&mutex, self);
            }
        });
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_FALSE(overlapped);
    EXPECT_EQ(counter, long{kThreads} * kRounds);
}

// The scheduler state of one of this process's threads, from /proc: 'S' for
// sleeping in the kernel, 'R' for running or runnable; 0 if unreadable.
char ThreadState(uint32_t tid)
{
    std::string path = "/proc/self/task/" + std::to_string(tid) + "/stat";
    FILE *file = fopen(path.c_str(), "r");
    if (file == nullptr)
        return 0;
    char line[512] = {};
    size_t length = fread(line, 1, sizeof line - 1, file);
    fclose(file);
    line[length] = '\0';
    const char *end = strrchr(line, ')'); // the name may hold spaces
    return end != nullptr && end[1] == ' ' ? end[2] : 0;
}

TEST(OsMutex, ContendedWaiterSleepsUntilRelease)
{
    QvMutex mutex{};
    uint32_t self = QvGetThreadID();
    QvAcquireMutex(&mutex, self);

    std::atomic<uint32_t> waiterId{0};
    std::atomic<bool> acquired{false};
    std::thread waiter([&] {
        uint32_t id = QvGetThreadID();
        waiterId = id;
        QvAcquireMutex(&mutex, id);
        acquired = true;
        QvReleaseMutex(&mutex, id);
    });
    while (waiterId == 0)
        std::this_thread::yield();

    // A spinning waiter stays runnable forever; a sleeping one shows 'S' as
    // soon as it blocks.  The bound only keeps a broken lock from hanging
    // the suite; it is minutes on a loaded machine, not a speed limit.
    bool slept = false;
    char state = 0;
    for (int poll = 0; poll < 60000 && !slept; ++poll) {
        state = ThreadState(waiterId);
        if (state == 0)
            break;
        slept = state == 'S' && !acquired;
        if (!slept)
            usleep(1000);
    }
    EXPECT_FALSE(acquired) << "acquired a mutex that another thread holds";
    QvReleaseMutex(&mutex, self);
    waiter.join();
    EXPECT_TRUE(acquired);
    if (state == 0)
        GTEST_SKIP() << "thread states are not readable here";
    EXPECT_TRUE(slept) << "the waiter never slept; last state " << state;
}

} // namespace
