#include "video/SubtitleContrast.h"

#include "tests/video/FrameTestSupport.h"
#include "video/SubtitleContrastPrivate.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace video::test {
namespace {

constexpr color_space SPACES[] = {B_RGB15, B_RGB16, B_RGB32};

// A state's fields in a form gtest compares and prints.
std::tuple<bool, int32, bool> Fields(const SubtitleContrastState& state)
{
    return {state.active, state.threshold, state.eightBitGreen};
}

// The entry with an explicit state and every implementation.
std::vector<SubtitleContrastImplementation> EveryPath()
{
    std::vector<SubtitleContrastImplementation> paths = SubtitleContrastImplementations();
    paths.push_back({"SubtitleContrast",
        static_cast<void (*)(const FrameView&, SubtitleContrastState&)>(SubtitleContrast)});
    return paths;
}

// 518 lines make a band of 103 rows (387 to 489); with 136 pixels a row it holds 14008 pixels.
constexpr int32 DECISION_WIDTH = 136;
constexpr int32 DECISION_LINES = 518;
constexpr int32 DECISION_BAND_START = 387;

// A black frame whose band starts with whitePixels pixels of white in scan order.
TestFrame DecisionFrame(color_space space, int32 whitePixels, uint32 white)
{
    TestFrame frame(space, DECISION_WIDTH, DECISION_LINES, 4);
    for (int32 i = 0; i < whitePixels; i++)
        frame.SetPixel(i % DECISION_WIDTH, DECISION_BAND_START + i / DECISION_WIDTH, white);
    return frame;
}

TEST(SubtitleContrastTest, BandIsAFifthOfThePictureAboveTheBottom)
{
    const struct {
        int32 lines;
        int32 first;
        int32 last;
    } cases[] = {{576, 431, 544}, {288, 214, 270}, {480, 359, 453}};
    for (const SubtitleContrastImplementation& path : EveryPath()) {
        for (const auto& test : cases) {
            TestFrame frame(B_RGB32, 40, test.lines, 4);
            frame.Fill(0x00808080);
            // No pixel reaches 255, so every band pixel is darkened.
            SubtitleContrastState state{true, 255, true};
            path.function(frame.View(), state);
            for (int32 y = 0; y < test.lines; y++) {
                const bool inBand = y >= test.first && y <= test.last;
                const uint32 expected = inBand ? 0x00404040 : 0x00808080;
                for (int32 x = 0; x < 40; x++) {
                    ASSERT_EQ(frame.Pixel(x, y), expected)
                        << path.name << " lines " << test.lines << " row " << y;
                }
            }
            EXPECT_EQ(Fields(state), Fields({false, 254, true})) << path.name;
        }
    }
}

// A pixel set in the band after the white text: column, row of the band, value.
struct BandPixel {
    int32 x;
    int32 row;
    uint32 value;
};

TEST(SubtitleContrastTest, StateAfterAFrameFollowsItsWhitePixelsAndTheirGreen)
{
    const std::vector<BandPixel> coloured = {{77, 40, Rgb32Pixel(10, 150, 240)}};
    const std::vector<BandPixel> colouredThenLast
        = {coloured[0], {DECISION_WIDTH - 1, 102, Rgb32Pixel(0, 120, 0)}};
    const struct {
        color_space space;
        int32 whitePixels;
        uint32 white;
        std::vector<BandPixel> after;
        SubtitleContrastState before;
        SubtitleContrastState expected;
    } cases[] = {
        // More than 2000 white pixels are subtitles: the threshold goes 6 below the green of the
        // last pixel in scan order that reached it, 3 below in the 16-bit spaces.
        {B_RGB32, 2001, 0x00C8C8C8, {}, {false, 20, true}, {true, 200 - 6, true}},
        {B_RGB32, 2000, 0x00C8C8C8, {}, {false, 20, true}, {false, 20, true}},
        {B_RGB16, 2001, Rgb16Pixel(20, 40, 20), {}, {false, 10, false}, {true, 17, false}},
        {B_RGB32, 2001, 0x00C8C8C8, coloured, {false, 20, true}, {true, 150 - 6, true}},
        {B_RGB32, 2001, 0x00C8C8C8, colouredThenLast, {false, 20, true}, {true, 120 - 6, true}},
        // The text alone reaches a threshold of 196; its last pixel does not raise it.
        {B_RGB32, 2001, 0x00C8C8C8, colouredThenLast, {false, 196, true}, {true, 196, true}},
        // A threshold from 8-bit green would shut out every 16-bit pixel: it is scaled to 25.
        {B_RGB16, 2001, Rgb16Pixel(30, 60, 30), {}, {false, 200, true}, {true, 30 - 3, false}},
        // And back: 27 on the 5-bit scale is 216, lowered by one as no subtitles show.
        {B_RGB32, 0, 0, {}, {true, 27, false}, {false, 215, true}},
        // Subtitles vanishing turn the mode off and lower the threshold by one; a threshold
        // below 10 without them is reset to 20.
        {B_RGB32, 0, 0, {}, {false, 9, true}, {false, 20, true}},
        {B_RGB32, 0, 0, {}, {false, 0, true}, {false, 20, true}},
        {B_RGB32, 0, 0, {}, {false, 10, true}, {false, 10, true}},
        {B_RGB32, 0, 0, {}, {true, 9, true}, {false, 19, true}},
        {B_RGB32, 0, 0, {}, {true, 10, true}, {false, 9, true}},
        {B_RGB32, 0, 0, {}, {true, 25, true}, {false, 24, true}},
        {B_RGB32, 0, 0, {}, {false, 24, true}, {false, 24, true}},
    };
    for (const SubtitleContrastImplementation& path : EveryPath()) {
        for (const auto& test : cases) {
            TestFrame frame = DecisionFrame(test.space, test.whitePixels, test.white);
            for (const BandPixel& pixel : test.after)
                frame.SetPixel(pixel.x, DECISION_BAND_START + pixel.row, pixel.value);
            // A frame that decides is not darkened itself.
            const TestFrame original = frame;
            SubtitleContrastState state = test.before;
            path.function(frame.View(), state);
            const std::string where = std::string(path.name) + " space "
                + std::to_string(test.space) + " white " + std::to_string(test.whitePixels)
                + " from " + std::to_string(test.before.threshold);
            EXPECT_EQ(Fields(state), Fields(test.expected)) << where;
            EXPECT_EQ(frame.Bytes(), original.Bytes()) << where;
        }
    }
}

TEST(SubtitleContrastTest, DarkensEveryChannelOfDarkPixelsAndLeavesWhiteOnes)
{
    const struct {
        color_space space;
        uint8 threshold;
        uint32 before;
        uint32 after;
    } cases[] = {
        // Colourless and bright: white, ignored bits kept.
        {B_RGB32, 100, 0xFF808080, 0xFF808080},
        // The lowest bit of each channel is not compared.
        {B_RGB32, 100, 0x00818081, 0x00818081},
        // Bright but coloured, and colourless but below the threshold: halved, top byte cleared.
        {B_RGB32, 100, 0x00C86432, 0x00643219},
        {B_RGB32, 100, 0xFF505050, 0x00282828},
        {B_RGB32, 100, 0x00636363, 0x00313131},
        {B_RGB16, 10, Rgb16Pixel(20, 40, 20), Rgb16Pixel(20, 40, 20)},
        {B_RGB16, 10, Rgb16Pixel(21, 41, 21), Rgb16Pixel(21, 41, 21)},
        {B_RGB16, 10, 0xF800, 0x7800},
        {B_RGB16, 10, 0xFD00, 0x7A80},
        {B_RGB16, 10, Rgb16Pixel(8, 16, 8), Rgb16Pixel(4, 8, 4)},
        {B_RGB15, 10, Rgb15Pixel(20, 20, 20, 1), Rgb15Pixel(20, 20, 20, 1)},
        {B_RGB15, 10, Rgb15Pixel(31, 0, 0, 1), Rgb15Pixel(15, 0, 0)},
        {B_RGB15, 10, Rgb15Pixel(8, 8, 8), Rgb15Pixel(4, 4, 4)},
    };
    for (const SubtitleContrastImplementation& path : EveryPath()) {
        for (const auto& test : cases) {
            // Eight lines: the band is row 4. Wide enough for every vector width, and one more
            // pixel so the fast paths run a partial vector too.
            TestFrame frame(test.space, 41, 8, 2);
            frame.Fill(test.before);
            const TestFrame original = frame;
            SubtitleContrastState state{true, test.threshold, test.space == B_RGB32};
            path.function(frame.View(), state);
            for (int32 y = 0; y < 8; y++) {
                for (int32 x = 0; x < 41; x++) {
                    ASSERT_EQ(frame.Pixel(x, y), y == 4 ? test.after : test.before)
                        << path.name << " space " << test.space << " pixel " << test.before;
                }
            }
        }
    }
}

TEST(SubtitleContrastTest, FramesUnderThreeLinesOrOfOtherSpacesAreLeftAlone)
{
    std::mt19937 random(8);
    const struct {
        color_space space;
        int32 lines;
    } cases[] = {{B_RGB32, 1}, {B_RGB16, 2}, {B_GRAY8, 576}, {B_RGB24, 576}, {B_CMAP8, 576}};
    for (const SubtitleContrastImplementation& path : EveryPath()) {
        for (const auto& test : cases) {
            TestFrame frame(test.space, 64, test.lines, 8);
            frame.Randomize(random);
            const TestFrame original = frame;
            SubtitleContrastState state;
            path.function(frame.View(), state);
            EXPECT_EQ(frame.Bytes(), original.Bytes()) << path.name << " space " << test.space;
            EXPECT_EQ(Fields(state), Fields({true, 0, false})) << path.name;
        }
        // Three lines make an empty band: a frame without subtitles.
        TestFrame frame(B_RGB32, 64, 3);
        SubtitleContrastState state;
        path.function(frame.View(), state);
        EXPECT_EQ(Fields(state), Fields({false, 19, true})) << path.name;
    }
}

TEST(SubtitleContrastTest, ProcessWideStateCarriesFromFrameToFrame)
{
    // Whatever the state before, a frame of nothing but white turns the mode off and leaves a
    // threshold of at least 10.
    TestFrame allWhite(B_RGB32, DECISION_WIDTH, DECISION_LINES);
    allWhite.Fill(0x00FFFFFF);
    SubtitleContrast(allWhite.View());
    SubtitleContrast(allWhite.View());

    // White text on a coloured background of green 0, which is below any such threshold: the
    // first frame only turns the mode on, the second is darkened.
    TestFrame subtitles = DecisionFrame(B_RGB32, 2001, 0x00FFFFFF);
    for (int32 i = 2001; i < DECISION_WIDTH * 103; i++) {
        subtitles.SetPixel(i % DECISION_WIDTH, DECISION_BAND_START + i / DECISION_WIDTH,
            Rgb32Pixel(200, 0, 100));
    }
    const TestFrame original = subtitles;
    SubtitleContrast(subtitles.View());
    EXPECT_EQ(subtitles.Bytes(), original.Bytes());
    SubtitleContrast(subtitles.View());
    EXPECT_EQ(subtitles.Pixel(0, DECISION_BAND_START), 0x00FFFFFFu);
    EXPECT_EQ(subtitles.Pixel(DECISION_WIDTH - 1, DECISION_BAND_START + 102),
        Rgb32Pixel(100, 0, 50));
}

// Pixels mixing colourless ones of every level (whitePercent of them, with random lowest bits)
// with random ones, so thresholds, white counts and decisions all vary.
void RandomizeForSubtitles(TestFrame& frame, std::mt19937& random, uint32 whitePercent)
{
    frame.Randomize(random);
    const color_space space = frame.View().colorSpace;
    for (int32 y = 0; y < frame.View().lines; y++) {
        for (int32 x = 0; x < frame.View().width; x++) {
            if (random() % 100 >= whitePercent)
                continue;
            const uint32 bits = random();
            const uint32 red = bits & 1;
            const uint32 green = bits >> 1 & 1;
            const uint32 blue = bits >> 2 & 1;
            if (space == B_RGB32) {
                const uint32 level = bits >> 8 & 0xFF;
                frame.SetPixel(x, y,
                    Rgb32Pixel(level ^ red, level ^ green, level ^ blue, bits >> 16 & 0xFF));
            } else if (space == B_RGB16) {
                const uint32 level = bits >> 8 & 0x1F;
                frame.SetPixel(x, y, Rgb16Pixel(level ^ red, level * 2 + green, level ^ blue));
            } else {
                const uint32 level = bits >> 8 & 0x1F;
                frame.SetPixel(x, y,
                    Rgb15Pixel(level ^ red, level ^ green, level ^ blue, bits >> 16 & 1));
            }
        }
    }
}

TEST(SubtitleContrastTest, FastPathsMatchReferenceOnRandomFrames)
{
    std::mt19937 random(9);
    const std::vector<SubtitleContrastImplementation> paths = EveryPath();
    struct Size {
        int32 width;
        int32 lines;
        int32 padding;
    };
    std::vector<Size> sizes;
    // Every width up to past two AVX2 vectors of 16-bit pixels, then random larger ones.
    for (int32 width = 1; width <= 40; width++)
        sizes.push_back({width, 3 + width % 30, width % 5});
    for (int32 i = 0; i < 20; i++) {
        sizes.push_back(
            {1 + int32(random() % 800), 7 + int32(random() % 594), int32(random() % 40)});
    }
    sizes.push_back({768, 576, 0});
    sizes.push_back({720, 576, 0});
    for (color_space space : SPACES) {
        for (const Size& size : sizes) {
            // Each path follows the same run of frames from the same state.
            const uint8 maxThreshold = space == B_RGB32 ? 255 : 31;
            const SubtitleContrastState start{random() % 2 == 0,
                uint8(random() % (maxThreshold + 1)), space == B_RGB32};
            std::vector<SubtitleContrastState> states(paths.size(), start);
            SubtitleContrastState referenceState = start;
            for (int32 frameNumber = 0; frameNumber < 4; frameNumber++) {
                TestFrame original(space, size.width, size.lines, size.padding);
                RandomizeForSubtitles(original, random, uint32(random() % 60));
                TestFrame reference = original;
                SubtitleContrastReference(reference.View(), referenceState);
                for (size_t p = 0; p < paths.size(); p++) {
                    TestFrame frame = original;
                    paths[p].function(frame.View(), states[p]);
                    const std::string where = std::string(paths[p].name) + " space "
                        + std::to_string(space) + " width " + std::to_string(size.width)
                        + " lines " + std::to_string(size.lines) + " frame "
                        + std::to_string(frameNumber);
                    ASSERT_EQ(frame.Bytes(), reference.Bytes()) << where;
                    EXPECT_EQ(Fields(states[p]), Fields(referenceState)) << where;
                }
            }
        }
    }
}

TEST(SubtitleContrastTest, EveryFastPathThisCpuRunsIsListed)
{
    std::vector<std::string> names;
    for (const SubtitleContrastImplementation& implementation : SubtitleContrastImplementations())
        names.push_back(implementation.name);
    std::vector<std::string> expected{"Scalar"};
#if defined(__x86_64__)
    expected.push_back("Sse2");
    if (__builtin_cpu_supports("avx2"))
        expected.push_back("Avx2");
#endif
    EXPECT_EQ(names, expected);
}

}
}
