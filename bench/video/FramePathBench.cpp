// The consumer's whole frame path for one 768x576 frame in each colour space: line contrast,
// subtitle contrast while active, de-interlace (the line blend, or the motion-adaptive filter on
// two unrelated frames in turn, so every pixel has moved), and the nearest-pixel draw into an
// 800x600 view (the retrace wait left out), as a ratio to memcpy of the 768x576 RGB32 frame in
// the same run. Hot buffers: the frame is restored from a copy before every pass, untimed. Read
// the median.

#include "bench/video/MemcpyBaseline.h"
#include "kits/interface/Bitmap.h"
#include "kits/interface/View.h"
#include "kits/interface/Window.h"
#include "video/DeInterlace.h"
#include "video/FindContrast.h"
#include "video/MotionDeInterlace.h"
#include "video/SubtitleContrast.h"
#include "video/VideoConsumer.h"

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace video::bench {
namespace {

constexpr int32 VIEW_WIDTH = 800;
constexpr int32 VIEW_HEIGHT = 600;

// Random pixels, every other one (at random) made colourless, so the subtitle pass finds as many
// white pixels as dark ones in no pattern a branch predictor could learn.
std::vector<uint8> MakeFrame(color_space space, int32 bytesPerRow, uint32 seed)
{
    const int32 pixelBytes = BytesPerPixel(space);
    std::vector<uint8> bytes(size_t(bytesPerRow) * FRAME_LINES);
    std::mt19937 random(seed);
    for (uint8& byte : bytes)
        byte = uint8(random());
    for (int32 y = 0; y < FRAME_LINES; y++) {
        for (int32 x = 0; x < FRAME_WIDTH; x++) {
            if (random() % 2 == 0)
                continue;
            const uint32 level = random() % 256;
            const uint32 five = level >> 3;
            uint32 value = level;
            if (space == B_RGB32)
                value = level << 16 | level << 8 | level;
            else if (space == B_RGB16)
                value = five << 11 | five << 6 | five;
            else if (space == B_RGB15)
                value = five << 10 | five << 5 | five;
            std::memcpy(&bytes[size_t(y) * bytesPerRow + size_t(x) * pixelBytes], &value,
                size_t(pixelBytes));
        }
    }
    return bytes;
}

FrameView ViewOf(const BBitmap& bitmap)
{
    return {static_cast<uint8*>(bitmap.Bits()), bitmap.BytesPerRow(), FRAME_WIDTH, FRAME_LINES,
        bitmap.ColorSpace()};
}

void WholeFramePath(benchmark::State& state, color_space space, bool motion)
{
    BBitmap bitmap(BRect(0, 0, FRAME_WIDTH - 1, FRAME_LINES - 1), space, false, true);
    if (!bitmap.IsValid()) {
        state.SkipWithError("no bitmap");
        return;
    }
    const std::vector<uint8> frames[2]
        = {MakeFrame(space, bitmap.BytesPerRow(), 7), MakeFrame(space, bitmap.BytesPerRow(), 8)};
    int32 next = 0;
    // Never shown, so drawing is not presented: the present is measured apart from our code.
    auto* window = new BWindow(
        BRect(0, 0, VIEW_WIDTH - 1, VIEW_HEIGHT - 1), "Frame path", B_TITLED_WINDOW, 0);
    auto* view = new BView(BRect(0, 0, VIEW_WIDTH - 1, VIEW_HEIGHT - 1), "TV", B_FOLLOW_ALL, 0);
    window->AddChild(view);
    window->Lock();
    const BRect destination = VideoConsumer::DestinationFor(view->Bounds());
    SubtitleContrastState subtitles;
    MotionDeInterlaceState fields;

    TimeAgainstMemcpy(
        state,
        [&] {
            const std::vector<uint8>& frame = frames[next];
            std::memcpy(bitmap.Bits(), frame.data(), frame.size());
            next = motion ? next ^ 1 : 0;
            subtitles = SubtitleContrastState();
        },
        [&] {
            benchmark::DoNotOptimize(FindContrast(&bitmap));
            // The consumer's call keeps the state for the process; this one is held active.
            SubtitleContrast(ViewOf(bitmap), subtitles);
            if (motion)
                MotionDeInterlace(&bitmap, fields, FIELD_ORDER_TOP_FIRST);
            else
                DeInterlace(&bitmap);
            view->DrawBitmap(&bitmap, destination);
        });
    // A window that never ran is deleted by Quit at once.
    window->Quit();
}

const bool registered = [] {
    for (color_space space : {B_GRAY8, B_RGB15, B_RGB16, B_RGB32}) {
        for (bool motion : {false, true}) {
            const std::string name = std::string("FramePath/") + SpaceName(space) + "/800x600"
                + (motion ? "/Motion" : "");
            ConfigureRatio(benchmark::RegisterBenchmark(
                name.c_str(), [space, motion](benchmark::State& state) {
                    WholeFramePath(state, space, motion);
                }));
        }
    }
    return true;
}();

}
}
