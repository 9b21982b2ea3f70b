#pragma once
// The implementations behind SubtitleContrast and what they share, for tests and benchmarks.

#include "kits/interface/FrameView.h"
#include "kits/kernel/SupportDefs.h"
#include "video/PixelFormat.h"
#include "video/SubtitleContrast.h"

#include <vector>

namespace video {

// Each is the whole filter for any frame, as SubtitleContrast(frame, state) describes.
using SubtitleContrastFunction = void (*)(const FrameView& frame, SubtitleContrastState& state);

// The reference for one pixel format, defined for Rgb15, Rgb16 and Rgb32 (frames of other colour
// spaces are left alone): it defines the result, and the fast paths must match it byte for byte
// and in the state they leave.
template <typename Format>
void SubtitleContrastScalar(const FrameView& frame, SubtitleContrastState& state);

// SubtitleContrastScalar for the frame's colour space.
void SubtitleContrastReference(const FrameView& frame, SubtitleContrastState& state);

#if defined(__x86_64__)
void SubtitleContrastSse2(const FrameView& frame, SubtitleContrastState& state);
// Only on a CPU with AVX2.
void SubtitleContrastAvx2(const FrameView& frame, SubtitleContrastState& state);
#endif

// Where each colour space keeps the channels the filter compares. Green is compared at
// GREEN_MASK precision while active and at COMPARE_MASK precision otherwise; red, blue and the
// green they are matched with always at COMPARE_MASK precision.
template <typename Format>
struct SubtitleLayout;

template <>
struct SubtitleLayout<Rgb15> {
    static constexpr int GREEN_SHIFT = 5;
    static constexpr int RED_SHIFT = 10;
    static constexpr uint32 GREEN_MASK = 0x1F;
    static constexpr uint32 COMPARE_MASK = 0x1E;
};

template <>
struct SubtitleLayout<Rgb16> {
    static constexpr int GREEN_SHIFT = 6;
    static constexpr int RED_SHIFT = 11;
    static constexpr uint32 GREEN_MASK = 0x1F;
    static constexpr uint32 COMPARE_MASK = 0x1E;
};

template <>
struct SubtitleLayout<Rgb32> {
    static constexpr int GREEN_SHIFT = 8;
    static constexpr int RED_SHIFT = 16;
    static constexpr uint32 GREEN_MASK = 0xFF;
    static constexpr uint32 COMPARE_MASK = 0xFE;
};

// The rows one frame's pass walks and what it compares with.
struct SubtitleBand {
    uint8* firstRow = nullptr;
    int32 bytesPerRow = 0;
    // Pixels in a row.
    int32 width = 0;
    int32 rows = 0;
    // Whether dark pixels are darkened; the state's values when the frame began.
    bool active = false;
    uint8 threshold = 0;
};

// What a pass over the band found.
struct SubtitleTally {
    uint64 white = 0;
    // The green value of the last pixel in scan order that reached the threshold; -1 for none.
    int32 lastBright = -1;
};

// Finds the band of a frame the filter handles and brings the threshold to the frame's green
// scale; false, with nothing changed, for a frame the filter leaves alone.
bool BeginSubtitleFrame(const FrameView& frame, SubtitleContrastState& state, SubtitleBand& band);

// Decides from the pass over the band whether the frame held subtitles, and updates the state.
void EndSubtitleFrame(const FrameView& frame, const SubtitleBand& band, const SubtitleTally& tally,
    SubtitleContrastState& state);

struct SubtitleContrastImplementation {
    const char* name;
    SubtitleContrastFunction function;
};

// Every implementation this CPU runs, the reference first.
std::vector<SubtitleContrastImplementation> SubtitleContrastImplementations();

}
