#include "devices/ColourProcessor.h"

#include "kits/interface/FrameView.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <tuple>
#include <vector>

namespace devices::test {
namespace {

constexpr uint32 WHITE = Rgb(255, 255, 255);

int32 Green32(uint32 pixel)
{
    return int32(pixel >> 8 & 0xFF);
}

bool IsGrey32(uint32 pixel)
{
    return (pixel >> 16 & 0xFF) == (pixel >> 8 & 0xFF) && (pixel >> 8 & 0xFF) == (pixel & 0xFF);
}

// Processes an image into tightly packed rows and hands back every pixel.
std::vector<uint32> ProcessAll(
    const RgbImage& image, const PictureControls& controls, color_space space)
{
    const int32 pixelBytes = BytesPerPixel(space);
    std::vector<uint8> bytes(size_t(image.Width()) * image.Lines() * pixelBytes);
    ColourProcessor(controls, space).Process(image, bytes.data(), image.Width() * pixelBytes);
    std::vector<uint32> pixels(size_t(image.Width()) * image.Lines());
    for (size_t i = 0; i < pixels.size(); i++)
        std::memcpy(&pixels[i], bytes.data() + i * pixelBytes, size_t(pixelBytes));
    return pixels;
}

// An image whose pixel at (x, y) is colour(x, y).
template <typename Colour>
RgbImage Image(int32 width, int32 lines, Colour colour)
{
    RgbImage image;
    EXPECT_EQ(image.Allocate(width, lines), B_OK);
    for (int32 y = 0; y < image.Lines(); y++) {
        for (int32 x = 0; x < width; x++)
            image.Row(y)[x] = colour(x, y);
    }
    return image;
}

TEST(ColourProcessorTest, DefaultControlsKeepColoursAndGreysExactly)
{
    const ColourProcessor processor({}, B_RGB32);
    for (uint32 level : {0u, 1u, 77u, 128u, 254u, 255u})
        EXPECT_EQ(processor.PackSolid(Rgb(level, level, level)), 0xFF000000u | level * 0x010101u);
    for (uint32 rgb : {Rgb(191, 0, 0), Rgb(0, 191, 191), Rgb(60, 80, 130), Rgb(245, 205, 90)}) {
        for (int32 shift : {0, 8, 16}) {
            EXPECT_LE(std::abs(int32(processor.PackSolid(rgb) >> shift & 0xFF)
                          - int32(rgb >> shift & 0xFF)),
                2)
                << std::hex << rgb;
        }
    }
    const std::tuple<color_space, uint32, uint32> packed[]
        = {{B_RGB16, WHITE, 0xFFFF}, {B_RGB15, WHITE, 0x7FFF}, {B_GRAY8, WHITE, 0xFF},
            {B_RGB16, Rgb(255, 0, 0), 0xF800}, {B_RGB15, Rgb(0, 0, 255), 0x001F}};
    for (const auto& [space, rgb, expected] : packed)
        EXPECT_EQ(ColourProcessor({}, space).PackSolid(rgb), expected) << space;
}

TEST(ColourProcessorTest, BrightnessAddsAndContrastScalesTheLuma)
{
    // On a grey of level 100; values outside the published ranges are held at their ends.
    const std::pair<PictureControls, uint32> cases[]
        = {{{.brightness = 20}, 0x787878u}, {{.brightness = -128}, 0u},
            {{.contrast = 50}, 0x323232u}, {{.contrast = 1000}, 0xC8C8C8u}};
    for (const auto& [controls, expected] : cases) {
        EXPECT_EQ(
            ColourProcessor(controls, B_RGB32).PackSolid(Rgb(100, 100, 100)) & 0xFFFFFF, expected);
    }
}

TEST(ColourProcessorTest, SaturationAndHueActOnColourOnly)
{
    const ColourProcessor grey({.saturation = 0}, B_RGB32);
    const ColourProcessor turned({.hue = 90}, B_RGB32);
    const ColourProcessor plain({}, B_RGB32);
    for (uint32 rgb : {Rgb(191, 0, 0), Rgb(20, 110, 120), Rgb(245, 205, 90)}) {
        EXPECT_TRUE(IsGrey32(grey.PackSolid(rgb))) << std::hex << rgb;
        EXPECT_NE(turned.PackSolid(rgb), plain.PackSolid(rgb)) << std::hex << rgb;
        EXPECT_FALSE(IsGrey32(turned.PackSolid(rgb))) << std::hex << rgb;
    }
    EXPECT_EQ(turned.PackSolid(Rgb(90, 90, 90)), plain.PackSolid(Rgb(90, 90, 90)));
}

TEST(ColourProcessorTest, GammaBrightensMidTonesAndKeepsTheEnds)
{
    const ColourProcessor gamma({.gamma = true}, B_RGB32);
    EXPECT_EQ(gamma.PackSolid(Rgb(0, 0, 0)) & 0xFFFFFF, 0u);
    EXPECT_EQ(gamma.PackSolid(WHITE) & 0xFFFFFF, 0xFFFFFFu);
    const uint32 mid = gamma.PackSolid(Rgb(64, 64, 64));
    EXPECT_TRUE(IsGrey32(mid));
    EXPECT_GT(Green32(mid), 100);
}

TEST(ColourProcessorTest, LumaCoringFlattensGrainButKeepsEdges)
{
    std::mt19937 random(5);
    const RgbImage image = Image(64, 4, [&](int32 x, int32) {
        const uint32 level = x < 32 ? 100 + random() % 7 : 200;
        return Rgb(level, level, level);
    });
    const auto roughness = [](const std::vector<uint32>& pixels) {
        int32 sum = 0;
        for (int32 x = 1; x < 31; x++)
            sum += std::abs(Green32(pixels[x]) - Green32(pixels[x - 1]));
        return sum;
    };
    const std::vector<uint32> plain = ProcessAll(image, {}, B_RGB32);
    const std::vector<uint32> cored = ProcessAll(image, {.lumaCoring = true}, B_RGB32);
    EXPECT_LT(roughness(cored) * 2, roughness(plain));
    // The step from 106 or less to 200 is no grain.
    EXPECT_EQ(Green32(cored[40]), 200);
    EXPECT_LT(Green32(cored[31]), 110);
}

TEST(ColourProcessorTest, WithoutTheCombFineGreyDetailTurnsColoured)
{
    const RgbImage image = Image(64, 4,
        [](int32 x, int32) { return x / 2 % 2 == 0 ? Rgb(40, 40, 40) : Rgb(220, 220, 220); });
    const auto coloured = [](const std::vector<uint32>& pixels) {
        int32 count = 0;
        for (uint32 pixel : pixels)
            count += !IsGrey32(pixel);
        return count;
    };
    EXPECT_EQ(coloured(ProcessAll(image, {}, B_RGB32)), 0);
    EXPECT_GT(coloured(ProcessAll(image, {.chromaComb = false}, B_RGB32)), 64 * 4 / 2);
}

TEST(ColourProcessorTest, ErrorDiffusionMixesCodesToKeepTheMeanLevel)
{
    // 103 lies between the 5-bit codes for 99 and 107.
    const RgbImage image = Image(64, 16, [](int32, int32) { return Rgb(103, 103, 103); });
    const auto meanRed = [](const std::vector<uint32>& pixels) {
        double sum = 0;
        for (uint32 pixel : pixels) {
            const uint32 code = pixel >> 11 & 0x1F;
            sum += (code << 3) | (code >> 2);
        }
        return sum / double(pixels.size());
    };
    const std::vector<uint32> plain = ProcessAll(image, {}, B_RGB16);
    const std::vector<uint32> diffused = ProcessAll(image, {.errorDiffusion = true}, B_RGB16);
    EXPECT_EQ(std::count(plain.begin(), plain.end(), plain[0]), int64(plain.size()));
    EXPECT_LT(std::count(diffused.begin(), diffused.end(), diffused[0]), int64(plain.size()));
    EXPECT_LT(std::abs(meanRed(diffused) - 103.0), 1.0);
    EXPECT_EQ(meanRed(plain), 99.0);
    // Nothing to diffuse into 32-bit pixels.
    EXPECT_EQ(
        ProcessAll(image, {.errorDiffusion = true}, B_RGB32), ProcessAll(image, {}, B_RGB32));
}

TEST(ColourProcessorTest, WhiteStaysWhiteBesideDiffusedColours)
{
    const RgbImage image = Image(48, 12, [](int32 x, int32 y) {
        return (x / 3 + y / 3) % 2 == 0 ? WHITE : Rgb(37 + uint32(x), 93, 151 - uint32(y));
    });
    for (color_space space : {B_RGB16, B_RGB15}) {
        const std::vector<uint32> pixels = ProcessAll(image, {.errorDiffusion = true}, space);
        const uint32 white = space == B_RGB16 ? 0xFFFF : 0x7FFF;
        for (size_t i = 0; i < pixels.size(); i++) {
            if (image.Row(0)[i] == WHITE) {
                ASSERT_EQ(pixels[i], white) << i;
            }
        }
    }
}

}
}
