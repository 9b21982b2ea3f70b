// Lock order: the lock of the process-wide state is a leaf. The consumer calls in holding
// "renderSem" and its view's window lock; nothing is taken while it is held.

#include "video/SubtitleContrast.h"

#include "kits/interface/Bitmap.h"
#include "video/SubtitleContrastPrivate.h"

#include <algorithm>
#include <mutex>

namespace video {

namespace {

// The frame held subtitles if more than this many band pixels were white ...
constexpr uint64 MIN_WHITE_PIXELS = 2000;
// ... and more than this many times as many were dark.
constexpr uint64 DARK_PER_WHITE = 6;
// After a frame without subtitles a threshold this low is raised to RESET_THRESHOLD.
constexpr uint8 LOWEST_KEPT_THRESHOLD = 10;
constexpr uint8 RESET_THRESHOLD = 20;

}

template <typename Format>
void SubtitleContrastScalar(const FrameView& frame, SubtitleContrastState& state)
{
    using Pixel = typename Format::Pixel;
    using Layout = SubtitleLayout<Format>;
    SubtitleBand band;
    if (frame.colorSpace != Format::SPACE || !BeginSubtitleFrame(frame, state, band))
        return;
    const uint32 greenMask = band.active ? Layout::GREEN_MASK : Layout::COMPARE_MASK;
    SubtitleTally tally;
    for (int32 y = 0; y < band.rows; y++) {
        uint8* row = band.firstRow + int64(y) * band.bytesPerRow;
        for (int32 x = 0; x < band.width; x++) {
            uint8* address = row + size_t(x) * sizeof(Pixel);
            const Pixel pixel = LoadPixel<Pixel>(address);
            const uint32 green = (pixel >> Layout::GREEN_SHIFT) & greenMask;
            if (green >= band.threshold) {
                tally.lastBright = int32(green);
                const uint32 red = (pixel >> Layout::RED_SHIFT) & Layout::COMPARE_MASK;
                const uint32 blue = pixel & Layout::COMPARE_MASK;
                const uint32 compared = green & Layout::COMPARE_MASK;
                if (compared == red && compared == blue) {
                    tally.white++;
                    continue;
                }
            }
            if (band.active)
                StorePixel<Pixel>(address, Pixel((pixel & Format::HALVE_MASK) >> 1));
        }
    }
    EndSubtitleFrame(frame, band, tally, state);
}

template void SubtitleContrastScalar<Rgb15>(const FrameView&, SubtitleContrastState&);
template void SubtitleContrastScalar<Rgb16>(const FrameView&, SubtitleContrastState&);
template void SubtitleContrastScalar<Rgb32>(const FrameView&, SubtitleContrastState&);

void SubtitleContrastReference(const FrameView& frame, SubtitleContrastState& state)
{
    switch (frame.colorSpace) {
    case B_RGB15:
        return SubtitleContrastScalar<Rgb15>(frame, state);
    case B_RGB16:
        return SubtitleContrastScalar<Rgb16>(frame, state);
    case B_RGB32:
        return SubtitleContrastScalar<Rgb32>(frame, state);
    default:
        return;
    }
}

bool BeginSubtitleFrame(const FrameView& frame, SubtitleContrastState& state, SubtitleBand& band)
{
    const color_space space = frame.colorSpace;
    if ((space != B_RGB15 && space != B_RGB16 && space != B_RGB32) || !frame.IsUsable()
        || frame.lines < 3) {
        return false;
    }
    const bool eightBitGreen = space == B_RGB32;
    if (eightBitGreen != state.eightBitGreen) {
        state.threshold = eightBitGreen ? uint8(std::min(state.threshold * 8, 255))
                                        : uint8(state.threshold / 8);
        state.eightBitGreen = eightBitGreen;
    }
    // Where subtitles sit: about a fifth of the picture, ending a twentieth above its bottom.
    const int32 last = frame.lines - 3;
    const int32 start = last - last / 5 - last / 20;
    const int32 end = last - last / 20;
    band.firstRow = frame.Row(start);
    band.bytesPerRow = frame.bytesPerRow;
    band.width = frame.width;
    band.rows = end - start;
    band.active = state.active;
    band.threshold = state.threshold;
    return true;
}

void EndSubtitleFrame(const FrameView& frame, const SubtitleBand& band, const SubtitleTally& tally,
    SubtitleContrastState& state)
{
    const uint64 dark = uint64(band.width) * uint64(band.rows) - tally.white;
    if (tally.white > MIN_WHITE_PIXELS && dark > DARK_PER_WHITE * tally.white) {
        // Follow the text's brightness, a little below it so its darker edges still count.
        const int32 margin = frame.colorSpace == B_RGB32 ? 6 : 3;
        const int32 raised = tally.lastBright - margin;
        if (raised > int32(state.threshold))
            state.threshold = uint8(raised);
        state.active = true;
        return;
    }
    if (state.threshold < LOWEST_KEPT_THRESHOLD)
        state.threshold = RESET_THRESHOLD;
    if (state.active) {
        state.threshold--;
        state.active = false;
    }
}

std::vector<SubtitleContrastImplementation> SubtitleContrastImplementations()
{
    std::vector<SubtitleContrastImplementation> implementations{
        {"Scalar", SubtitleContrastReference}};
#if defined(__x86_64__)
    implementations.push_back({"Sse2", SubtitleContrastSse2});
    if (__builtin_cpu_supports("avx2"))
        implementations.push_back({"Avx2", SubtitleContrastAvx2});
#endif
    return implementations;
}

namespace {

SubtitleContrastFunction ChooseSubtitleContrast()
{
#if defined(__x86_64__)
    return __builtin_cpu_supports("avx2") ? SubtitleContrastAvx2 : SubtitleContrastSse2;
#else
    return SubtitleContrastReference;
#endif
}

// The process-wide state: from the first frame to the end of the process, for every caller.
struct SharedSubtitleState {
    std::mutex lock;
    SubtitleContrastState state; // Guarded by lock.
};

SharedSubtitleState& SharedState()
{
    static SharedSubtitleState shared;
    return shared;
}

}

}

void SubtitleContrast(const FrameView& frame, SubtitleContrastState& state)
{
    // Chosen once, on the first frame; the CPU does not change under a running process.
    static const video::SubtitleContrastFunction implementation = video::ChooseSubtitleContrast();
    implementation(frame, state);
}

void SubtitleContrast(const FrameView& frame)
{
    video::SharedSubtitleState& shared = video::SharedState();
    std::lock_guard guard(shared.lock);
    SubtitleContrast(frame, shared.state);
}

void SubtitleContrast(BBitmap* bitmap)
{
    if (bitmap == nullptr || !bitmap->IsValid())
        return;
    const BRect bounds = bitmap->Bounds();
    SubtitleContrast(FrameView{static_cast<uint8*>(bitmap->Bits()), bitmap->BytesPerRow(),
        bounds.IntegerWidth() + 1, bounds.IntegerHeight() + 1, bitmap->ColorSpace()});
}
