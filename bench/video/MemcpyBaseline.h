#pragma once
// Frame filter timings as ratios to memcpy of one 768x576 RGB32 frame, measured in the same run,
// on frames of random bytes.

#include "bench/MemcpyRatio.h"
#include "kits/interface/FrameView.h"
#include "kits/interface/GraphicsDefs.h"
#include "kits/kernel/SupportDefs.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace video::bench {

constexpr int32 FRAME_WIDTH = 768;
constexpr int32 FRAME_LINES = 576;
constexpr size_t BASELINE_BYTES = size_t(FRAME_WIDTH) * FRAME_LINES * 4;

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

using benchmarks::ConfigureRatio;
using benchmarks::SpaceName;

// Each iteration runs prepare (not timed), then filter calls times (timed, divided by calls),
// then one memcpy of the 768x576 RGB32 baseline frame (timed); see benchmarks::TimeAgainstMemcpy.
template <typename Prepare, typename Filter>
void TimeAgainstMemcpy(
    benchmark::State& state, Prepare&& prepare, Filter&& filter, int32 calls = 1)
{
    benchmarks::TimeAgainstMemcpy(state, BASELINE_BYTES, prepare, filter, calls);
}

}
