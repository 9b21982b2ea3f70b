#include "devices/ControlRange.h"

#include "devices/PictureControls.h"
#include "kits/kernel/Errors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace devices::test {
namespace {

// The test capture driver's ranges: brightness on its TV input, contrast, hue.
constexpr DeviceControlRange TV_BRIGHTNESS{128, 383, 1, 256};
constexpr DeviceControlRange CONTRAST{0, 255, 1, 128};
constexpr DeviceControlRange HUE{-128, 128, 1, 0};

TEST(ControlRangeTest, TestDriverRangesKeepTheTestCardsSliders)
{
    const ParameterRange brightness
        = ParameterRangeFor(PictureAdjustment::BRIGHTNESS, TV_BRIGHTNESS);
    EXPECT_EQ(brightness.minimum, BRIGHTNESS_MIN);
    EXPECT_EQ(brightness.maximum, BRIGHTNESS_MAX);
    const ParameterRange contrast = ParameterRangeFor(PictureAdjustment::CONTRAST, CONTRAST);
    EXPECT_EQ(contrast.minimum, CONTRAST_MIN);
    EXPECT_EQ(contrast.maximum, CONTRAST_MAX);
    const ParameterRange saturation = ParameterRangeFor(PictureAdjustment::SATURATION, CONTRAST);
    EXPECT_EQ(saturation.minimum, SATURATION_MIN);
    EXPECT_EQ(saturation.maximum, SATURATION_MAX);
    const ParameterRange hue = ParameterRangeFor(PictureAdjustment::HUE, HUE);
    EXPECT_EQ(hue.minimum, HUE_MIN);
    EXPECT_EQ(hue.maximum, HUE_MAX);
}

TEST(ControlRangeTest, BrightnessOnTheTvInputMapsEndsAndDefault)
{
    const ControlRange range(TV_BRIGHTNESS, {BRIGHTNESS_MIN, BRIGHTNESS_MAX});
    ASSERT_EQ(range.InitCheck(), B_OK);
    EXPECT_FLOAT_EQ(range.ToParameter(128), -128);
    EXPECT_FLOAT_EQ(range.ToParameter(383), 127);
    EXPECT_FLOAT_EQ(range.ToParameter(256), 0);
    EXPECT_FLOAT_EQ(range.DefaultParameter(), 0);
    EXPECT_EQ(range.ToDevice(-128), 128);
    EXPECT_EQ(range.ToDevice(127), 383);
    EXPECT_EQ(range.ToDevice(0), 256);
    EXPECT_EQ(range.ToDevice(5), 261);
}

TEST(ControlRangeTest, HueKeepsItsCentre)
{
    const ControlRange range(HUE, {HUE_MIN, HUE_MAX});
    EXPECT_FLOAT_EQ(range.ToParameter(0), 0);
    EXPECT_FLOAT_EQ(range.ToParameter(-128), -90);
    EXPECT_FLOAT_EQ(range.ToParameter(128), 90);
    EXPECT_FLOAT_EQ(range.ToParameter(64), 45);
    EXPECT_EQ(range.ToDevice(-90), -128);
    EXPECT_EQ(range.ToDevice(45), 64);
    // 1 unit of the slider is 128/90 device levels: 1.42 rounds to 1, -1.42 to -1.
    EXPECT_EQ(range.ToDevice(1), 1);
    EXPECT_EQ(range.ToDevice(-1), -1);
}

TEST(ControlRangeTest, EveryDeviceValueSurvivesTheParameter)
{
    for (const DeviceControlRange& device : {TV_BRIGHTNESS, CONTRAST, HUE,
             DeviceControlRange{-32768, 32767, 1, 0}, DeviceControlRange{0, 65535, 256, 32768},
             DeviceControlRange{3, 15, 4, 7}}) {
        const ControlRange range(device, {-128, 127});
        const int32 step = device.step;
        for (int32 value = device.minimum; value <= device.maximum; value += step)
            ASSERT_EQ(range.ToDevice(range.ToParameter(value)), value) << device.minimum;
    }
}

TEST(ControlRangeTest, ClampsAndRoundsToTheStep)
{
    // Steps of 16 from 0; 250 is not on a step, so 240 is the last.
    const ControlRange range({0, 250, 16, 100}, {0, 250});
    EXPECT_EQ(range.ToDevice(-10), 0);
    EXPECT_EQ(range.ToDevice(7.9f), 0);
    EXPECT_EQ(range.ToDevice(8), 16);
    EXPECT_EQ(range.ToDevice(100), 96);
    EXPECT_EQ(range.ToDevice(250), 240);
    EXPECT_EQ(range.ToDevice(1e9f), 240);
    EXPECT_EQ(range.ToDevice(std::numeric_limits<float>::infinity()), 240);
    EXPECT_EQ(range.ToDevice(-std::numeric_limits<float>::infinity()), 0);
    EXPECT_EQ(range.ToDevice(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_FLOAT_EQ(range.ToParameter(-5), 0);
    EXPECT_FLOAT_EQ(range.ToParameter(1000), 250);
    // The default off the steps shows as the step nearest to it.
    EXPECT_FLOAT_EQ(range.DefaultParameter(), 96);
}

TEST(ControlRangeTest, StepBelowOneCountsAsOne)
{
    for (int32 step : {0, -3}) {
        const ControlRange range({0, 10, step, 5}, {0, 100});
        EXPECT_EQ(range.ToDevice(33), 3);
        EXPECT_EQ(range.ToDevice(100), 10);
    }
}

TEST(ControlRangeTest, TheWholeInt32RangeDoesNotOverflow)
{
    const ControlRange range({std::numeric_limits<int32>::min(), std::numeric_limits<int32>::max(),
                                 1, 0},
        {-100, 100});
    EXPECT_EQ(range.ToDevice(-100), std::numeric_limits<int32>::min());
    EXPECT_EQ(range.ToDevice(100), std::numeric_limits<int32>::max());
    EXPECT_FLOAT_EQ(range.ToParameter(std::numeric_limits<int32>::max()), 100);
    EXPECT_NEAR(range.ToParameter(0), 0, 1e-4);
}

TEST(ControlRangeTest, ASingleValueDeviceShowsItEverywhere)
{
    const ControlRange range({7, 7, 1, 7}, {0, 200});
    ASSERT_EQ(range.InitCheck(), B_OK);
    EXPECT_EQ(range.ToDevice(0), 7);
    EXPECT_EQ(range.ToDevice(200), 7);
    EXPECT_FLOAT_EQ(range.ToParameter(7), 0);
    // Nothing to step through: the usual slider, never an empty range.
    const ParameterRange published = ParameterRangeFor(PictureAdjustment::CONTRAST, {7, 7, 1, 7});
    EXPECT_LT(published.minimum, published.maximum);
}

TEST(ControlRangeTest, RefusesRangesThatAreNotRanges)
{
    EXPECT_EQ(ControlRange({10, 0, 1, 5}, {0, 100}).InitCheck(), B_BAD_VALUE);
    EXPECT_EQ(ControlRange({0, 10, 1, 5}, {100, 100}).InitCheck(), B_BAD_VALUE);
    EXPECT_EQ(ControlRange({0, 10, 1, 5}, {100, 0}).InitCheck(), B_BAD_VALUE);
    EXPECT_EQ(
        ControlRange({0, 10, 1, 5}, {0, std::numeric_limits<float>::quiet_NaN()}).InitCheck(),
        B_BAD_VALUE);
    const ControlRange reversed({10, 0, 1, 5}, {0, 100});
    EXPECT_EQ(reversed.ToDevice(50), 10);
    EXPECT_FLOAT_EQ(reversed.ToParameter(5), 0);
}

TEST(ControlRangeTest, AStepPressAlwaysMovesACoarseDevice)
{
    // Sixteen contrast levels: on the 0 to 200 slider one level spans 13.3 units, so a press of
    // 5 would round back; the published range counts levels instead.
    const DeviceControlRange coarse{0, 15, 1, 8};
    const ParameterRange published = ParameterRangeFor(PictureAdjustment::CONTRAST, coarse);
    EXPECT_EQ(published.minimum, 0);
    EXPECT_EQ(published.maximum, 15);
    const ControlRange range(coarse, published);
    for (int32 value = 0; value + 1 <= 15; value++) {
        const float shown = range.ToParameter(value);
        EXPECT_GT(range.ToDevice(shown + VIEWER_STEP), value);
        EXPECT_LT(range.ToDevice(range.ToParameter(value + 1) - VIEWER_STEP), value + 1);
    }
    // With steps of 32 on 0..255 (7 steps), the same.
    const ParameterRange stepped
        = ParameterRangeFor(PictureAdjustment::BRIGHTNESS, {0, 255, 32, 0});
    EXPECT_EQ(stepped.maximum, 7);
    // A fine device keeps the usual slider, and a press moves it.
    const ControlRange fine(CONTRAST, ParameterRangeFor(PictureAdjustment::CONTRAST, CONTRAST));
    EXPECT_GT(fine.ToDevice(100 + VIEWER_STEP), fine.ToDevice(100));
}

}
}
