#include "devices/VideoStandard.h"

#include <gtest/gtest.h>

namespace devices::test {
namespace {

constexpr uint64 PAL_BG = STANDARD_PAL_B | STANDARD_PAL_B1 | STANDARD_PAL_G;
constexpr uint64 PAL_DK = STANDARD_PAL_D | STANDARD_PAL_D1 | STANDARD_PAL_K;
constexpr uint64 PAL = PAL_BG | PAL_DK | STANDARD_PAL_H | STANDARD_PAL_I;
constexpr uint64 NTSC = STANDARD_NTSC_M | STANDARD_NTSC_M_JP | STANDARD_NTSC_M_KR;
constexpr uint64 SECAM_DK = STANDARD_SECAM_D | STANDARD_SECAM_K | STANDARD_SECAM_K1;
constexpr uint64 SECAM = STANDARD_SECAM_B | STANDARD_SECAM_G | STANDARD_SECAM_H | SECAM_DK
    | STANDARD_SECAM_L | STANDARD_SECAM_LC;

struct DriverStandard {
    EnumeratedStandard standard;
    // The item it belongs to.
    int32 item;
};

// The standards the kernel's test capture driver enumerates on its TV input, in its order.
const DriverStandard TEST_DRIVER[]
    = {{{"NTSC", NTSC}, VIDEO_FORMAT_NTSC_M}, {{"NTSC-M", STANDARD_NTSC_M}, VIDEO_FORMAT_NTSC_M},
        {{"NTSC-M-JP", STANDARD_NTSC_M_JP}, VIDEO_FORMAT_NTSC_M_JP},
        {{"NTSC-M-KR", STANDARD_NTSC_M_KR}, VIDEO_FORMAT_NTSC_M},
        {{"NTSC-443", STANDARD_NTSC_443}, VIDEO_FORMAT_NTSC_M}, {{"PAL", PAL}, VIDEO_FORMAT_PAL},
        {{"PAL-BG", PAL_BG}, VIDEO_FORMAT_PAL}, {{"PAL-H", STANDARD_PAL_H}, VIDEO_FORMAT_PAL},
        {{"PAL-I", STANDARD_PAL_I}, VIDEO_FORMAT_PAL}, {{"PAL-DK", PAL_DK}, VIDEO_FORMAT_PAL},
        {{"PAL-M", STANDARD_PAL_M}, VIDEO_FORMAT_PAL_M},
        {{"PAL-N", STANDARD_PAL_N}, VIDEO_FORMAT_PAL_N},
        {{"PAL-Nc", STANDARD_PAL_NC}, VIDEO_FORMAT_PAL_N},
        {{"PAL-60", STANDARD_PAL_60}, VIDEO_FORMAT_PAL_M}, {{"SECAM", SECAM}, VIDEO_FORMAT_SECAM},
        {{"SECAM-B", STANDARD_SECAM_B}, VIDEO_FORMAT_SECAM},
        {{"SECAM-G", STANDARD_SECAM_G}, VIDEO_FORMAT_SECAM},
        {{"SECAM-H", STANDARD_SECAM_H}, VIDEO_FORMAT_SECAM},
        {{"SECAM-DK", SECAM_DK}, VIDEO_FORMAT_SECAM},
        {{"SECAM-L", STANDARD_SECAM_L}, VIDEO_FORMAT_SECAM},
        {{"SECAM-Lc", STANDARD_SECAM_LC}, VIDEO_FORMAT_SECAM}};

TEST(VideoStandardTest, EveryMaskBelongsToTheItemWhoseLinesTheDeviceSends)
{
    std::vector<std::pair<uint64, int32>> masks = {
        // Any 525-line bit makes the device send 525 lines, so the mask is a 525-line item.
        {PAL | STANDARD_NTSC_M, VIDEO_FORMAT_NTSC_M}, {PAL | STANDARD_PAL_M, VIDEO_FORMAT_PAL_M},
        {STANDARD_PAL_M | STANDARD_PAL_60, VIDEO_FORMAT_PAL_M},
        {PAL | SECAM | STANDARD_PAL_N, VIDEO_FORMAT_PAL},
        {SECAM | STANDARD_PAL_NC, VIDEO_FORMAT_SECAM}, {0, VIDEO_FORMAT_AUTO},
        // Digital standard bits above the analogue ones.
        {0x1000000, VIDEO_FORMAT_AUTO}};
    for (const DriverStandard& entry : TEST_DRIVER)
        masks.emplace_back(entry.standard.mask, entry.item);
    for (const auto& [mask, item] : masks) {
        SCOPED_TRACE(mask);
        EXPECT_EQ(VideoFormatForStandard(mask), item);
        const bool lines525 = item == VIDEO_FORMAT_NTSC_M || item == VIDEO_FORMAT_NTSC_M_JP
            || item == VIDEO_FORMAT_PAL_M;
        EXPECT_EQ(Is525Line(mask), lines525);
        EXPECT_EQ(FrameRateOf(mask).numerator, lines525 ? 30000 : 25);
        EXPECT_EQ(FrameRateOf(mask).denominator, lines525 ? 1001 : 1);
        EXPECT_EQ(FrameSizeOf(mask).width, 720);
        EXPECT_EQ(FrameSizeOf(mask).height, lines525 ? 480 : 576);
    }
}

TEST(VideoStandardTest, ChoicesListEveryItemUpToTheHighestWithItsNameAndOwnFamily)
{
    const char* names[]
        = {"Auto", "NTSC-M", "NTSC-M-JP", "PAL-B/G/D/H/I", "PAL-M", "PAL-N", "SECAM"};
    EXPECT_EQ(VideoFormatName(-1), "");
    EXPECT_EQ(VideoFormatName(VIDEO_FORMAT_COUNT), "");
    std::vector<EnumeratedStandard> driver;
    uint64 all = 0;
    for (const DriverStandard& entry : TEST_DRIVER) {
        driver.push_back(entry.standard);
        all |= entry.standard.mask;
    }
    // Combined masks are narrowed to the item's own family: "NTSC" gives its JP bit to
    // NTSC-M-JP, NTSC-443 and PAL-60 ride on no item of their own; the order of enumeration
    // does not matter.
    const std::vector<uint64> driverMasks = {all, STANDARD_NTSC_M | STANDARD_NTSC_M_KR,
        STANDARD_NTSC_M_JP, PAL, STANDARD_PAL_M, STANDARD_PAL_N | STANDARD_PAL_NC, SECAM};
    const struct {
        std::vector<EnumeratedStandard> standards;
        // The mask of each item, from Auto on.
        std::vector<uint64> masks;
    } cases[] = {
        {driver, driverMasks},
        {{driver.rbegin(), driver.rend()}, driverMasks},
        // A European card: the positions it lacks stay, without a standard, so that the
        // viewer's positions keep meaning their items.
        {{{"PAL-BG", PAL_BG}, {"SECAM-L", STANDARD_SECAM_L}, {"PAL-BG", PAL_BG}},
            {PAL_BG | STANDARD_SECAM_L, 0, 0, PAL_BG, 0, 0, STANDARD_SECAM_L}},
        // An item without its family keeps what it gathered.
        {{{"NTSC-443", STANDARD_NTSC_443}, {"PAL-60", STANDARD_PAL_60}},
            {STANDARD_NTSC_443 | STANDARD_PAL_60, STANDARD_NTSC_443, 0, 0, STANDARD_PAL_60}},
        // Without analogue standards: Auto alone.
        {{}, {0}},
        {{{"ATSC", 0x1000000}}, {0}},
    };
    for (const auto& entry : cases) {
        const std::vector<VideoFormatChoice> choices = VideoFormatChoices(entry.standards);
        ASSERT_EQ(choices.size(), entry.masks.size());
        for (size_t item = 0; item < choices.size(); item++) {
            EXPECT_EQ(choices[item].item, int32(item));
            EXPECT_EQ(choices[item].name, names[item]);
            EXPECT_EQ(VideoFormatName(int32(item)), names[item]);
            EXPECT_EQ(choices[item].mask, entry.masks[item]) << item;
            // A choice reads back as its own item.
            if (item > 0 && entry.masks[item] != 0) {
                EXPECT_EQ(VideoFormatForStandard(entry.masks[item]), int32(item));
            }
        }
    }
}

}
}
