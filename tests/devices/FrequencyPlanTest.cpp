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

TEST(FrequencyPlanTest, EuropeHasThePublishedVisionCarriers)
{
    const FrequencyPlan& plan = FrequencyPlan::Europe();
    EXPECT_EQ(CarrierOf(plan, "E2"), 48250u);
    EXPECT_EQ(CarrierOf(plan, "E3"), 55250u);
    EXPECT_EQ(CarrierOf(plan, "E4"), 62250u);
    EXPECT_EQ(CarrierOf(plan, "E5"), 175250u);
    EXPECT_EQ(CarrierOf(plan, "E8"), 196250u);
    EXPECT_EQ(CarrierOf(plan, "E12"), 224250u);
    EXPECT_EQ(CarrierOf(plan, "21"), 471250u);
    EXPECT_EQ(CarrierOf(plan, "37"), 599250u);
    EXPECT_EQ(CarrierOf(plan, "69"), 855250u);
}

TEST(FrequencyPlanTest, EuropeListsTheTestCardsChannelsInItsOrder)
{
    const FrequencyPlan& plan = FrequencyPlan::Europe();
    ASSERT_EQ(plan.CountChannels(), ChannelPlan::CountChannels());
    for (int32 position = 0; position < plan.CountChannels(); position++)
        EXPECT_EQ(plan.ChannelAt(position)->name, ChannelPlan::LabelAt(position));
}

TEST(FrequencyPlanTest, UsBroadcastHasThePublishedVisionCarriers)
{
    const FrequencyPlan& plan = FrequencyPlan::UsBroadcast();
    ASSERT_EQ(plan.CountChannels(), 68);
    EXPECT_EQ(plan.ChannelAt(0)->name, "2");
    EXPECT_EQ(CarrierOf(plan, "2"), 55250u);
    EXPECT_EQ(CarrierOf(plan, "4"), 67250u);
    // The gap between channels 4 and 5 holds no channel.
    EXPECT_EQ(CarrierOf(plan, "5"), 77250u);
    EXPECT_EQ(CarrierOf(plan, "6"), 83250u);
    EXPECT_EQ(CarrierOf(plan, "7"), 175250u);
    EXPECT_EQ(CarrierOf(plan, "13"), 211250u);
    EXPECT_EQ(CarrierOf(plan, "14"), 471250u);
    EXPECT_EQ(CarrierOf(plan, "69"), 801250u);
    EXPECT_EQ(plan.PositionOf("1"), -1);
    EXPECT_EQ(plan.PositionOf("70"), -1);
}

TEST(FrequencyPlanTest, UsCableHasThePublishedVisionCarriers)
{
    const FrequencyPlan& plan = FrequencyPlan::UsCable();
    ASSERT_EQ(plan.CountChannels(), 125);
    for (int32 position = 0; position < 125; position++)
        EXPECT_EQ(plan.ChannelAt(position)->name, std::to_string(position + 1));
    const std::pair<const char*, uint32> published[] = {{"1", 73250}, {"2", 55250},
        {"6", 83250}, {"7", 175250}, {"13", 211250}, {"14", 121250}, {"22", 169250},
        {"23", 217250}, {"36", 295250}, {"37", 301250}, {"62", 451250}, {"63", 457250},
        {"94", 643250}, {"95", 91250}, {"99", 115250}, {"100", 649250}, {"125", 799250}};
    for (const auto& [name, carrier] : published)
        EXPECT_EQ(CarrierOf(plan, name), carrier) << name;
}

TEST(FrequencyPlanTest, NoPlanHasTwoChannelsOnOneCarrierOrOneName)
{
    for (const FrequencyPlan* plan :
        {&FrequencyPlan::Europe(), &FrequencyPlan::UsBroadcast(), &FrequencyPlan::UsCable()}) {
        std::set<uint32> carriers;
        std::set<std::string> names;
        for (int32 position = 0; position < plan->CountChannels(); position++) {
            EXPECT_TRUE(carriers.insert(plan->ChannelAt(position)->kilohertz).second);
            EXPECT_TRUE(names.insert(plan->ChannelAt(position)->name).second);
        }
        EXPECT_EQ(plan->ChannelAt(-1), nullptr);
        EXPECT_EQ(plan->ChannelAt(plan->CountChannels()), nullptr);
    }
}

