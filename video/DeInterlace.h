#pragma once
// DeInterlace: blends the two fields of an interlaced frame, in place.

#include "kits/interface/FrameView.h"

class BBitmap;

// Replaces every row by the average of itself and the row below, channel by channel (each halved,
// rounding down, then added), for B_GRAY8, B_RGB15, B_RGB16 and B_RGB32; the ignored top bits come
// out as zero. Rows go in groups of four, so the last three to six rows keep their values; a frame
// of six rows or fewer, of another colour space or not usable is left alone. Picks the fastest
// implementation this CPU runs on first use; every one gives the same bytes.
void DeInterlace(const FrameView& frame);

// The same on a frame bitmap, in place; a null or invalid bitmap is left alone.
void DeInterlace(BBitmap* bitmap);
