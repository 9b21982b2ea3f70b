// DrawBitmap 768x576 -> 800x600, and at the frame's own size as the viewer starts, per colour
// space and implementation, as a ratio to memcpy of the 768x576 RGB32 frame timed in the same run.
// Hot buffers: the same frame and target every call. Read the median of the repetitions.

#include "bench/MemcpyRatio.h"
#include "kits/interface/Bitmap.h"
#include "kits/interface/DrawBitmapPrivate.h"
#include "kits/interface/FrameBuffer.h"
#include "kits/interface/View.h"
#include "kits/interface/Window.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using kits::interface::PixelRect;
using kits::interface::TargetImage;

constexpr int32 FRAME_WIDTH = 768;
constexpr int32 FRAME_LINES = 576;
constexpr PixelRect SOURCE{0, 0, FRAME_WIDTH - 1, FRAME_LINES - 1};
constexpr PixelRect DESTINATION{0, 0, 799, 599};
constexpr PixelRect OWN_SIZE{0, 0, FRAME_WIDTH - 1, FRAME_LINES - 1};
constexpr size_t BASELINE_BYTES = size_t(FRAME_WIDTH) * FRAME_LINES * 4;

// Times draw() and one memcpy of the 768x576 RGB32 frame in every iteration.
template <typename Draw>
void TimeAgainstMemcpy(benchmark::State& state, Draw&& draw)
{
    benchmarks::TimeAgainstMemcpy(state, BASELINE_BYTES, draw);
}

BBitmap& Frame(color_space space)
{
    struct Frames {
        BBitmap gray8{BRect(0, 0, FRAME_WIDTH - 1, FRAME_LINES - 1), B_GRAY8};
        BBitmap rgb15{BRect(0, 0, FRAME_WIDTH - 1, FRAME_LINES - 1), B_RGB15};
        BBitmap rgb16{BRect(0, 0, FRAME_WIDTH - 1, FRAME_LINES - 1), B_RGB16};
        BBitmap rgb32{BRect(0, 0, FRAME_WIDTH - 1, FRAME_LINES - 1), B_RGB32};
        Frames()
        {
            std::mt19937 random(1);
            for (BBitmap* bitmap : {&gray8, &rgb15, &rgb16, &rgb32}) {
                auto* bits = static_cast<uint8*>(bitmap->Bits());
                for (int32 i = 0; i < bitmap->BitsLength(); i++)
                    bits[i] = uint8(random());
            }
        }
    };
    static Frames frames;
    switch (space) {
    case B_GRAY8:
        return frames.gray8;
    case B_RGB15:
        return frames.rgb15;
    case B_RGB16:
        return frames.rgb16;
    default:
        return frames.rgb32;
    }
}

void DrawKernel(benchmark::State& state, kits::interface::DrawBitmapFunction function,
    color_space space, PixelRect destination)
{
    const BBitmap& bitmap = Frame(space);
    const FrameView image{static_cast<uint8*>(bitmap.Bits()), bitmap.BytesPerRow(),
        FRAME_WIDTH, FRAME_LINES, space};
    // A frame buffer, aligned as the windows' are.
    kits::interface::FrameBuffer buffer;
    if (buffer.SetSize(destination.Width(), destination.Height(), 0) != B_OK) {
        state.SkipWithError("no memory for the target");
        return;
    }
    const TargetImage target{buffer.Pixels(), buffer.Width(), buffer.Width(), buffer.Height()};
    TimeAgainstMemcpy(state, [&] { function(image, SOURCE, target, destination, destination); });
}

// The whole call as the consumer makes it: clipping, a window frame buffer and the chosen kernel.
void DrawThroughView(benchmark::State& state)
{
    auto* window = new BWindow(BRect(0, 0, 799, 599), "bench", B_TITLED_WINDOW, 0);
    window->Lock();
    auto* view = new BView(BRect(0, 0, 799, 599), "video", B_FOLLOW_ALL, 0);
    window->AddChild(view);
    window->UpdateIfNeeded();
    const BBitmap& bitmap = Frame(B_RGB32);
    TimeAgainstMemcpy(state, [&] { view->DrawBitmap(&bitmap, view->Bounds()); });
    window->Quit();
}

void RegisterAll()
{
    for (const auto& implementation : kits::interface::DrawBitmapImplementations()) {
        for (const auto& [size, destination] :
            {std::pair{"800x600", DESTINATION}, std::pair{"768x576", OWN_SIZE}}) {
            for (color_space space : {B_GRAY8, B_RGB15, B_RGB16, B_RGB32}) {
                const std::string name = std::string("DrawBitmap768x576To") + size + "/"
                    + implementation.name + "/" + benchmarks::SpaceName(space);
                benchmarks::ConfigureRatio(benchmark::RegisterBenchmark(name.c_str(), DrawKernel,
                    implementation.function, space, destination));
            }
        }
    }
    benchmarks::ConfigureRatio(benchmark::RegisterBenchmark(
        "DrawBitmap768x576To800x600/BView/RGB32", DrawThroughView));
}

const bool registered = (RegisterAll(), true);

}
