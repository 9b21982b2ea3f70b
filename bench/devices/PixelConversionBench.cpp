// What converting one captured 720x576 frame costs, for every implementation this CPU runs and
// through ConvertFrame itself, each as a ratio to memcpy of one 720x576 RGB32 frame timed in the
// same iteration (the counter "xMemcpy"); also a capture shown 768 pixels wide, and a JPEG frame
// of the test card decoded. The same buffers every call: the frame stays in cache.
//
// Target: ConvertFrame of YUYV, UYVY, NV12 and YU12 into B_RGB32 at most 1.5x memcpy on our
// build machines (which have AVX-512); JPEG decoding is reported, not held to a target.

#include "bench/MemcpyRatio.h"
#include "devices/PixelConversion.h"
#include "devices/PixelConversionPrivate.h"
#include "devices/TestPicture.h"
#include "devices/TestStation.h"

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <random>
#include <string>
#include <vector>

namespace devices::bench {
namespace {

constexpr int32 WIDTH = 720;
constexpr int32 LINES = 576;
constexpr size_t RGB32_BYTES = size_t(WIDTH) * LINES * 4;

using benchmarks::ConfigureRatio;
using benchmarks::SpaceName;

// Times convert() and one memcpy of a 720x576 RGB32 frame in every iteration.
template <typename Convert>
void TimeAgainstMemcpy(benchmark::State& state, Convert&& convert)
{
    benchmarks::TimeAgainstMemcpy(state, RGB32_BYTES, convert);
}

// A frame of random samples: the YUV conversions do the same work whatever the picture.
std::vector<uint8> RandomFrame(uint32 fourcc)
{
    const size_t bytes = fourcc == FOURCC_YUYV || fourcc == FOURCC_UYVY
        ? size_t(WIDTH) * LINES * 2
        : size_t(WIDTH) * LINES * 3 / 2;
    std::vector<uint8> frame(bytes);
    std::mt19937 random(fourcc);
    for (uint8& byte : frame)
        byte = uint8(random());
    return frame;
}

// A station of the test signal card, compressed as a capture card's JPEG frames are (4:2:2,
// quality 85).
std::vector<uint8> JpegFrame()
{
    std::vector<uint8> bgra(RGB32_BYTES);
    const FrameView frame{bgra.data(), WIDTH * 4, WIDTH, LINES, B_RGB32};
    TestPicture picture;
    if (picture.DrawStation(frame, DefaultTestStations()[4], {}, {0, 20000}) != B_OK)
        return {};
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    std::vector<uint8> bytes;
    if (tjCompress2(handle, bgra.data(), WIDTH, WIDTH * 4, LINES, TJPF_BGRA, &jpeg, &size,
            TJSAMP_422, 85, 0)
        == 0) {
        bytes.assign(jpeg, jpeg + size);
    }
    tjFree(jpeg);
    tjDestroy(handle);
    return bytes;
}

struct Case {
    const char* name;
    uint32 fourcc;
    color_space space;
};

constexpr Case CASES[] = {{"YUYV", FOURCC_YUYV, B_RGB32}, {"UYVY", FOURCC_UYVY, B_RGB32},
    {"NV12", FOURCC_NV12, B_RGB32}, {"YU12", FOURCC_YU12, B_RGB32}, {"YUYV", FOURCC_YUYV, B_RGB16},
    {"YUYV", FOURCC_YUYV, B_RGB15}, {"YUYV", FOURCC_YUYV, B_GRAY8},
    {"NV12", FOURCC_NV12, B_RGB16}};

const bool registered = [] {
    for (const Case& c : CASES) {
        const std::string prefix
            = std::string("Convert/") + c.name + "/" + SpaceName(c.space) + "/";
        std::vector<ConvertImplementation> implementations = ConvertImplementations();
        implementations.push_back({"ConvertFrame", nullptr});
        for (const ConvertImplementation& implementation : implementations) {
            const ConvertFunction function = implementation.function;
            ConfigureRatio(benchmark::RegisterBenchmark((prefix + implementation.name).c_str(),
                [c, function](benchmark::State& state) {
                    const std::vector<uint8> bytes = RandomFrame(c.fourcc);
                    std::vector<uint8> bits(size_t(WIDTH) * LINES * size_t(BytesPerPixel(c.space)));
                    const CapturedFrame frame {
                        bytes.data(), bytes.size(), c.fourcc, WIDTH, LINES, 0};
                    const TargetFrame target{bits.data(), WIDTH * BytesPerPixel(c.space), WIDTH,
                        LINES, c.space};
                    SourcePlanes planes;
                    if (LocatePlanes(frame, planes) != B_OK) {
                        state.SkipWithError("frame not readable");
                        return;
                    }
                    if (function == nullptr) {
                        TimeAgainstMemcpy(state, [&] {
                            benchmark::DoNotOptimize(ConvertFrame(frame, target));
                        });
                    } else {
                        TimeAgainstMemcpy(state, [&] { function(planes, target); });
                    }
                }));
        }
    }
    // A 720-pixel capture shown in the 768-pixel frame a 625-line picture is asked for.
    for (color_space space : {B_RGB32, B_RGB16}) {
        ConfigureRatio(benchmark::RegisterBenchmark(
            (std::string("Convert/YUYV/") + SpaceName(space) + "/To768/ConvertFrame").c_str(),
            [space](benchmark::State& state) {
                const std::vector<uint8> bytes = RandomFrame(FOURCC_YUYV);
                constexpr int32 SCALED_WIDTH = 768;
                std::vector<uint8> bits(size_t(SCALED_WIDTH) * LINES * size_t(BytesPerPixel(space)));
                const CapturedFrame frame{
                    bytes.data(), bytes.size(), FOURCC_YUYV, WIDTH, LINES, 0};
                const TargetFrame target{bits.data(), SCALED_WIDTH * BytesPerPixel(space),
                    SCALED_WIDTH, LINES, space};
                TimeAgainstMemcpy(state, [&] {
                    benchmark::DoNotOptimize(ConvertFrame(frame, target));
                });
            }));
    }
    for (color_space space : {B_RGB32, B_RGB16}) {
        ConfigureRatio(benchmark::RegisterBenchmark(
            (std::string("Convert/MJPEG/") + SpaceName(space) + "/ConvertFrame").c_str(),
            [space](benchmark::State& state) {
                const std::vector<uint8> jpeg = JpegFrame();
                if (jpeg.empty()) {
                    state.SkipWithError("no JPEG frame");
                    return;
                }
                std::vector<uint8> bits(size_t(WIDTH) * LINES * size_t(BytesPerPixel(space)));
                const CapturedFrame frame{jpeg.data(), jpeg.size(), FOURCC_MJPEG, WIDTH, LINES, 0};
                const TargetFrame target{bits.data(), WIDTH * BytesPerPixel(space), WIDTH, LINES,
                    space};
                TimeAgainstMemcpy(state, [&] {
                    if (ConvertFrame(frame, target) != B_OK)
                        state.SkipWithError("JPEG frame not decoded");
                });
                state.counters["jpegBytes"] = double(jpeg.size());
            }));
    }
    return true;
}();

}
}
