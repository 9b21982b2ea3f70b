#include "video/DeInterlace.h"

#include "tests/video/FrameTestSupport.h"
#include "video/DeInterlacePrivate.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace video::test {
namespace {

// Halves each channel of both pixels, rounding down, and adds them; ignored bits come out clear.
uint32 Average(color_space space, uint32 upper, uint32 lower)
{
    const uint32 mask = space == B_GRAY8 ? 0xFE
        : space == B_RGB15                ? 0x7BDE
        : space == B_RGB16                ? 0xF7DE
                                          : 0x00FEFEFE;
    return ((upper & mask) >> 1) + ((lower & mask) >> 1);
}

// The public entry and every implementation, each run on its own copy of the frame.
std::vector<DeInterlaceImplementation> EveryPath()
{
    std::vector<DeInterlaceImplementation> paths = DeInterlaceImplementations();
    paths.push_back({"DeInterlace", DeInterlace});
    return paths;
}

TEST(DeInterlaceTest, ChannelsHalveWithoutCarryAndIgnoredBitsClear)
{
    const struct {
        color_space space;
        uint32 upper;
        uint32 lower;
        uint32 blended;
    } cases[] = {
        {B_GRAY8, 0xFF, 0xFF, 0xFE},
        {B_GRAY8, 0xFF, 0x00, 0x7F},
        {B_GRAY8, 0x01, 0x01, 0x00},
        {B_RGB15, 0xFFFF, 0xFFFF, 0x7BDE},
        {B_RGB15, 0x8000, 0x8000, 0x0000},
        {B_RGB16, 0xFFFF, 0xFFFF, 0xF7DE},
        // Red 2, green 4, blue 4 over black: red 1, green 2, blue 2.
        {B_RGB16, 0x1084, 0x0000, 0x0842},
        {B_RGB16, 0x0821, 0x0821, 0x0000},
        {B_RGB32, 0xFFFFFFFF, 0xFFFFFFFF, 0x00FEFEFE},
        {B_RGB32, 0xFF010101, 0x00000000, 0x00000000},
        {B_RGB32, 0x00804020, 0x00204080, 0x00504050},
    };
    for (const DeInterlaceImplementation& path : EveryPath()) {
        for (const auto& test : cases) {
            // Wide enough for every vector width, so the fast paths run their vectors.
            TestFrame frame(test.space, 40, 7);
            frame.Fill(test.lower);
            for (int32 x = 0; x < 40; x++)
                frame.SetPixel(x, 0, test.upper);
            path.function(frame.View());
            for (int32 x = 0; x < 40; x++) {
                ASSERT_EQ(frame.Pixel(x, 0), test.blended)
                    << path.name << " space " << test.space << " upper " << test.upper;
            }
        }
    }
}

// Frames of six lines or fewer are left alone.
TEST(DeInterlaceTest, BlendsEachRowWithTheOriginalRowBelowDownToTheLastWholeGroup)
{
    const struct {
        int32 lines;
        int32 blendedRows;
    } cases[] = {{576, 572}, {288, 284}, {480, 476}, {7, 4}, {10, 4}, {11, 8}, {6, 0}, {1, 0}};
    std::mt19937 random(4);
    for (const DeInterlaceImplementation& path : EveryPath()) {
        for (color_space space : CONSUMER_SPACES) {
            for (const auto& test : cases) {
                ASSERT_EQ(DeInterlacedRows(test.lines), test.blendedRows);
                TestFrame frame(space, 45, test.lines, 5);
                frame.Randomize(random);
                // Padding and the bytes past the frame must stay as they are.
                TestFrame expected = frame;
                for (int32 y = 0; y < test.blendedRows; y++) {
                    for (int32 x = 0; x < 45; x++) {
                        expected.SetPixel(x, y,
                            Average(space, frame.Pixel(x, y), frame.Pixel(x, y + 1)));
                    }
                }
                path.function(frame.View());
                ASSERT_EQ(frame.Bytes(), expected.Bytes())
                    << path.name << " space " << space << " lines " << test.lines;
            }
        }
    }
}

TEST(DeInterlaceTest, OtherColourSpacesAndUnusableFramesAreLeftAlone)
{
    std::mt19937 random(5);
    for (color_space space : {B_RGB24, B_CMAP8, B_RGBA32, B_NO_COLOR_SPACE}) {
        TestFrame frame(space, 0, 64, 100);
        frame.Randomize(random);
        const TestFrame original = frame;
        for (const DeInterlaceImplementation& path : EveryPath())
            path.function(frame.View());
        EXPECT_EQ(frame.Bytes(), original.Bytes()) << space;
    }
    // Rows too short for their width: the public entry must not touch them.
    TestFrame frame(B_RGB32, 16, 64);
    frame.Randomize(random);
    const TestFrame original = frame;
    FrameView tooShort = frame.View();
    tooShort.bytesPerRow = 60;
    DeInterlace(tooShort);
    DeInterlace(FrameView{nullptr, 64, 16, 64, B_RGB32});
    EXPECT_EQ(frame.Bytes(), original.Bytes());
}

TEST(DeInterlaceTest, FastPathsMatchReferenceOnRandomFrames)
{
    std::mt19937 random(6);
    const std::vector<DeInterlaceImplementation> paths = EveryPath();
    const std::vector<FrameSize> sizes = FastPathSizes(random, 7, 24, 800, 600);
    for (color_space space : CONSUMER_SPACES) {
        for (const FrameSize& size : sizes) {
            TestFrame original(space, size.width, size.lines, size.padding);
            original.Randomize(random);
            TestFrame reference = original;
            DeInterlaceReference(reference.View());
            for (const DeInterlaceImplementation& path : paths) {
                TestFrame frame = original;
                path.function(frame.View());
                ASSERT_EQ(frame.Bytes(), reference.Bytes())
                    << path.name << " space " << space << " width " << size.width << " lines "
                    << size.lines << " padding " << size.padding;
            }
        }
    }
}

TEST(DeInterlaceTest, EveryFastPathThisCpuRunsIsListed)
{
    std::vector<std::string> names;
    for (const DeInterlaceImplementation& implementation : DeInterlaceImplementations())
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
