#include "devices/TestPicture.h"

#include "devices/StationPainter.h"
#include "tests/devices/PaddedFrame.h"
#include "video/FindContrast.h"
#include "video/SubtitleContrast.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace devices::test {
namespace {

constexpr color_space SPACES[] = {B_RGB32, B_RGB16, B_RGB15, B_GRAY8};
// A PAL field period, in microseconds.
constexpr bigtime_t FIELD = 20000;
constexpr bigtime_t FRAME = 40000;
constexpr bigtime_t START = 123456789;

struct Size {
    int32 width;
    int32 lines;
};

std::string Describe(const TestStation& station, Size size, color_space space)
{
    return station.name + " at " + std::to_string(size.width) + "x" + std::to_string(size.lines)
        + " in space " + std::to_string(int32(space));
}

int32 Contrast(const PaddedFrame& frame)
{
    return FindContrast(frame.View(), frame.Rows().size());
}

// The subtitle filter's own test of a pixel with its threshold at 0: white when red, green and
// blue agree once their lowest bits are dropped.
bool IsColourless(const PaddedFrame& frame, int32 x, int32 y)
{
    const uint32 p = frame.Pixel(x, y);
    switch (frame.View().colorSpace) {
    case B_RGB32:
        return (p >> 8 & 0xFE) == (p >> 16 & 0xFE) && (p >> 8 & 0xFE) == (p & 0xFE);
    case B_RGB16:
        return (p >> 6 & 0x1E) == (p >> 11 & 0x1E) && (p >> 6 & 0x1E) == (p & 0x1E);
    default:
        return (p >> 5 & 0x1E) == (p >> 10 & 0x1E) && (p >> 5 & 0x1E) == (p & 0x1E);
    }
}

class TestPictureTest : public testing::Test {
protected:
    // Rows without padding, as the consumer's bitmaps have them: FindContrast walks the bytes
    // from the start of the bits whatever the rows.
    PaddedFrame Draw(const TestStation& station, Size size, color_space space,
        FieldTimes times = {START, START + FIELD}, const PictureControls& controls = {})
    {
        PaddedFrame frame(space, size.width, size.lines);
        EXPECT_EQ(picture.DrawStation(frame.View(), station, controls, times), B_OK);
        return frame;
    }

    PaddedFrame Snow(
        Size size, color_space space, uint64 seed, const PictureControls& controls = {})
    {
        PaddedFrame frame(space, size.width, size.lines);
        EXPECT_EQ(picture.DrawNoise(frame.View(), controls, seed), B_OK);
        return frame;
    }

