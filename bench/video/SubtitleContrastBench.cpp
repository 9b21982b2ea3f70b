// SubtitleContrast on a 768x576 frame in each colour space it handles, active (darkening) and not
// active (reading only), each implementation this CPU runs.

#include "bench/video/MemcpyBaseline.h"
#include "video/SubtitleContrastPrivate.h"

#include <algorithm>
#include <random>
#include <string>

namespace video::bench {
namespace {

// The worst case: half the band colourless at random levels, half random colours, so about half
// the pixels are white in no pattern a branch predictor could learn.
void MixTextAndBackground(BenchFrame& frame)
{
    const FrameView& view = frame.View();
    std::mt19937 random(3);
    for (int32 y = 0; y < view.lines; y++) {
        for (int32 x = 0; x < view.width; x++) {
            if (random() % 2 == 0)
                continue;
            const uint32 level = random() % 256;
            uint8* pixel = view.Row(y) + size_t(x) * BytesPerPixel(view.colorSpace);
            if (view.colorSpace == B_RGB32) {
                pixel[0] = pixel[1] = pixel[2] = uint8(level);
            } else {
                const uint32 five = level >> 3;
                const uint32 value = view.colorSpace == B_RGB16
                    ? (five << 11) | (five << 6) | five
                    : (five << 10) | (five << 5) | five;
                pixel[0] = uint8(value);
                pixel[1] = uint8(value >> 8);
            }
        }
    }
}

const bool registered = [] {
    for (color_space space : {B_RGB15, B_RGB16, B_RGB32}) {
        for (bool active : {true, false}) {
            for (const SubtitleContrastImplementation& implementation :
                SubtitleContrastImplementations()) {
                const std::string name = std::string("SubtitleContrast/") + SpaceName(space)
                    + (active ? "/Active/" : "/NotActive/") + implementation.name;
                const SubtitleContrastFunction function = implementation.function;
                ConfigureRatio(benchmark::RegisterBenchmark(name.c_str(),
                    [space, active, function](benchmark::State& state) {
                        BenchFrame frame(space, 4);
                        MixTextAndBackground(frame);
                        const std::vector<uint8> original = frame.Bytes();
                        const bool eightBitGreen = space == B_RGB32;
                        const SubtitleContrastState start{
                            active, uint8(eightBitGreen ? 128 : 16), eightBitGreen};
                        SubtitleContrastState filterState = start;
                        // Every call sees the same frame from the same state.
                        TimeAgainstMemcpy(
                            state,
                            [&] {
                                std::copy(original.begin(), original.end(), frame.Bytes().begin());
                                filterState = start;
                            },
                            [&] { function(frame.View(), filterState); });
                    }));
            }
        }
    }
    return true;
}();

}
}
