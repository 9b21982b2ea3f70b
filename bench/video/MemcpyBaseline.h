#pragma once
// Frame filter timings as ratios to memcpy of one 768x576 RGB32 frame, measured in the same run.

#include "kits/interface/GraphicsDefs.h"
#include "kits/kernel/SupportDefs.h"
#include "video/FrameView.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

namespace video::bench {

constexpr int32 FRAME_WIDTH = 768;
constexpr int32 FRAME_LINES = 576;

// A 768x576 frame of random bytes in the given colour space, rows without padding.
class BenchFrame {
public:
    BenchFrame(color_space space, uint32 seed);

    const FrameView& View() const { return view; }
    std::vector<uint8>& Bytes() { return bytes; }

private:
    std::vector<uint8> bytes;
    FrameView view;
};

const char* SpaceName(color_space space);

// Copies the baseline frame once: the memcpy every ratio is taken against. The same two buffers
// every call, so the copy is as hot as the filters' frames.
void CopyBaselineFrame();

// The settings every ratio benchmark shares: manual time, repetitions reported as aggregates
// (the median is the figure to read), microseconds.
void ConfigureRatio(benchmark::internal::Benchmark* benchmark);

// Each iteration runs prepare (not timed), then filter calls times (timed, divided by calls),
// then one memcpy of the baseline frame (timed). Reports the filter's time and, as the counter
// "xMemcpy", the filter's total time over the memcpy's.
template <typename Prepare, typename Filter>
void TimeAgainstMemcpy(
    benchmark::State& state, Prepare&& prepare, Filter&& filter, int32 calls = 1)
{
    using Clock = std::chrono::steady_clock;
    double filterSeconds = 0;
    double memcpySeconds = 0;
    for (auto _ : state) {
        prepare();
        const Clock::time_point start = Clock::now();
        for (int32 i = 0; i < calls; i++)
            filter();
        benchmark::ClobberMemory();
        const Clock::time_point middle = Clock::now();
        CopyBaselineFrame();
        const Clock::time_point end = Clock::now();
        const double seconds = std::chrono::duration<double>(middle - start).count() / calls;
        state.SetIterationTime(seconds);
        filterSeconds += seconds;
        memcpySeconds += std::chrono::duration<double>(end - middle).count();
    }
    state.counters["xMemcpy"] = filterSeconds / memcpySeconds;
}

}
