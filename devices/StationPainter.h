#pragma once
// StationPainter: the still picture of a test station, and where its parts lie.

#include "devices/RgbImage.h"
#include "devices/TestStation.h"
#include "kits/kernel/SupportDefs.h"

#include <string_view>
#include <utility>

namespace devices {

// Where the parts of a station's picture lie for one frame size; rows are [top, bottom).
struct StationLayout {
    StationLayout(int32 width, int32 lines);

    int32 width;
    int32 lines;
    // A calm two-colour band at the top: what the station scan measures lies in it.
    int32 headerBottom;
    // The station's name in large letters.
    int32 nameTop;
    int32 nameBottom;
    // The moving objects stay inside these rows, clear of the name and of the subtitle band.
    int32 motionTop;
    int32 motionBottom;
    // The band that a subtitle detector examines: from c - c/5 - c/20 to c - c/20 with
    // c = lines - 3. It and everything below it are painted in clearly coloured tones.
    int32 bandTop;
    int32 bandBottom;
    // The clock face, for the stations that show one.
    int32 clockX;
    int32 clockY;
    int32 clockRadius;
    int32 ballRadius;
    int32 barWidth;
};

// Which objects move over a pattern, and their colours before the picture controls.
struct StationMotion {
    bool sweepingBar = false;
    bool bouncingBall = false;
    bool clockHand = false;
    uint32 barColour = 0;
    uint32 ballColour = 0;
    uint32 handColour = 0;
};

class StationPainter {
public:
    // Paints everything of the station that stands still (background, name, clock face,
    // subtitles) over the whole image.
    static void Paint(const TestStation& station, RgbImage& image);
    static StationMotion MotionFor(TestPattern pattern);
    // The two subtitle lines a station shows, when it shows subtitles.
    static std::pair<std::string_view, std::string_view> SubtitleLines(
        const TestStation& station);
};

}