    TestPicture picture;
};

TEST_F(TestPictureTest, WritesEveryPixelAndNoPaddingInEverySpaceAndSize)
{
    const Size sizes[] = {{1, 1}, {2, 2}, {3, 5}, {17, 9}, {101, 77}, {767, 575}};
    const TestStation station = DefaultTestStations()[1];
    for (color_space space : SPACES) {
        for (Size size : sizes) {
            for (bool snow : {false, true}) {
                SCOPED_TRACE(Describe(station, size, space) + (snow ? " snow" : ""));
                // Two fills: a pixel left unwritten keeps a different one in each.
                PaddedFrame frame(space, size.width, size.lines, 5);
                PaddedFrame other(space, size.width, size.lines, 5, 0x5A);
                for (PaddedFrame* target : {&frame, &other}) {
                    const status_t status = snow
                        ? picture.DrawNoise(target->View(), {}, 7)
                        : picture.DrawStation(target->View(), station, {}, {START, START});
                    ASSERT_EQ(status, B_OK);
                }
                ASSERT_TRUE(frame.PaddingUntouched());
                for (int32 y = 0; y < size.lines; y++) {
                    ASSERT_TRUE(frame.RowsEqual(other, y)) << "row " << y;
                    for (int32 x = 0; space == B_RGB15 && x < size.width; x++)
                        ASSERT_EQ(frame.Pixel(x, y) & 0x8000u, 0u);
                }
            }
        }
    }
}

TEST_F(TestPictureTest, RefusesFramesItCannotDraw)
{
    const TestStation station = DefaultTestStations()[0];
    PaddedFrame memory(B_GRAY8, 4 * 1921, 4);
    uint8* bits = memory.View().bits;
    const FrameView bad[] = {
        {nullptr, 64, 16, 16, B_RGB32},
        {bits, 64, 0, 16, B_RGB32},
        {bits, 64, 16, 0, B_RGB32},
        {bits, 63, 16, 4, B_RGB32},
        {bits, 64, 16, 4, B_RGB24},
        {bits, 64, 16, 4, B_CMAP8},
        {bits, 4 * 1921, 1921, 1, B_RGB32},
        {bits, 1, 1, 1081, B_GRAY8},
    };
    for (const FrameView& frame : bad) {
        EXPECT_EQ(picture.DrawStation(frame, station, {}, {}), B_BAD_VALUE);
        EXPECT_EQ(picture.DrawNoise(frame, {}, 1), B_BAD_VALUE);
    }
    EXPECT_TRUE(memory.Untouched());
}

TEST_F(TestPictureTest, EveryStationLooksDifferent)
{
    std::vector<TestStation> stations = DefaultTestStations();
    // The same pattern under another name still differs: the name tints the picture.
    stations.push_back({0, "ZULU", stations[0].pattern, false});
    const Size size{384, 288};
    std::vector<PaddedFrame> frames;
    for (const TestStation& station : stations)
        frames.push_back(Draw(station, size, B_RGB32, {START, START}));
    for (size_t a = 0; a < frames.size(); a++) {
        for (size_t b = a + 1; b < frames.size(); b++) {
            EXPECT_GT(frames[a].Differing(frames[b]), size.width * size.lines / 4)
                << stations[a].name << " and " << stations[b].name;
        }
    }
}

TEST_F(TestPictureTest, EachFieldShowsThePictureAtItsOwnTimeAndOnlyTheMiddleMoves)
{
    const Size size{768, 576};
    const StationLayout layout(size.width, size.lines);
    for (const TestStation& station : DefaultTestStations()) {
        SCOPED_TRACE(station.name);
        const PaddedFrame interlaced = Draw(station, size, B_RGB32, {START, START + FIELD});
        EXPECT_EQ(
            interlaced.Bytes(), Draw(station, size, B_RGB32, {START, START + FIELD}).Bytes());
        EXPECT_NE(interlaced.Bytes(),
            Draw(station, size, B_RGB32, {START + FRAME, START + FRAME + FIELD}).Bytes());
        const PaddedFrame early = Draw(station, size, B_RGB32, {START, START});
        const PaddedFrame late = Draw(station, size, B_RGB32, {START + FIELD, START + FIELD});
        EXPECT_NE(early.Bytes(), late.Bytes());
        for (int32 y = 0; y < size.lines; y++)
            ASSERT_TRUE(interlaced.RowsEqual(y % 2 == 0 ? early : late, y)) << "row " << y;
        // The header and the subtitle band stay put whatever the time.
        for (bigtime_t time = START; time < START + 4000000; time += 197000) {
            const PaddedFrame frame = Draw(station, size, B_RGB32, {time, time + FIELD});
            for (int32 y = 0; y < size.lines; y++) {
                const bool moving = y >= layout.motionTop && y < layout.motionBottom;
                ASSERT_TRUE(moving || frame.RowsEqual(early, y)) << "row " << y;
            }
        }
    }
}

TEST_F(TestPictureTest, StationsMeasureAsStationsSnowAsNoiseAndABlankStationAsFlat)
{
    const TestStation blank{0, "OFF AIR", TestPattern::BLANK, false};
    for (Size size : {Size{768, 576}, {720, 576}, {640, 480}, {384, 288}}) {
        for (color_space space : SPACES) {
            for (const TestStation& station : DefaultTestStations()) {
                const int32 contrast = Contrast(Draw(station, size, space));
                EXPECT_GE(contrast, 1) << Describe(station, size, space);
                EXPECT_LE(contrast, 1499) << Describe(station, size, space);
            }
            EXPECT_EQ(Contrast(Draw(blank, size, space)), 0) << Describe(blank, size, space);
            const PaddedFrame snow = Snow(size, space, 1);
            EXPECT_GE(Contrast(snow), 1500) << size.width << " " << int32(space);
            EXPECT_NE(snow.Bytes(), Snow(size, space, 2).Bytes());
            EXPECT_EQ(snow.Bytes(), Snow(size, space, 1).Bytes());
        }
    }
    // The largest frame.
    const int32 largest = Contrast(Draw(DefaultTestStations()[2], {1920, 1080}, B_RGB32));
    EXPECT_GE(largest, 1);
    EXPECT_LE(largest, 1499);
}

TEST_F(TestPictureTest, SubtitlesAloneAreWhiteAndSetOffTheSubtitleFilterAtFullSize)
{
    const StationLayout layout(768, 576);
    int32 withSubtitles = 0;
    for (const TestStation& station : DefaultTestStations()) {
        for (color_space space : {B_RGB32, B_RGB16, B_RGB15}) {
            SCOPED_TRACE(Describe(station, {768, 576}, space));
            const PaddedFrame frame = Draw(station, {768, 576}, space);
            int32 white = 0;
            for (int32 y = layout.bandTop; y < layout.bandBottom; y++) {
                for (int32 x = 0; x < 768; x++)
                    white += IsColourless(frame, x, y);
            }
            // Subtitles are the only white, and stay in the band.
            for (int32 y = 0; space == B_RGB32 && y < 576; y++) {
                const bool band = y >= layout.bandTop && y < layout.bandBottom;
                for (int32 x = 0; !band && x < 768; x++)
                    ASSERT_NE(frame.Pixel(x, y), 0xFFFFFFFFu) << x << "," << y;
            }
            SubtitleContrastState state;
            SubtitleContrast(frame.View(), state);
            if (station.subtitles) {
                EXPECT_GT(white, 2000);
                // The rest of the band is dark.
                EXPECT_GT(768 * (layout.bandBottom - layout.bandTop) - white, 6 * white);
                EXPECT_TRUE(state.active);
                EXPECT_GT(state.threshold, 0);
            } else {
                EXPECT_EQ(white, 0);
                EXPECT_FALSE(state.active);
            }
        }
        withSubtitles += station.subtitles;
    }
    EXPECT_GE(withSubtitles, 2);
}

TEST_F(TestPictureTest, EveryControlChangesThePictureAndSnowFollowsBrightnessAndContrast)
{
    const TestStation station{0, "PLAIN", TestPattern::LANDSCAPE, true};
    const Size size{384, 288};
    const PaddedFrame plain = Draw(station, size, B_RGB16);
    const std::pair<const char*, PictureControls> changes[] = {{"brightness", {.brightness = 40}},
        {"contrast", {.contrast = 60}}, {"saturation", {.saturation = 30}}, {"hue", {.hue = 45}},
        {"luma coring", {.lumaCoring = true}}, {"chroma comb", {.chromaComb = false}},
        {"gamma", {.gamma = true}}, {"error diffusion", {.errorDiffusion = true}}};
    for (const auto& [name, changed] : changes) {
        const PaddedFrame frame = Draw(station, size, B_RGB16, {START, START + FIELD}, changed);
        EXPECT_GT(frame.Differing(plain), size.width * size.lines / 50) << name;
    }

    EXPECT_EQ(Contrast(Snow({64, 64}, B_RGB32, 3, {.contrast = 0})), 0);
    const PaddedFrame lifted = Snow({64, 64}, B_RGB32, 3, {.brightness = 100, .contrast = 0});
    EXPECT_EQ(lifted.Pixel(10, 10) & 0xFFFFFF, 0x646464u);
}

}
}
