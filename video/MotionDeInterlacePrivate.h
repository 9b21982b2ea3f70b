#pragma once
// The implementations behind MotionDeInterlace and what they share, for tests and benchmarks.

#include "kits/interface/FrameView.h"
#include "kits/kernel/SupportDefs.h"
#include "video/MotionDeInterlace.h"
#include "video/PixelFormat.h"

#include <vector>

namespace video {

// Each is the whole filter for any frame, as MotionDeInterlace describes.
using MotionDeInterlaceFunction
    = void (*)(const FrameView& frame, MotionDeInterlaceState& state, FieldOrder order);

// The reference for one pixel format, defined for Gray8, Rgb15, Rgb16 and Rgb32 (frames of other
// colour spaces are left alone): it defines the result, and the fast paths must match it byte for
// byte, in the frame and in the state they leave.
template <typename Format>
void MotionDeInterlaceScalar(
    const FrameView& frame, MotionDeInterlaceState& state, FieldOrder order);

// MotionDeInterlaceScalar for the frame's colour space.
void MotionDeInterlaceReference(
    const FrameView& frame, MotionDeInterlaceState& state, FieldOrder order);

#if defined(__x86_64__)
void MotionDeInterlaceSse2(
    const FrameView& frame, MotionDeInterlaceState& state, FieldOrder order);
// Only on a CPU with AVX2.
void MotionDeInterlaceAvx2(
    const FrameView& frame, MotionDeInterlaceState& state, FieldOrder order);
#endif

// One channel of a pixel: where it sits, and by how much it must change for the pixel to count
// as moved (a sixteenth of its 2^bits levels). KEY is the channel that stands for brightness
// when an edge is followed: green in colour.
struct MotionChannel {
    int shift;
    uint32 mask;
    uint32 threshold;
};

template <typename Format>
struct MotionLayout;

template <>
struct MotionLayout<Gray8> {
    static constexpr MotionChannel CHANNELS[] = {{0, 0xFF, 16}};
    static constexpr MotionChannel KEY = CHANNELS[0];
};

template <>
struct MotionLayout<Rgb15> {
    static constexpr MotionChannel CHANNELS[] = {{10, 0x1F, 2}, {5, 0x1F, 2}, {0, 0x1F, 2}};
    static constexpr MotionChannel KEY = CHANNELS[1];
};

template <>
struct MotionLayout<Rgb16> {
    static constexpr MotionChannel CHANNELS[] = {{11, 0x1F, 2}, {5, 0x3F, 4}, {0, 0x1F, 2}};
    static constexpr MotionChannel KEY = CHANNELS[1];
};

template <>
struct MotionLayout<Rgb32> {
    static constexpr MotionChannel CHANNELS[] = {{16, 0xFF, 16}, {8, 0xFF, 16}, {0, 0xFF, 16}};
    static constexpr MotionChannel KEY = CHANNELS[1];
};

// What one frame's pass works on, set up by BeginMotionFrame.
struct MotionFrame {
    // The frame row of the later field's first row: 1 when the top field comes first, else 0.
    int32 firstRow = 0;
    // Rows in the later field.
    int32 fieldRows = 0;
    // Pixel bytes in a row.
    int32 rowBytes = 0;
    // Whether previous holds the later field of the frame before; when not, every pixel of the
    // later field counts as moved.
    bool hasPrevious = false;
    // Row j of the previous later field is at previous + j * rowBytes; each is overwritten by
    // the same row of this frame, before that row is changed.
    uint8* previous = nullptr;
    // ScratchBytes(rowBytes) bytes for the fast paths.
    uint8* scratch = nullptr;
};

// Bytes the fast paths may need for working rows of a frame with rows of this many pixel bytes:
// three rows with SCRATCH_MARGIN bytes on either side, five more rows.
constexpr int32 SCRATCH_MARGIN = 32;
constexpr size_t ScratchBytes(int32 rowBytes)
{
    return size_t(rowBytes) * 8 + 6 * SCRATCH_MARGIN;
}

// Sets the state up for a frame (memory, and a fresh start when the frame differs from the one
// before) and describes the pass; false, with the previous field dropped, for a frame the filter
// leaves alone.
bool BeginMotionFrame(
    const FrameView& frame, MotionDeInterlaceState& state, FieldOrder order, MotionFrame& pass);

struct MotionDeInterlaceImplementation {
    const char* name;
    MotionDeInterlaceFunction function;
};

// Every implementation this CPU runs, the reference first.
std::vector<MotionDeInterlaceImplementation> MotionDeInterlaceImplementations();

}
