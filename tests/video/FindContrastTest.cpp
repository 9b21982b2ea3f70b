#include "video/FindContrast.h"

#include "tests/video/FrameTestSupport.h"
#include "video/FindContrastPrivate.h"
#include "video/PixelFormat.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace video::test {
namespace {

size_t BitsLength(const TestFrame& frame)
{
    return size_t(frame.View().bytesPerRow) * size_t(frame.View().lines);
}

int32 Contrast(const TestFrame& frame)
{
    return FindContrast(frame.View(), BitsLength(frame));
}

TEST(FindContrastTest, SixteenBitFrameAlternatingLevelsSumsEveryStep)
{
    // Levels 0 and 28 alternate over the 1024 pixels walked, starting with 0; the pixels past
    // them are noise the walk must not reach.
    const struct {
        color_space space;
        uint32 levelTwentyEight;
    } cases[] = {{B_RGB16, 0x1C << 6}, {B_RGB15, 0x1C << 5}};
    std::mt19937 random(1);
    for (const auto& test : cases) {
        TestFrame frame(test.space, 768, 8);
        frame.Randomize(random);
        for (int32 i = 0; i < 1024; i++)
            frame.SetPixel(i % 768, i / 768, i % 2 == 0 ? 0 : test.levelTwentyEight);
        EXPECT_EQ(Contrast(frame), 28 * 1023) << test.space;
    }
}

TEST(FindContrastTest, LevelIsTheTopThreeBitsOfGreen)
{
    // Only the top three green bits count: red, blue and the lower green bits change nothing.
    TestFrame frame(B_RGB32, 768, 4);
    const uint32 levelZero = Rgb32Pixel(0xFF, 0x1F, 0xFF, 0xFF);
    const uint32 levelTwelve = Rgb32Pixel(0, 0x60, 0);
    for (int32 x = 0; x < 768; x++)
        frame.SetPixel(x, 0, x % 2 == 0 ? levelZero : levelTwelve);
    // Levels 0 and 12 alternate along row 0; the black row 1 starts with one more step down.
    EXPECT_EQ(Contrast(frame), 12 * 768);

    TestFrame rgb16(B_RGB16, 1024, 2);
    rgb16.SetPixel(0, 0, Rgb16Pixel(31, 0x3F, 31));
    // Level 28, then 0 for the rest: two steps.
    EXPECT_EQ(Contrast(rgb16), 28 * 2);
}

TEST(FindContrastTest, GreyWalksFiveHundredTwelveBytesAndCountsFourTimes)
{
    TestFrame frame(B_GRAY8, 768, 2);
    // Bits 2 to 4 of the byte are the level: 0xE3 is level 0, 0x1C level 28.
    for (int32 x = 0; x < 768; x++)
        frame.SetPixel(x, 0, x % 2 == 0 ? 0xE3 : 0x1C);
    EXPECT_EQ(Contrast(frame), 28 * 511 * 4);
}

TEST(FindContrastTest, FlatFramesOtherSpacesAndNullBitsGiveZero)
{
    for (color_space space : {B_GRAY8, B_RGB15, B_RGB16, B_RGB32}) {
        TestFrame frame(space, 768, 576);
        EXPECT_EQ(Contrast(frame), 0) << space;
    }
    EXPECT_EQ(FindContrast(FrameView{nullptr, 3072, 768, 576, B_RGB32}, 3072 * 576), 0);
    std::mt19937 random(2);
    for (color_space space : {B_RGB24, B_CMAP8, B_RGBA32, B_NO_COLOR_SPACE}) {
        TestFrame frame(space, 0, 16, 2304);
        frame.Randomize(random);
        EXPECT_EQ(Contrast(frame), 0) << space;
    }
}

TEST(FindContrastTest, WalkNeverPassesTheBitsLength)
{
    // The bits end after ten and a half RGB32 pixels, in a vector of exactly that size.
    std::vector<uint8> bits(42);
    for (size_t i = 0; i < 10; i++) {
        const uint32 pixel = i % 2 == 0 ? 0 : 0xE000;
        std::memcpy(bits.data() + i * 4, &pixel, 4);
    }
    bits[40] = 0xFF;
    bits[41] = 0xFF;
    const FrameView frame{bits.data(), 42, 10, 1, B_RGB32};
    EXPECT_EQ(FindContrast(frame, bits.size()), 28 * 9);
    EXPECT_EQ(FindContrast(frame, 0), 0);

    const std::vector<uint8> grey{0x1C, 0, 0x1C, 0, 0x1C, 0};
    EXPECT_EQ(FindContrastScalar<Gray8>(grey.data(), 5), 28 * 5 * 4);
    EXPECT_EQ(FindContrastScalar<Gray8>(grey.data(), 6), 28 * 6 * 4);
}

}
}
