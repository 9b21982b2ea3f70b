#include "bench/video/MemcpyBaseline.h"

#include <cstring>
#include <random>

namespace video::bench {

namespace {

constexpr size_t BASELINE_BYTES = size_t(FRAME_WIDTH) * FRAME_LINES * 4;

struct BaselineBuffers {
    std::vector<uint8> source = std::vector<uint8>(BASELINE_BYTES, 0x55);
    std::vector<uint8> destination = std::vector<uint8>(BASELINE_BYTES, 0);
};

BaselineBuffers& Baseline()
{
    static BaselineBuffers buffers;
    return buffers;
}

void Memcpy(benchmark::State& state)
{
    TimeAgainstMemcpy(state, [] {}, [] { CopyBaselineFrame(); });
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

const char* SpaceName(color_space space)
{
    switch (space) {
    case B_GRAY8:
        return "GRAY8";
    case B_RGB15:
        return "RGB15";
    case B_RGB16:
        return "RGB16";
    case B_RGB32:
        return "RGB32";
    default:
        return "other";
    }
}

void CopyBaselineFrame()
{
    BaselineBuffers& buffers = Baseline();
    std::memcpy(buffers.destination.data(), buffers.source.data(), BASELINE_BYTES);
    benchmark::ClobberMemory();
}

void ConfigureRatio(benchmark::internal::Benchmark* benchmark)
{
    benchmark->UseManualTime()
        ->Unit(benchmark::kMicrosecond)
        ->MinTime(0.05)
        ->Repetitions(11)
        ->ReportAggregatesOnly(true);
}

}
