// SPDX-License-Identifier: MIT
// mutex_bench.cpp - the OS layer's mutex, uncontended, against a glibc
// mutex pair: the acquire and release alone, and the whole protocol a store
// runs (identity, acquire, identity, release).
//
// Both locks skip their atomic instructions while the process has one
// thread, so each pair is measured twice: first single-threaded, then with
// an idle second thread alive, the case a store shared between threads is in.
#include <benchmark/benchmark.h>

#include <cstdint>

#include <pthread.h>

#include <qv-os.h>

#include "threads.h"

namespace {

void BM_LockPairQv(benchmark::State &state)
{
    QvMutex mutex{};
    uint32_t self = QvGetThreadID();
    for (auto _ : state) {
        QvAcquireMutex(&mutex, self);
        benchmark::ClobberMemory();
        QvReleaseMutex(&mutex, self);
    }
}

void BM_LockProtocolQv(benchmark::State &state)
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

// Every case against the same glibc pair; lock_protocol adds the identity
// calls the store makes around its acquire and release.
BENCHMARK(BM_LockPairQv)->Name("lock_pair:qv");
BENCHMARK(BM_LockPairPthread)->Name("lock_pair:pthread");
BENCHMARK(BM_LockProtocolQv)->Name("lock_protocol:qv");
BENCHMARK(BM_LockPairPthread)->Name("lock_protocol:pthread");
BENCHMARK(BM_LockPairQv)->Name("lock_pair_threaded:qv")->Setup(qvbench::BecomeMultiThreaded);
BENCHMARK(BM_LockPairPthread)->Name("lock_pair_threaded:pthread")->Setup(qvbench::BecomeMultiThreaded);
BENCHMARK(BM_LockProtocolQv)->Name("lock_protocol_threaded:qv")->Setup(qvbench::BecomeMultiThreaded);
BENCHMARK(BM_LockPairPthread)->Name("lock_protocol_threaded:pthread")->Setup(qvbench::BecomeMultiThreaded);

} // namespace
