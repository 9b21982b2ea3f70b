#pragma once
// Benchmark timings as ratios to memcpy of one RGB32 frame timed in the same run: the figure
// every frame-path benchmark reports (the counter "xMemcpy"; read the median of the repetitions).

#include "kits/interface/GraphicsDefs.h"
#include "kits/kernel/SupportDefs.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstddef>

namespace benchmarks {

// Copies `bytes` bytes between two buffers kept for the purpose: the memcpy a ratio is taken
// against. The same buffers every call, so the copy is as hot as the frames it is compared with.
void CopyBaseline(size_t bytes);

// The name of a colour space in benchmark names.
const char* SpaceName(color_space space);

// The settings every ratio benchmark shares: manual time, repetitions reported as aggregates,
// microseconds.
void ConfigureRatio(benchmark::internal::Benchmark* benchmark);

// Each iteration runs prepare (not timed), then work `calls` times (timed, divided by calls),
// then one memcpy of `baselineBytes` (timed). Reports the work's time and, as "xMemcpy", the
// work's total time over the memcpy's.
template <typename Prepare, typename Work>
void TimeAgainstMemcpy(benchmark::State& state, size_t baselineBytes, Prepare&& prepare,
    Work&& work, int32 calls = 1)
{
    using Clock = std::chrono::steady_clock;
    double workSeconds = 0;
    double memcpySeconds = 0;
    for (auto _ : state) {
        prepare();
        const Clock::time_point start = Clock::now();
        for (int32 i = 0; i < calls; i++)
            work();
        benchmark::ClobberMemory();
        const Clock::time_point middle = Clock::now();
        CopyBaseline(baselineBytes);
        const Clock::time_point end = Clock::now();
        const double seconds = std::chrono::duration<double>(middle - start).count() / calls;
        state.SetIterationTime(seconds);
        workSeconds += seconds;
        memcpySeconds += std::chrono::duration<double>(end - middle).count();
    }
    state.counters["xMemcpy"] = workSeconds / memcpySeconds;
}

// The same without preparation.
template <typename Work>
void TimeAgainstMemcpy(benchmark::State& state, size_t baselineBytes, Work&& work)
{
    TimeAgainstMemcpy(state, baselineBytes, [] {}, work);
}

}