TEST(FrequencyPlanTest, StandardChoosesThePlan)
{
    const uint64 palBg = STANDARD_PAL_B | STANDARD_PAL_G;
    EXPECT_EQ(&FrequencyPlan::ForStandard(palBg, false), &FrequencyPlan::Europe());
    EXPECT_EQ(&FrequencyPlan::ForStandard(STANDARD_SECAM_L, true), &FrequencyPlan::Europe());
    EXPECT_EQ(&FrequencyPlan::ForStandard(STANDARD_NTSC_M, false), &FrequencyPlan::UsBroadcast());
    EXPECT_EQ(&FrequencyPlan::ForStandard(STANDARD_NTSC_M, true), &FrequencyPlan::UsCable());
    EXPECT_EQ(&FrequencyPlan::ForStandard(STANDARD_PAL_M, false), &FrequencyPlan::UsBroadcast());
    EXPECT_EQ(&FrequencyPlan::ForStandard(0, false), &FrequencyPlan::Europe());
    EXPECT_EQ(FrequencyPlan::UsCable().Name(), "US cable");
}

TEST(FrequencyPlanTest, NearestChannelOfATunedFrequency)
{
    const FrequencyPlan& europe = FrequencyPlan::Europe();
    EXPECT_EQ(europe.NearestChannel(471250), europe.PositionOf("21"));
    EXPECT_EQ(europe.NearestChannel(474000), europe.PositionOf("21"));
    EXPECT_EQ(europe.NearestChannel(476000), europe.PositionOf("22"));
    // Exactly between 21 and 22: the lower one.
    EXPECT_EQ(europe.NearestChannel(475250), europe.PositionOf("21"));
    EXPECT_EQ(europe.NearestChannel(0), europe.PositionOf("E2"));
    EXPECT_EQ(europe.NearestChannel(4000000000u), europe.PositionOf("69"));
    // In the cable plan the channel numbers do not follow the frequencies.
    const FrequencyPlan& cable = FrequencyPlan::UsCable();
    EXPECT_EQ(cable.NearestChannel(92000), cable.PositionOf("95"));
    EXPECT_EQ(cable.NearestChannel(118250), cable.PositionOf("99"));
    EXPECT_EQ(cable.NearestChannel(120000), cable.PositionOf("14"));
    EXPECT_EQ(cable.NearestChannel(73000), cable.PositionOf("1"));
}

TEST(FrequencyPlanTest, KilohertzToTunerUnitsAndBack)
{
    // 62.5 kHz units: E2 is 48.25 MHz x 16.
    EXPECT_EQ(KilohertzToTunerUnits(48250, false), 772u);
    EXPECT_EQ(KilohertzToTunerUnits(855250, false), 13684u);
    EXPECT_EQ(KilohertzToTunerUnits(175250, false), 2804u);
    // Rounded to the nearest unit, halves up: 31.25 kHz is half a unit.
    EXPECT_EQ(KilohertzToTunerUnits(31, false), 0u);
    EXPECT_EQ(KilohertzToTunerUnits(32, false), 1u);
    EXPECT_EQ(KilohertzToTunerUnits(93, false), 1u);
    EXPECT_EQ(KilohertzToTunerUnits(94, false), 2u);
    EXPECT_EQ(TunerUnitsToKilohertz(772, false), 48250u);
    EXPECT_EQ(TunerUnitsToKilohertz(1, false), 63u);
    EXPECT_EQ(TunerUnitsToKilohertz(3, false), 188u);
    // 62.5 Hz units: 16 to the kHz.
    EXPECT_EQ(KilohertzToTunerUnits(48250, true), 772000u);
    EXPECT_EQ(TunerUnitsToKilohertz(772000, true), 48250u);
    EXPECT_EQ(TunerUnitsToKilohertz(7, true), 0u);
    EXPECT_EQ(TunerUnitsToKilohertz(8, true), 1u);
    // Frequencies whose 62.5 Hz count does not fit 32 bits.
    EXPECT_EQ(KilohertzToTunerUnits(268435455, true), 4294967280u);
    EXPECT_FALSE(KilohertzToTunerUnits(268435456, true).has_value());
    EXPECT_EQ(KilohertzToTunerUnits(4294967295u, false), 68719477u);
    // More kHz than 32 bits hold stops at the largest that fits.
    EXPECT_EQ(TunerUnitsToKilohertz(68719476, false), 4294967250u);
    EXPECT_EQ(TunerUnitsToKilohertz(4294967295u, false), 4294967295u);
}

TEST(FrequencyPlanTest, EveryCarrierSurvivesTheTunersUnits)
{
    for (const FrequencyPlan* plan :
        {&FrequencyPlan::Europe(), &FrequencyPlan::UsBroadcast(), &FrequencyPlan::UsCable()}) {
        for (int32 position = 0; position < plan->CountChannels(); position++) {
            const uint32 carrier = plan->ChannelAt(position)->kilohertz;
            for (bool lowUnits : {false, true}) {
                const std::optional<uint32> units = KilohertzToTunerUnits(carrier, lowUnits);
                ASSERT_TRUE(units.has_value());
                EXPECT_EQ(TunerUnitsToKilohertz(*units, lowUnits), carrier);
                EXPECT_EQ(plan->NearestChannel(TunerUnitsToKilohertz(*units, lowUnits)), position);
            }
        }
    }
}

}
}
