#include "devices/ChannelPlan.h"

#include "devices/TestStation.h"

#include <gtest/gtest.h>

#include <set>

namespace devices::test {
namespace {

TEST(ChannelPlanTest, ListsBandsOneAndThreeThenTheUhfChannelsAndFindsEveryLabel)
{
    ASSERT_EQ(ChannelPlan::CountChannels(), 60);
    for (const auto& [position, label] :
        {std::pair{0, "E2"}, {3, "E5"}, {10, "E12"}, {11, "21"}, {59, "69"}, {-1, ""}, {60, ""}}) {
        EXPECT_EQ(ChannelPlan::LabelAt(position), label) << position;
    }
    for (int32 position = 0; position < ChannelPlan::CountChannels(); position++)
        EXPECT_EQ(ChannelPlan::PositionOf(ChannelPlan::LabelAt(position)), position);
    for (const char* label : {"E13", "70", ""})
        EXPECT_EQ(ChannelPlan::PositionOf(label), -1) << label;
}

TEST(ChannelPlanTest, DefaultStationsHaveDistinctNamesOnDistinctChannels)
{
    const std::vector<TestStation> stations = DefaultTestStations();
    std::set<std::string> names;
    std::set<int32> channels;
    int32 subtitled = 0;
    for (const TestStation& station : stations) {
        EXPECT_GE(station.channel, 0);
        EXPECT_LT(station.channel, ChannelPlan::CountChannels());
        EXPECT_FALSE(station.name.empty());
        EXPECT_NE(station.pattern, TestPattern::BLANK);
        names.insert(station.name);
        channels.insert(station.channel);
        subtitled += station.subtitles;
    }
    EXPECT_GE(stations.size(), 6u);
    EXPECT_EQ(names.size(), stations.size());
    EXPECT_EQ(channels.size(), stations.size());
    EXPECT_GE(subtitled, 2);
    EXPECT_EQ(stations[0].channel, ChannelPlan::PositionOf("E5"));
}

}
}
