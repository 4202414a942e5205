#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

// Benchmarks that time one event a repetition (a click, a key press, a
// frame) and report its spread: what a user feels is the slow tail, so the
// 95th percentile stands beside the mean and the median.
namespace bench {

inline double percentile95(const std::vector<double>& values)
{
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    return sorted[std::min(sorted.size() - 1, size_t(0.95 * double(sorted.size())))];
}

// `repetitions` repetitions of one iteration each, timed by the benchmark
// itself (SetIterationTime) in milliseconds; only the aggregates are shown.
inline void timeEachRepetition(benchmark::internal::Benchmark* benchmark, int repetitions)
{
    benchmark->UseManualTime()
        ->Iterations(1)
        ->Repetitions(repetitions)
        ->ComputeStatistics("p95", percentile95)
        ->ReportAggregatesOnly(true)
        ->Unit(benchmark::kMillisecond);
}

} // namespace bench
