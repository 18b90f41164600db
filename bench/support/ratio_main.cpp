// SPDX-License-Identifier: MIT
// ratio_main.cpp - main() for the benchmark programs.  Runs the registered
// benchmarks as usual, then prints, for every benchmark named
// "<case>:qv<rest>", the ratio of its time to each "<case>:<peer><rest>",
// so that a run reads as "qv is N times the peer's time".  On a noisy
// machine, run with --benchmark_repetitions=5 and, but for programs with
// "_threaded" cases (which must run last), with
// --benchmark_enable_random_interleaving=true: each ratio is then one of
// medians, the repetitions of both sides interleaved.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        // With --benchmark_repetitions the median of the repetitions stands
        // for the case; it is reported after them, so it overwrites them.
        for (const Run &run : runs) {
            if (run.error_occurred)
                continue;
            if (run.run_type == Run::RT_Iteration)
                times_[run.benchmark_name()] = run.GetAdjustedRealTime();
            else if (run.aggregate_name == "median")
                times_[run.run_name.str()] = run.GetAdjustedRealTime();
        }
    }

    void PrintRatios() const
    {
        std::printf("\n%-48s %10s\n", "qv time / peer time", "ratio");
        for (const auto &[name, qvTime] : times_) {
            size_t colon = name.find(':');
            if (colon == std::string::npos || name.compare(colon + 1, 2, "qv") != 0)
                continue;
            std::string scenario = name.substr(0, colon);
            std::string rest = name.substr(colon + 3);
            for (const auto &[other, peerTime] : times_) {
                size_t c = other.find(':');
                if (other == name || c == std::string::npos || other.substr(0, c) != scenario)
                    continue;
                std::string peer = other.substr(c + 1);
                if (peer.size() < rest.size() || peer.compare(peer.size() - rest.size(), rest.size(), rest) != 0)
                    continue;
                std::string label = scenario + rest + " vs " + peer.substr(0, peer.size() - rest.size());
                std::printf("%-48s %10.2f\n", label.c_str(), qvTime / peerTime);
            }
        }
    }

private:
    std::map<std::string, double> times_;
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
