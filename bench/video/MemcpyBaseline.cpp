#include "bench/video/MemcpyBaseline.h"

#include <random>

namespace video::bench {

namespace {

void Memcpy(benchmark::State& state)
{
    TimeAgainstMemcpy(state, [] {}, [] { benchmarks::CopyBaseline(BASELINE_BYTES); });
    state.SetBytesProcessed(int64(state.iterations()) * int64(BASELINE_BYTES));
}

const bool registered = [] {
    ConfigureRatio(benchmark::RegisterBenchmark("Memcpy/RGB32", Memcpy));
    return true;
}();

}

BenchFrame::BenchFrame(color_space space, uint32 seed)
    : bytes(size_t(FRAME_WIDTH) * BytesPerPixel(space) * FRAME_LINES),
      view{bytes.data(), FRAME_WIDTH * BytesPerPixel(space), FRAME_WIDTH, FRAME_LINES, space}
{
    std::mt19937 random(seed);
    for (uint8& byte : bytes)
        byte = uint8(random());
}

}
