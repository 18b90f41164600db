// os_mutex_test.cpp - the OS layer's mutex, as a store holds it: zeroed,
// never initialised, taken alone and then under contention, it lets one
// thread in at a time; and each thread has an identity of its own.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

#include <qv-os.h>
#include <unistd.h>

namespace {

TEST(OsMutex, AllZeroMemoryIsAMutexThatLetsOneThreadInAtATime)
{
    constexpr int kThreads = 4, kRounds = 20000;
    QvMutex mutex;
    std::memset(&mutex, 0, sizeof mutex);
    long counter = 0;           // deliberately plain: only the mutex protects it
    std::set<uint32_t> threads; // the identities seen, likewise
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    auto work = [&] {
        for (int i = 0; i < kRounds; ++i) {
            uint32_t self = QvGetThreadID();
            EXPECT_EQ(QvAcquireMutex(&mutex, self), 0);
            overlapped = overlapped || inside.fetch_add(1) != 0;
            ++counter;
            threads.insert(self);
            inside.fetch_sub(1);
            EXPECT_EQ(QvReleaseMutex(&mutex, QvGetThreadID()), 0);
        }
    };
    work(); // one thread: the uncontended path
    std::vector<std::thread> running;
    for (int t = 0; t < kThreads; ++t)
        running.emplace_back(work);
    for (std::thread &thread : running)
        thread.join();
    EXPECT_FALSE(overlapped);
    EXPECT_EQ(counter, long{kThreads + 1} * kRounds);
    EXPECT_EQ(threads.size(), size_t{kThreads + 1}) << "one identity per thread";
    EXPECT_EQ(threads.count(static_cast<uint32_t>(getpid())), 1u) << "the main thread's id";
    EXPECT_EQ(QvFreeMutex(&mutex), 0);
}

} // namespace
