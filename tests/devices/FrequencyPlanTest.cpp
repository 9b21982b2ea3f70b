#include "devices/FrequencyPlan.h"

#include "devices/ChannelPlan.h"
#include "devices/VideoStandard.h"

#include <gtest/gtest.h>

#include <set>

namespace devices::test {
namespace {

uint32 CarrierOf(const FrequencyPlan& plan, std::string_view name)
{
    const PlanChannel* channel = plan.ChannelAt(plan.PositionOf(name));
    return channel != nullptr ? channel->kilohertz : 0;
}

TEST(FrequencyPlanTest, PlansHaveThePublishedVisionCarriersAndNames)
{
    const FrequencyPlan& europe = FrequencyPlan::Europe();
    const FrequencyPlan& broadcast = FrequencyPlan::UsBroadcast();
    const FrequencyPlan& cable = FrequencyPlan::UsCable();
    const struct {
        const FrequencyPlan& plan;
        const char* name;
        uint32 carrier;
    } published[] = {{europe, "E2", 48250}, {europe, "E3", 55250}, {europe, "E4", 62250},
        {europe, "E5", 175250}, {europe, "E8", 196250}, {europe, "E12", 224250},
        {europe, "21", 471250}, {europe, "37", 599250}, {europe, "69", 855250},
        // The gap between channels 4 and 5 holds no channel.
        {broadcast, "2", 55250}, {broadcast, "4", 67250}, {broadcast, "5", 77250},
        {broadcast, "6", 83250}, {broadcast, "7", 175250}, {broadcast, "13", 211250},
        {broadcast, "14", 471250}, {broadcast, "69", 801250}, {broadcast, "1", 0},
        {broadcast, "70", 0}, {cable, "1", 73250}, {cable, "2", 55250}, {cable, "6", 83250},
        {cable, "7", 175250}, {cable, "13", 211250}, {cable, "14", 121250}, {cable, "22", 169250},
        {cable, "23", 217250}, {cable, "36", 295250}, {cable, "37", 301250}, {cable, "62", 451250},
        {cable, "63", 457250}, {cable, "94", 643250}, {cable, "95", 91250}, {cable, "99", 115250},
        {cable, "100", 649250}, {cable, "125", 799250}};
    for (const auto& entry : published)
        EXPECT_EQ(CarrierOf(entry.plan, entry.name), entry.carrier) << entry.name;
    // Europe lists the test card's channels; the US plans count from 2 and 1.
    EXPECT_EQ(europe.CountChannels(), ChannelPlan::CountChannels());
    ASSERT_EQ(broadcast.CountChannels(), 68);
    EXPECT_EQ(broadcast.ChannelAt(0)->name, "2");
    ASSERT_EQ(cable.CountChannels(), 125);
    for (int32 position = 0; position < 125; position++)
        EXPECT_EQ(cable.ChannelAt(position)->name, std::to_string(position + 1));
}

TEST(FrequencyPlanTest, StandardChoosesThePlan)
{
    const uint64 palBg = STANDARD_PAL_B | STANDARD_PAL_G;
    const struct {
        uint64 standard;
        bool cable;
        const FrequencyPlan& plan;
    } cases[] = {{palBg, false, FrequencyPlan::Europe()},
        {STANDARD_SECAM_L, true, FrequencyPlan::Europe()},
        {STANDARD_NTSC_M, false, FrequencyPlan::UsBroadcast()},
        {STANDARD_NTSC_M, true, FrequencyPlan::UsCable()},
        {STANDARD_PAL_M, false, FrequencyPlan::UsBroadcast()},
        {0, false, FrequencyPlan::Europe()}};
    for (const auto& entry : cases) {
        EXPECT_EQ(&FrequencyPlan::ForStandard(entry.standard, entry.cable), &entry.plan)
            << entry.standard << " " << entry.cable;
    }
    EXPECT_EQ(FrequencyPlan::UsCable().Name(), "US cable");
}

TEST(FrequencyPlanTest, NearestChannelOfATunedFrequency)
{
    const FrequencyPlan& europe = FrequencyPlan::Europe();
    const FrequencyPlan& cable = FrequencyPlan::UsCable();
    const struct {
        const FrequencyPlan& plan;
        uint32 kilohertz;
        const char* nearest;
    } cases[] = {{europe, 471250, "21"}, {europe, 474000, "21"}, {europe, 476000, "22"},
        // Exactly between 21 and 22: the lower one.
        {europe, 475250, "21"}, {europe, 0, "E2"}, {europe, 4000000000u, "69"},
        // In the cable plan the channel numbers do not follow the frequencies.
        {cable, 92000, "95"}, {cable, 118250, "99"}, {cable, 120000, "14"}, {cable, 73000, "1"}};
    for (const auto& entry : cases) {
        EXPECT_EQ(entry.plan.NearestChannel(entry.kilohertz), entry.plan.PositionOf(entry.nearest))
            << entry.kilohertz;
    }
}

TEST(FrequencyPlanTest, KilohertzToTunerUnitsAndBack)
{
    // Units of 62.5 kHz, or with lowUnits of 62.5 Hz (16 to the kHz); rounded to the nearest,
    // halves up.
    const struct {
        uint32 kilohertz;
        bool lowUnits;
        std::optional<uint32> units;
    } toUnits[] = {{48250, false, 772}, {855250, false, 13684}, {175250, false, 2804},
        {31, false, 0}, {32, false, 1}, {93, false, 1}, {94, false, 2}, {48250, true, 772000},
        // Frequencies whose 62.5 Hz count does not fit 32 bits.
        {268435455, true, 4294967280u}, {268435456, true, std::nullopt},
        {4294967295u, false, 68719477}};
    for (const auto& entry : toUnits) {
        EXPECT_EQ(KilohertzToTunerUnits(entry.kilohertz, entry.lowUnits), entry.units)
            << entry.kilohertz << " " << entry.lowUnits;
    }
    // More kHz than 32 bits hold stops at the largest that fits.
    const struct {
        uint32 units;
        bool lowUnits;
        uint32 kilohertz;
    } toKilohertz[] = {{772, false, 48250}, {1, false, 63}, {3, false, 188}, {772000, true, 48250},
        {7, true, 0}, {8, true, 1}, {68719476, false, 4294967250u},
        {4294967295u, false, 4294967295u}};
    for (const auto& entry : toKilohertz) {
        EXPECT_EQ(TunerUnitsToKilohertz(entry.units, entry.lowUnits), entry.kilohertz)
            << entry.units << " " << entry.lowUnits;
    }
}

TEST(FrequencyPlanTest, EveryChannelHasItsOwnCarrierAndNameAndSurvivesTheTunersUnits)
{
    for (const FrequencyPlan* plan :
        {&FrequencyPlan::Europe(), &FrequencyPlan::UsBroadcast(), &FrequencyPlan::UsCable()}) {
        SCOPED_TRACE(plan->Name());
        std::set<uint32> carriers;
        std::set<std::string> names;
        for (int32 position = 0; position < plan->CountChannels(); position++) {
            const uint32 carrier = plan->ChannelAt(position)->kilohertz;
            EXPECT_TRUE(carriers.insert(carrier).second);
            EXPECT_TRUE(names.insert(plan->ChannelAt(position)->name).second);
            for (bool lowUnits : {false, true}) {
                const std::optional<uint32> units = KilohertzToTunerUnits(carrier, lowUnits);
                ASSERT_TRUE(units.has_value());
                EXPECT_EQ(TunerUnitsToKilohertz(*units, lowUnits), carrier);
                EXPECT_EQ(plan->NearestChannel(TunerUnitsToKilohertz(*units, lowUnits)), position);
            }
        }
        EXPECT_EQ(plan->ChannelAt(-1), nullptr);
        EXPECT_EQ(plan->ChannelAt(plan->CountChannels()), nullptr);
    }
}

}
}
