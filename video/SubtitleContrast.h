#pragma once
// SubtitleContrast: makes subtitles near the bottom of a frame stand out, in place.

#include "kits/interface/FrameView.h"
#include "kits/kernel/SupportDefs.h"

class BBitmap;

// What the filter carries from one frame to the next.
struct SubtitleContrastState {
    // The previous frame held subtitles, so this one is darkened.
    bool active = true;
    // The green level below which a pixel counts as background.
    uint8 threshold = 0;
    // Whether threshold counts on the 8-bit green of B_RGB32 rather than on the 5-bit green the
    // 16-bit spaces compare; a frame of the other kind rescales it first, so that a threshold
    // from one kind never shuts out every pixel of the other.
    bool eightBitGreen = false;
};

// Looks at a band of rows above the bottom of a B_RGB15, B_RGB16 or B_RGB32 frame of three rows or
// more for bright colourless pixels (subtitle text) against mostly darker ones. While the previous
// frame held such text, halves every channel of every band pixel except the text; otherwise writes
// nothing. The threshold follows the brightness of the text seen. Other frames are left alone and
// do not change the state.
//
// This one keeps its state for the life of the process, shared by every caller and guarded by a
// lock of its own, so callers on different threads do not race on it.
void SubtitleContrast(const FrameView& frame);

// The same with the state the caller keeps. Picks the fastest implementation this CPU runs on
// first use; every one gives the same bytes and the same state.
void SubtitleContrast(const FrameView& frame, SubtitleContrastState& state);

// The first form on a frame bitmap, in place, with the state kept for the process; a null or
// invalid bitmap is left alone.
void SubtitleContrast(BBitmap* bitmap);
