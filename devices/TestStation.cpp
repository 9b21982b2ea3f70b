#include "devices/TestStation.h"

#include "devices/ChannelPlan.h"

namespace devices {

std::vector<TestStation> DefaultTestStations()
{
    struct Entry {
        const char* channel;
        const char* name;
        TestPattern pattern;
        bool subtitles;
    };
    static const Entry ENTRIES[] = {
        {"E5", "AURORA", TestPattern::COLOUR_BARS, false},
        {"E8", "BALTIC 2", TestPattern::RAINBOW, true},
        {"E10", "CITY TV", TestPattern::GRID, false},
        {"23", "DELTA NEWS", TestPattern::RINGS, true},
        {"31", "EASTWIND", TestPattern::CHECKERS, false},
        {"40", "FOXGLOVE", TestPattern::LANDSCAPE, true},
        {"55", "GRANITE 7", TestPattern::STRIPES, false},
    };
    std::vector<TestStation> stations;
    for (const Entry& entry : ENTRIES)
        stations.push_back({ChannelPlan::PositionOf(entry.channel), entry.name, entry.pattern,
            entry.subtitles});
    return stations;
}

}
