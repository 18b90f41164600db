/* SPDX-License-Identifier: MIT */
// threads.h - for benchmarks of locks: the C library's mutex and the OS
// layer's skip their atomic instructions while the process has one thread,
// so lock costs are measured again once a second thread exists.
#pragma once

#include <benchmark/benchmark.h>

namespace qvbench {

// A benchmark Setup that starts one idle thread, once per process; cases
// registered after the single-threaded ones then run with two threads.
void BecomeMultiThreaded(const benchmark::State &);

} // namespace qvbench
