#pragma once
// TestStation: what the test signal card receives on one channel.

#include "kits/kernel/SupportDefs.h"

#include <string>
#include <vector>

namespace devices {

// The still background of a station; each also decides which objects move over it.
enum class TestPattern : int32 {
    COLOUR_BARS,
    RAINBOW,
    GRID,
    RINGS,
    CHECKERS,
    LANDSCAPE,
    STRIPES,
    // A transmitter sending black: a flat picture.
    BLANK,
};

struct TestStation {
    // Position of the channel in the ChannelPlan.
    int32 channel = 0;
    // Drawn in large letters; also tints the station's colours, so two stations with the same
    // pattern still differ.
    std::string name;
    TestPattern pattern = TestPattern::COLOUR_BARS;
    // Two lines of white text near the bottom of the picture.
    bool subtitles = false;

    bool operator==(const TestStation&) const = default;
};

// The stations the card receives unless told otherwise: seven on well-known channels, each with
// its own pattern, three of them with subtitles.
std::vector<TestStation> DefaultTestStations();

}
