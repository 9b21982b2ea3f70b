#include "devices/ControlRange.h"

#include "devices/PictureControls.h"
#include "kits/kernel/Errors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace devices::test {
namespace {

// The test capture driver's ranges: brightness on its TV input, contrast, hue.
constexpr DeviceControlRange TV_BRIGHTNESS{128, 383, 1, 256};
constexpr DeviceControlRange CONTRAST{0, 255, 1, 128};
constexpr DeviceControlRange HUE{-128, 128, 1, 0};
// A device with sixteen contrast levels.
constexpr DeviceControlRange COARSE{0, 15, 1, 8};

TEST(ControlRangeTest, FineRangesKeepTheTestCardsSlidersAndCoarseOnesCountTheirLevels)
{
    // Sixteen contrast levels: on the 0 to 200 slider one level spans 13.3 units, so a press of
    // 5 would round back; the published range counts levels instead, and steps of 32 on 0..255
    // make 7 of them.
    const struct {
        PictureAdjustment adjustment;
        DeviceControlRange device;
        float minimum, maximum;
    } cases[] = {{PictureAdjustment::BRIGHTNESS, TV_BRIGHTNESS, BRIGHTNESS_MIN, BRIGHTNESS_MAX},
        {PictureAdjustment::CONTRAST, CONTRAST, CONTRAST_MIN, CONTRAST_MAX},
        {PictureAdjustment::SATURATION, CONTRAST, SATURATION_MIN, SATURATION_MAX},
        {PictureAdjustment::HUE, HUE, HUE_MIN, HUE_MAX},
        {PictureAdjustment::CONTRAST, COARSE, 0, 15},
        {PictureAdjustment::BRIGHTNESS, {0, 255, 32, 0}, 0, 7}};
    for (const auto& entry : cases) {
        const ParameterRange range = ParameterRangeFor(entry.adjustment, entry.device);
        EXPECT_EQ(range.minimum, entry.minimum) << entry.device.maximum;
        EXPECT_EQ(range.maximum, entry.maximum) << entry.device.maximum;
    }
    // A step press always moves a coarse device, and a fine one on the usual slider.
    const ControlRange range(COARSE, ParameterRangeFor(PictureAdjustment::CONTRAST, COARSE));
    for (int32 value = 0; value + 1 <= 15; value++) {
        const float shown = range.ToParameter(value);
        EXPECT_GT(range.ToDevice(shown + VIEWER_STEP), value);
        EXPECT_LT(range.ToDevice(range.ToParameter(value + 1) - VIEWER_STEP), value + 1);
    }
    const ControlRange fine(CONTRAST, ParameterRangeFor(PictureAdjustment::CONTRAST, CONTRAST));
    EXPECT_GT(fine.ToDevice(100 + VIEWER_STEP), fine.ToDevice(100));
}

TEST(ControlRangeTest, MapsBetweenTheDeviceAndTheSlider)
{
    constexpr float INF = std::numeric_limits<float>::infinity();
    constexpr int32 LOWEST = std::numeric_limits<int32>::min();
    constexpr int32 HIGHEST = std::numeric_limits<int32>::max();
    const struct {
        DeviceControlRange device;
        ParameterRange parameter;
        std::vector<std::pair<float, int32>> toDevice;
        std::vector<std::pair<int32, float>> toParameter;
        float defaultParameter;
    } cases[] = {
        // Brightness on the test driver's TV input.
        {TV_BRIGHTNESS, {BRIGHTNESS_MIN, BRIGHTNESS_MAX},
            {{-128, 128}, {127, 383}, {0, 256}, {5, 261}}, {{128, -128}, {383, 127}, {256, 0}}, 0},
        // Hue keeps its centre; a unit of the slider is 128/90 device levels: 1.42 rounds to 1.
        {HUE, {HUE_MIN, HUE_MAX}, {{-90, -128}, {45, 64}, {1, 1}, {-1, -1}},
            {{0, 0}, {-128, -90}, {128, 90}, {64, 45}}, 0},
        // Steps of 16 from 0; 250 is not on a step, so 240 is the last. Values clamp, and the
        // default off the steps shows as the step nearest to it.
        {{0, 250, 16, 100}, {0, 250},
            {{-10, 0}, {7.9f, 0}, {8, 16}, {100, 96}, {250, 240}, {1e9f, 240}, {INF, 240},
                {-INF, 0}, {NAN, 0}},
            {{-5, 0}, {1000, 250}}, 96},
        // A step below one counts as one.
        {{0, 10, 0, 5}, {0, 100}, {{33, 3}, {100, 10}}, {}, 50},
        {{0, 10, -3, 5}, {0, 100}, {{33, 3}, {100, 10}}, {}, 50},
        // The whole int32 range does not overflow.
        {{LOWEST, HIGHEST, 1, 0}, {-100, 100}, {{-100, LOWEST}, {100, HIGHEST}}, {{HIGHEST, 100}},
            0},
        // A device with one value shows it everywhere.
        {{7, 7, 1, 7}, {0, 200}, {{0, 7}, {200, 7}}, {{7, 0}}, 0},
        // A range that is none gives the minimums.
        {{10, 0, 1, 5}, {0, 100}, {{50, 10}}, {{5, 0}}, 0},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.device.minimum);
        const ControlRange range(entry.device, entry.parameter);
        for (const auto& [parameter, device] : entry.toDevice)
            EXPECT_EQ(range.ToDevice(parameter), device) << parameter;
        for (const auto& [device, parameter] : entry.toParameter)
            EXPECT_FLOAT_EQ(range.ToParameter(device), parameter) << device;
        EXPECT_NEAR(range.DefaultParameter(), entry.defaultParameter, 1e-4);
    }
}

TEST(ControlRangeTest, EveryDeviceValueSurvivesTheParameter)
{
    for (const DeviceControlRange& device :
        {TV_BRIGHTNESS, CONTRAST, HUE, DeviceControlRange{-32768, 32767, 1, 0},
            DeviceControlRange{0, 65535, 256, 32768}, DeviceControlRange{3, 15, 4, 7}}) {
        const ControlRange range(device, {-128, 127});
        const int32 step = device.step;
        for (int32 value = device.minimum; value <= device.maximum; value += step)
            ASSERT_EQ(range.ToDevice(range.ToParameter(value)), value) << device.minimum;
    }
}

TEST(ControlRangeTest, RefusesRangesThatAreNotRanges)
{
    for (const auto& [device, parameter] :
        {std::pair<DeviceControlRange, ParameterRange>{{10, 0, 1, 5}, {0, 100}},
            {{0, 10, 1, 5}, {100, 100}}, {{0, 10, 1, 5}, {100, 0}}, {{0, 10, 1, 5}, {0, NAN}}}) {
        EXPECT_EQ(ControlRange(device, parameter).InitCheck(), B_BAD_VALUE) << device.minimum;
    }
    EXPECT_EQ(ControlRange({7, 7, 1, 7}, {0, 200}).InitCheck(), B_OK);
    // Nothing to step through: the usual slider, never an empty range.
    const ParameterRange published = ParameterRangeFor(PictureAdjustment::CONTRAST, {7, 7, 1, 7});
    EXPECT_LT(published.minimum, published.maximum);
}

}
}
