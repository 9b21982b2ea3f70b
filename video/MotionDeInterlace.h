#pragma once
// MotionDeInterlace: weaves the two fields where the picture stands still and interpolates the
// later field where it moves, in place.

#include "kits/interface/FrameView.h"
#include "kits/kernel/SupportDefs.h"

#include <memory>

class BBitmap;

// Which field of a frame the camera took first.
enum FieldOrder : int32 {
    // The top field (rows 0, 2, 4 ...) first, then the bottom field: 625-line signals.
    FIELD_ORDER_TOP_FIRST = 0,
    // The bottom field (rows 1, 3, 5 ...) first: 525-line signals.
    FIELD_ORDER_BOTTOM_FIRST = 1,
};

// The field order of a signal of this many fields per second: bottom first at about 60 (525
// lines), top first at 50 (625 lines) and for a rate not known (0).
FieldOrder FieldOrderForRate(float fieldRate);

// What the filter carries from one frame to the next: the later field of the frame it saw last,
// and working rows. The owner keeps it while frames of one stream follow each other and drops the
// previous field (Drop) when frames go by unfiltered; a frame of another size, colour space or
// field order starts afresh, as does a fresh state. Not shared between threads.
struct MotionDeInterlaceState {
    // Forgets the previous frame, keeping the memory for the next one.
    void Drop() { hasPrevious = false; }

    // The frame the rows below belong to.
    int32 width = 0;
    int32 lines = 0;
    color_space colorSpace = B_NO_COLOR_SPACE;
    FieldOrder order = FIELD_ORDER_TOP_FIRST;
    // Whether previousField holds the later field of the last frame filtered.
    bool hasPrevious = false;
    // The later field's rows, each the frame's pixel bytes of a row without padding.
    std::unique_ptr<uint8[]> previousField;
    // Working rows of the fast paths.
    std::unique_ptr<uint8[]> scratch;
};

// For B_GRAY8, B_RGB15, B_RGB16 and B_RGB32 frames of two rows or more: compares each row of
// the later field with the same row of the previous frame. A pixel counts as moved where a
// channel changed by more than a sixteenth of its range, and a pixel of the later field is
// replaced where it or a neighbour (one pixel across, one row of its field up or down) moved: by
// the mean (each channel rounded down) of a pixel of the row above and one of the row below,
// which belong to the earlier field, taken along the edge through it: straight above and below,
// or diagonally across one pixel either way where that pair is closer in green (grey). At the top
// and bottom the one neighbouring row is taken. Elsewhere the frame keeps both fields untouched.
// With no previous frame, every row of the later field is interpolated. Other frames are left
// alone and drop the previous field; when the memory for the state cannot be had the frame is
// left alone too. Padding is never touched. Picks the fastest implementation this CPU runs on
// first use; every one gives the same bytes.
void MotionDeInterlace(const FrameView& frame, MotionDeInterlaceState& state, FieldOrder order);

// The same on a frame bitmap, in place; a null or invalid bitmap is left alone and drops the
// previous field.
void MotionDeInterlace(BBitmap* bitmap, MotionDeInterlaceState& state, FieldOrder order);
