// What a 768x576 frame of the test signal card costs: a station's frame (its still picture is
// kept, so a copy plus the moving objects), snow, and drawing a station's still picture anew, as
// after tuning or a control change. Each also as a ratio to memcpy of one 768x576 RGB32 frame
// timed in the same iteration (the counter "xMemcpy").

#include "bench/MemcpyRatio.h"
#include "devices/TestPicture.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace devices::bench {
namespace {

constexpr int32 WIDTH = 768;
constexpr int32 LINES = 576;
// A PAL frame and field period, in microseconds.
constexpr bigtime_t FRAME = 40000;
constexpr bigtime_t FIELD = 20000;

using benchmarks::ConfigureRatio;
using benchmarks::SpaceName;

// Times draw(iteration) and one memcpy of a 768x576 RGB32 frame in every iteration.
template <typename Draw>
void TimeAgainstMemcpy(benchmark::State& state, Draw&& draw)
{
    int64 iteration = 0;
    benchmarks::TimeAgainstMemcpy(
        state, size_t(WIDTH) * LINES * 4, [&] { draw(iteration++); });
}

const bool registered = [] {
    for (color_space space : {B_RGB32, B_RGB16, B_RGB15, B_GRAY8}) {
        const std::string name = SpaceName(space);
        ConfigureRatio(benchmark::RegisterBenchmark(("TestPicture/StationFrame/" + name).c_str(),
            [space](benchmark::State& state) {
                const int32 bytesPerRow = WIDTH * BytesPerPixel(space);
                std::vector<uint8> bits(size_t(bytesPerRow) * LINES);
                const FrameView frame{bits.data(), bytesPerRow, WIDTH, LINES, space};
                TestPicture picture;
                // The station with the most moving objects.
                const TestStation station = DefaultTestStations()[4];
                TimeAgainstMemcpy(state, [&](int64 iteration) {
                    const bigtime_t time = iteration * FRAME;
                    benchmark::DoNotOptimize(
                        picture.DrawStation(frame, station, {}, {time, time + FIELD}));
                });
            }));
        ConfigureRatio(benchmark::RegisterBenchmark(("TestPicture/Snow/" + name).c_str(),
            [space](benchmark::State& state) {
                const int32 bytesPerRow = WIDTH * BytesPerPixel(space);
                std::vector<uint8> bits(size_t(bytesPerRow) * LINES);
                const FrameView frame{bits.data(), bytesPerRow, WIDTH, LINES, space};
                TestPicture picture;
                TimeAgainstMemcpy(state, [&](int64 iteration) {
                    benchmark::DoNotOptimize(picture.DrawNoise(frame, {}, uint64(iteration)));
                });
            }));
    }
    ConfigureRatio(benchmark::RegisterBenchmark("TestPicture/StillPictureDrawnAnew/RGB32",
        [](benchmark::State& state) {
            std::vector<uint8> bits(size_t(WIDTH) * 4 * LINES);
            const FrameView frame{bits.data(), WIDTH * 4, WIDTH, LINES, B_RGB32};
            TestPicture picture;
            const std::vector<TestStation> stations = DefaultTestStations();
            TimeAgainstMemcpy(state, [&](int64 iteration) {
                // A brightness no earlier iteration used: the kept still pictures never match.
                PictureControls controls;
                controls.brightness = float(iteration % 200) / 8.0f;
                const TestStation& station = stations[size_t(iteration) % stations.size()];
                benchmark::DoNotOptimize(picture.DrawStation(frame, station, controls, {0, 0}));
            });
        }));
    return true;
}();

}
}
