#pragma once
// TestPicture: draws what the test signal card captures, a station's picture or snow.

#include "devices/ColourProcessor.h"
#include "kits/interface/FrameView.h"
#include "devices/PictureControls.h"
#include "devices/TestStation.h"
#include "kits/kernel/SupportDefs.h"

#include <memory>
#include <optional>
#include <vector>

namespace devices {

constexpr int32 MAX_PICTURE_WIDTH = 1920;
constexpr int32 MAX_PICTURE_LINES = 1080;

// When each field of a frame was captured, in microseconds: the even lines (0, 2, 4 ...) show the
// picture at evenLines, the odd ones at oddLines. Equal times give a progressive frame.
struct FieldTimes {
    bigtime_t evenLines = 0;
    bigtime_t oddLines = 0;
};

// Draws frames of 1x1 up to MAX_PICTURE_WIDTH x MAX_PICTURE_LINES pixels in B_RGB32, B_RGB16,
// B_RGB15 or B_GRAY8, writing exactly the width pixels of each row (row padding is left as it
// was). A station's still parts are drawn once per station, size, colour space and controls and
// kept (the last few are), so a frame costs one copy plus its moving objects; snow comes from a
// fast generator. Not thread-safe: one owner thread calls it.
class TestPicture {
public:
    TestPicture();
    ~TestPicture();

    // The station's picture with its objects where they were at each field's time. B_BAD_VALUE
    // for a frame it cannot draw into, B_NO_MEMORY when the still picture cannot be kept; the
    // frame is then left as it was.
    [[nodiscard]] status_t DrawStation(const FrameView& frame, const TestStation& station,
        const PictureControls& controls, FieldTimes times);
    // Snow: grey levels that differ with every seed; brightness, contrast and gamma apply.
    [[nodiscard]] status_t DrawNoise(const FrameView& frame, const PictureControls& controls,
        uint64 seed);

private:
    struct Still;

    const ColourProcessor& ProcessorFor(const PictureControls& controls, color_space space);
    [[nodiscard]] status_t FindStill(const FrameView& frame, const TestStation& station,
        const PictureControls& controls, const Still*& still);

    std::vector<std::unique_ptr<Still>> stills;
    uint64 useCount = 0;
    std::optional<ColourProcessor> processor;
    PictureControls processorControls;
    color_space processorSpace = B_NO_COLOR_SPACE;
};

}
