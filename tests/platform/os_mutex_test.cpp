// os_mutex_test.cpp - the OS layer's mutex: usable from all-zero memory,
// exclusive under contention, and a blocked waiter sleeps in the kernel.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <qv-os.h>
#include <unistd.h>

namespace {

// As a store holds it: zeroed, never initialised, used again and again.
TEST(OsMutex, AllZeroMemoryIsAnUnlockedMutexAndIdentitiesAreTheThreads)
{
    QvMutex mutex;
    std::memset(&mutex, 0, sizeof mutex);
    uint32_t self = QvGetThreadID();
    EXPECT_EQ(self, static_cast<uint32_t>(getpid())); // the main thread's id
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(QvAcquireMutex(&mutex, self), 0);
        EXPECT_EQ(QvReleaseMutex(&mutex, QvGetThreadID()), 0);
    }
    EXPECT_EQ(QvFreeMutex(&mutex), 0);
    uint32_t other = 0;
    std::thread([&] { other = QvGetThreadID(); }).join();
    EXPECT_NE(other, 0u);
    EXPECT_NE(other, self);
}

TEST(OsMutex, ExcludesUnderContention)
{
    constexpr int kThreads = 4, kRounds = 20000;
    QvMutex mutex{};
    long counter = 0; // deliberately plain: only the mutex protects it
    std::atomic<bool> overlapped{false};
    std::atomic<int> inside{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            uint32_t self = QvGetThreadID();
            for (int i = 0; i < kRounds; ++i) {
                QvAcquireMutex(&mutex, self);
                overlapped = overlapped || inside.fetch_add(1) != 0;
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

// The scheduler state of one of this process's threads ('S' sleeping in the
// kernel, 'R' running or runnable), or 0 if unreadable.
char ThreadState(uint32_t tid)
{
    char line[512] = {};
    std::string path = "/proc/self/task/" + std::to_string(tid) + "/stat";
    if (FILE *file = std::fopen(path.c_str(), "r")) {
        line[std::fread(line, 1, sizeof line - 1, file)] = '\0';
        std::fclose(file);
    }
    const char *end = std::strrchr(line, ')'); // the name may hold spaces
    return end != nullptr && end[1] == ' ' ? end[2] : 0;
}

TEST(OsMutex, ContendedWaiterSleepsUntilRelease)
{
    QvMutex mutex{};
    uint32_t self = QvGetThreadID();
    QvAcquireMutex(&mutex, self);
    std::atomic<uint32_t> waiter{0};
    std::atomic<bool> acquired{false};
    std::thread thread([&] {
        waiter = QvGetThreadID();
        QvAcquireMutex(&mutex, waiter);
        acquired = true;
        QvReleaseMutex(&mutex, waiter);
    });
    while (waiter == 0)
        std::this_thread::yield();
    // A spinning waiter stays runnable; a sleeping one shows 'S' once it
    // blocks.  The bound (a minute) only keeps a broken lock from hanging.
    char state = 'R';
    for (int poll = 0; poll < 60000 && state == 'R'; ++poll, usleep(1000))
        state = ThreadState(waiter);
    EXPECT_FALSE(acquired) << "acquired a mutex that another thread holds";
    QvReleaseMutex(&mutex, self);
    thread.join();
    EXPECT_TRUE(acquired);
    if (state == 0)
        GTEST_SKIP() << "thread states are not readable here";
    EXPECT_EQ(state, 'S') << "the waiter never slept";
}

} // namespace
