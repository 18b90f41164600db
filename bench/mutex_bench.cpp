// mutex_bench.cpp - the OS layer's mutex, uncontended, as the store takes it
// (identity, acquire, identity, release), against a glibc mutex pair.
//
// Both locks skip their atomic instructions while the process has one
// thread, so each pair is measured twice: first single-threaded, then with
// an idle second thread alive, the case a store shared between threads is in.
#include <benchmark/benchmark.h>

#include <pthread.h>
#include <unistd.h>

#include <qv-os.h>

namespace {

void *Idle(void *)
{
    for (;;)
        pause();
    return nullptr;
}

// Registered after the single-threaded cases, so it runs after them.
void BecomeMultiThreaded(const benchmark::State &)
{
    static bool started = false;
    pthread_t thread;
    if (!started && pthread_create(&thread, nullptr, Idle, nullptr) == 0) {
        pthread_detach(thread);
        started = true;
    }
}

void BM_LockPairQv(benchmark::State &state)
{
    QvMutex mutex{};
    for (auto _ : state) {
        QvAcquireMutex(&mutex, QvGetThreadID());
        benchmark::ClobberMemory();
        QvReleaseMutex(&mutex, QvGetThreadID());
    }
}

void BM_LockPairPthread(benchmark::State &state)
{
    pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
    for (auto _ : state) {
        pthread_mutex_lock(&mutex);
        benchmark::ClobberMemory();
        pthread_mutex_unlock(&mutex);
    }
}

BENCHMARK(BM_LockPairQv)->Name("lock_pair:qv");
BENCHMARK(BM_LockPairPthread)->Name("lock_pair:pthread");
BENCHMARK(BM_LockPairQv)->Name("lock_pair_threaded:qv")->Setup(BecomeMultiThreaded);
BENCHMARK(BM_LockPairPthread)->Name("lock_pair_threaded:pthread")->Setup(BecomeMultiThreaded);

} // namespace
