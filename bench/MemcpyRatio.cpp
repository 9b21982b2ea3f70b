#include "bench/MemcpyRatio.h"

#include <cstring>
#include <vector>

namespace benchmarks {

void CopyBaseline(size_t bytes)
{
    static std::vector<uint8> source;
    static std::vector<uint8> destination;
    if (source.size() < bytes) {
        source.assign(bytes, 0x55);
        destination.assign(bytes, 0);
    }
    std::memcpy(destination.data(), source.data(), bytes);
    benchmark::ClobberMemory();
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

void ConfigureRatio(benchmark::internal::Benchmark* benchmark)
{
    benchmark->UseManualTime()
        ->Unit(benchmark::kMicrosecond)
        ->MinTime(0.05)
        ->Repetitions(11)
        ->ReportAggregatesOnly(true);
}

}
