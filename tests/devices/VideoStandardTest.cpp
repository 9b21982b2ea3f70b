#include "devices/VideoStandard.h"

#include <gtest/gtest.h>

#include <set>

namespace devices::test {
namespace {

constexpr uint64 PAL_BG = STANDARD_PAL_B | STANDARD_PAL_B1 | STANDARD_PAL_G;
constexpr uint64 PAL_DK = STANDARD_PAL_D | STANDARD_PAL_D1 | STANDARD_PAL_K;
constexpr uint64 PAL = PAL_BG | PAL_DK | STANDARD_PAL_H | STANDARD_PAL_I;
constexpr uint64 NTSC = STANDARD_NTSC_M | STANDARD_NTSC_M_JP | STANDARD_NTSC_M_KR;
constexpr uint64 SECAM_DK = STANDARD_SECAM_D | STANDARD_SECAM_K | STANDARD_SECAM_K1;
constexpr uint64 SECAM = STANDARD_SECAM_B | STANDARD_SECAM_G | STANDARD_SECAM_H | SECAM_DK
    | STANDARD_SECAM_L | STANDARD_SECAM_LC;

// The standards the kernel's test capture driver enumerates on its TV input, in its order.
const std::vector<EnumeratedStandard> TEST_DRIVER_STANDARDS = {{"NTSC", NTSC},
    {"NTSC-M", STANDARD_NTSC_M}, {"NTSC-M-JP", STANDARD_NTSC_M_JP},
    {"NTSC-M-KR", STANDARD_NTSC_M_KR}, {"NTSC-443", STANDARD_NTSC_443}, {"PAL", PAL},
    {"PAL-BG", PAL_BG}, {"PAL-H", STANDARD_PAL_H}, {"PAL-I", STANDARD_PAL_I},
    {"PAL-DK", PAL_DK}, {"PAL-M", STANDARD_PAL_M}, {"PAL-N", STANDARD_PAL_N},
    {"PAL-Nc", STANDARD_PAL_NC}, {"PAL-60", STANDARD_PAL_60}, {"SECAM", SECAM},
    {"SECAM-B", STANDARD_SECAM_B}, {"SECAM-G", STANDARD_SECAM_G}, {"SECAM-H", STANDARD_SECAM_H},
    {"SECAM-DK", SECAM_DK}, {"SECAM-L", STANDARD_SECAM_L}, {"SECAM-Lc", STANDARD_SECAM_LC}};

TEST(VideoStandardTest, NamesEveryItemAndNothingElse)
{
    EXPECT_EQ(VideoFormatName(VIDEO_FORMAT_AUTO), "Auto");
    EXPECT_EQ(VideoFormatName(VIDEO_FORMAT_NTSC_M), "NTSC-M");
    EXPECT_EQ(VideoFormatName(VIDEO_FORMAT_NTSC_M_JP), "NTSC-M-JP");
    EXPECT_EQ(VideoFormatName(VIDEO_FORMAT_PAL), "PAL-B/G/D/H/I");
    EXPECT_EQ(VideoFormatName(VIDEO_FORMAT_PAL_M), "PAL-M");
    EXPECT_EQ(VideoFormatName(VIDEO_FORMAT_PAL_N), "PAL-N");
    EXPECT_EQ(VideoFormatName(VIDEO_FORMAT_SECAM), "SECAM");
    EXPECT_EQ(VideoFormatName(-1), "");
    EXPECT_EQ(VideoFormatName(VIDEO_FORMAT_COUNT), "");
}

TEST(VideoStandardTest, EachTestDriverStandardBelongsToItsItem)
{
    const std::pair<const char*, int32> expected[] = {{"NTSC", VIDEO_FORMAT_NTSC_M},
        {"NTSC-M", VIDEO_FORMAT_NTSC_M}, {"NTSC-M-JP", VIDEO_FORMAT_NTSC_M_JP},
        {"NTSC-M-KR", VIDEO_FORMAT_NTSC_M}, {"NTSC-443", VIDEO_FORMAT_NTSC_M},
        {"PAL", VIDEO_FORMAT_PAL}, {"PAL-BG", VIDEO_FORMAT_PAL}, {"PAL-H", VIDEO_FORMAT_PAL},
        {"PAL-I", VIDEO_FORMAT_PAL}, {"PAL-DK", VIDEO_FORMAT_PAL}, {"PAL-M", VIDEO_FORMAT_PAL_M},
        {"PAL-N", VIDEO_FORMAT_PAL_N}, {"PAL-Nc", VIDEO_FORMAT_PAL_N},
        {"PAL-60", VIDEO_FORMAT_PAL_M}, {"SECAM", VIDEO_FORMAT_SECAM},
        {"SECAM-B", VIDEO_FORMAT_SECAM}, {"SECAM-G", VIDEO_FORMAT_SECAM},
        {"SECAM-H", VIDEO_FORMAT_SECAM}, {"SECAM-DK", VIDEO_FORMAT_SECAM},
        {"SECAM-L", VIDEO_FORMAT_SECAM}, {"SECAM-Lc", VIDEO_FORMAT_SECAM}};
    ASSERT_EQ(TEST_DRIVER_STANDARDS.size(), std::size(expected));
    for (size_t i = 0; i < TEST_DRIVER_STANDARDS.size(); i++) {
        EXPECT_EQ(TEST_DRIVER_STANDARDS[i].name, expected[i].first);
        EXPECT_EQ(VideoFormatForStandard(TEST_DRIVER_STANDARDS[i].mask), expected[i].second)
            << expected[i].first;
    }
}

TEST(VideoStandardTest, LineCountRateAndSizeFollowThe525LineBits)
{
    for (const EnumeratedStandard& standard : TEST_DRIVER_STANDARDS) {
        const int32 item = VideoFormatForStandard(standard.mask);
        const bool lines525 = item == VIDEO_FORMAT_NTSC_M || item == VIDEO_FORMAT_NTSC_M_JP
            || item == VIDEO_FORMAT_PAL_M;
        EXPECT_EQ(Is525Line(standard.mask), lines525) << standard.name;
        const FrameRate rate = FrameRateOf(standard.mask);
        const FrameSize size = FrameSizeOf(standard.mask);
        EXPECT_EQ(size.width, 720);
        if (lines525) {
            EXPECT_EQ(rate.numerator, 30000);
            EXPECT_EQ(rate.denominator, 1001);
            EXPECT_EQ(size.height, 480);
        } else {
            EXPECT_EQ(rate.numerator, 25);
            EXPECT_EQ(rate.denominator, 1);
            EXPECT_EQ(size.height, 576);
        }
    }
}

TEST(VideoStandardTest, MixedAndEmptyMasksAreClassifiedAsDevicesSendThem)
{
    // Any 525-line bit makes the device send 525 lines, so the mask is a 525-line item.
    EXPECT_EQ(VideoFormatForStandard(PAL | STANDARD_NTSC_M), VIDEO_FORMAT_NTSC_M);
    EXPECT_TRUE(Is525Line(PAL | STANDARD_PAL_M));
    EXPECT_EQ(VideoFormatForStandard(STANDARD_PAL_M | STANDARD_PAL_60), VIDEO_FORMAT_PAL_M);
    EXPECT_EQ(VideoFormatForStandard(PAL | SECAM | STANDARD_PAL_N), VIDEO_FORMAT_PAL);
    EXPECT_EQ(VideoFormatForStandard(SECAM | STANDARD_PAL_NC), VIDEO_FORMAT_SECAM);
    EXPECT_EQ(VideoFormatForStandard(0), VIDEO_FORMAT_AUTO);
    // Digital standard bits above the analogue ones.
    EXPECT_EQ(VideoFormatForStandard(0x1000000), VIDEO_FORMAT_AUTO);
    EXPECT_FALSE(Is525Line(0));
    EXPECT_EQ(FrameSizeOf(0).height, 576);
}

TEST(VideoStandardTest, TestDriverGetsEveryItemOnceInValueOrder)
{
    const std::vector<VideoFormatChoice> choices = VideoFormatChoices(TEST_DRIVER_STANDARDS);
    ASSERT_EQ(choices.size(), size_t(VIDEO_FORMAT_COUNT));
    for (int32 item = 0; item < VIDEO_FORMAT_COUNT; item++) {
        EXPECT_EQ(choices[size_t(item)].item, item);
        EXPECT_EQ(choices[size_t(item)].name, VideoFormatName(item));
        EXPECT_NE(choices[size_t(item)].mask, 0u) << item;
    }
    uint64 all = 0;
    for (const EnumeratedStandard& standard : TEST_DRIVER_STANDARDS)
        all |= standard.mask;
    EXPECT_EQ(choices[VIDEO_FORMAT_AUTO].mask, all);
    // Combined masks are narrowed to the item's own family: "NTSC" gives its JP bit to NTSC-M-JP,
    // NTSC-443 and PAL-60 ride on no item of their own.
    EXPECT_EQ(choices[VIDEO_FORMAT_NTSC_M].mask, STANDARD_NTSC_M | STANDARD_NTSC_M_KR);
    EXPECT_EQ(choices[VIDEO_FORMAT_NTSC_M_JP].mask, STANDARD_NTSC_M_JP);
    EXPECT_EQ(choices[VIDEO_FORMAT_PAL].mask, PAL);
    EXPECT_EQ(choices[VIDEO_FORMAT_PAL_M].mask, STANDARD_PAL_M);
    EXPECT_EQ(choices[VIDEO_FORMAT_PAL_N].mask, STANDARD_PAL_N | STANDARD_PAL_NC);
    EXPECT_EQ(choices[VIDEO_FORMAT_SECAM].mask, SECAM);
}

TEST(VideoStandardTest, AChoiceSetOnTheDeviceReadsBackAsItsOwnItem)
{
    for (const VideoFormatChoice& choice : VideoFormatChoices(TEST_DRIVER_STANDARDS)) {
        if (choice.item != VIDEO_FORMAT_AUTO) {
            EXPECT_EQ(VideoFormatForStandard(choice.mask), choice.item) << choice.name;
        }
    }
}

TEST(VideoStandardTest, ChoicesDoNotDependOnEnumerationOrder)
{
    std::vector<EnumeratedStandard> reversed(TEST_DRIVER_STANDARDS.rbegin(),
        TEST_DRIVER_STANDARDS.rend());
    const std::vector<VideoFormatChoice> forward = VideoFormatChoices(TEST_DRIVER_STANDARDS);
    const std::vector<VideoFormatChoice> backward = VideoFormatChoices(reversed);
    ASSERT_EQ(forward.size(), backward.size());
    for (size_t i = 0; i < forward.size(); i++) {
        EXPECT_EQ(forward[i].item, backward[i].item);
        EXPECT_EQ(forward[i].mask, backward[i].mask);
    }
}

TEST(VideoStandardTest, AEuropeanCardListsPositionsUpToItsHighestItem)
{
    // PAL-B/G and SECAM-L only: positions 1, 2, 4 and 5 stay in the list, without a standard, so
    // that the viewer's positions keep meaning their items.
    const std::vector<VideoFormatChoice> choices = VideoFormatChoices(
        {{"PAL-BG", PAL_BG}, {"SECAM-L", STANDARD_SECAM_L}, {"PAL-BG", PAL_BG}});
    ASSERT_EQ(choices.size(), size_t(VIDEO_FORMAT_SECAM + 1));
    EXPECT_EQ(choices[VIDEO_FORMAT_AUTO].mask, PAL_BG | STANDARD_SECAM_L);
    EXPECT_EQ(choices[VIDEO_FORMAT_PAL].mask, PAL_BG);
    EXPECT_EQ(choices[VIDEO_FORMAT_SECAM].mask, STANDARD_SECAM_L);
    for (int32 item : {VIDEO_FORMAT_NTSC_M, VIDEO_FORMAT_NTSC_M_JP, VIDEO_FORMAT_PAL_M,
             VIDEO_FORMAT_PAL_N}) {
        EXPECT_EQ(choices[size_t(item)].mask, 0u) << item;
        EXPECT_EQ(choices[size_t(item)].name, VideoFormatName(item));
    }
}

TEST(VideoStandardTest, AnItemWithoutItsFamilyKeepsWhatItGathered)
{
    // A card that only knows NTSC-443 and PAL-60 still offers them under their 525-line items.
    const std::vector<VideoFormatChoice> choices = VideoFormatChoices(
        {{"NTSC-443", STANDARD_NTSC_443}, {"PAL-60", STANDARD_PAL_60}});
    ASSERT_EQ(choices.size(), size_t(VIDEO_FORMAT_PAL_M + 1));
    EXPECT_EQ(choices[VIDEO_FORMAT_NTSC_M].mask, STANDARD_NTSC_443);
    EXPECT_EQ(choices[VIDEO_FORMAT_NTSC_M_JP].mask, 0u);
    EXPECT_EQ(choices[VIDEO_FORMAT_PAL].mask, 0u);
    EXPECT_EQ(choices[VIDEO_FORMAT_PAL_M].mask, STANDARD_PAL_60);
}

TEST(VideoStandardTest, ADeviceWithoutStandardsOffersAutoAlone)
{
    for (const std::vector<EnumeratedStandard>& standards : {std::vector<EnumeratedStandard>{},
             std::vector<EnumeratedStandard>{{"ATSC", 0x1000000}}}) {
        const std::vector<VideoFormatChoice> choices = VideoFormatChoices(standards);
        ASSERT_EQ(choices.size(), 1u);
        EXPECT_EQ(choices[0].item, VIDEO_FORMAT_AUTO);
        EXPECT_EQ(choices[0].name, "Auto");
        EXPECT_EQ(choices[0].mask, 0u);
    }
}

}
}
