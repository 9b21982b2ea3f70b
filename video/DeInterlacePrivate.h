#pragma once
// The implementations behind DeInterlace, for tests and benchmarks.

#include "kits/interface/FrameView.h"
#include "kits/kernel/SupportDefs.h"

#include <vector>

namespace video {

// Each takes a frame for which IsUsable() holds and leaves other colour spaces alone.
using DeInterlaceFunction = void (*)(const FrameView& frame);

// The reference for one pixel format, defined for Gray8, Rgb15, Rgb16 and Rgb32: it defines the
// result, and the fast paths must match it byte for byte.
template <typename Format>
void DeInterlaceScalar(const FrameView& frame);

// DeInterlaceScalar for the frame's colour space.
void DeInterlaceReference(const FrameView& frame);

#if defined(__x86_64__)
void DeInterlaceSse2(const FrameView& frame);
// Only on a CPU with AVX2.
void DeInterlaceAvx2(const FrameView& frame);
#endif

// The mask clearing the lowest bit of every channel in a 32-bit word of pixels of this colour
// space; 0 for a space the filter does not handle.
uint32 DeInterlaceWordMask(color_space space);

// How many rows, from the top, a frame of this many lines gets blended.
int32 DeInterlacedRows(int32 lines);

struct DeInterlaceImplementation {
    const char* name;
    DeInterlaceFunction function;
};

// Every implementation this CPU runs, the reference first.
std::vector<DeInterlaceImplementation> DeInterlaceImplementations();

}
