#include "devices/ColourProcessor.h"

#include "kits/interface/FrameView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
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

// Processes the image whose pixel at (x, y) is colour(x, y) into tightly packed rows and hands
// back every pixel.
template <typename Colour>
std::vector<uint32> Processed(int32 width, int32 lines, Colour colour,
    const PictureControls& controls = {}, color_space space = B_RGB32)
{
    RgbImage image;
    EXPECT_EQ(image.Allocate(width, lines), B_OK);
    for (int32 y = 0; y < lines; y++) {
        for (int32 x = 0; x < width; x++)
            image.Row(y)[x] = colour(x, y);
    }
    const int32 pixelBytes = BytesPerPixel(space);
    std::vector<uint8> bytes(size_t(width) * lines * pixelBytes);
    ColourProcessor(controls, space).Process(image, bytes.data(), width * pixelBytes);
    std::vector<uint32> pixels(size_t(width) * lines);
    for (size_t i = 0; i < pixels.size(); i++)
        std::memcpy(&pixels[i], bytes.data() + i * pixelBytes, size_t(pixelBytes));
    return pixels;
}

TEST(ColourProcessorTest, SolidColoursFollowTheControls)
{
    const ColourProcessor plain({}, B_RGB32);
    // Default controls keep greys exactly and colours within rounding.
    for (uint32 level : {0u, 1u, 77u, 128u, 254u, 255u})
        EXPECT_EQ(plain.PackSolid(Rgb(level, level, level)), 0xFF000000u | level * 0x010101u);
    const ColourProcessor grey({.saturation = 0}, B_RGB32);
    const ColourProcessor turned({.hue = 90}, B_RGB32);
    for (uint32 rgb : {Rgb(191, 0, 0), Rgb(20, 110, 120), Rgb(245, 205, 90)}) {
        for (int32 shift : {0, 8, 16}) {
            EXPECT_LE(
                std::abs(int32(plain.PackSolid(rgb) >> shift & 0xFF) - int32(rgb >> shift & 0xFF)),
                2)
                << std::hex << rgb;
        }
        // Saturation and hue act on colour only.
        EXPECT_TRUE(IsGrey32(grey.PackSolid(rgb))) << std::hex << rgb;
        EXPECT_NE(turned.PackSolid(rgb), plain.PackSolid(rgb)) << std::hex << rgb;
        EXPECT_FALSE(IsGrey32(turned.PackSolid(rgb))) << std::hex << rgb;
    }
    EXPECT_EQ(turned.PackSolid(Rgb(90, 90, 90)), plain.PackSolid(Rgb(90, 90, 90)));
    const struct {
        PictureControls controls;
        color_space space;
        uint32 rgb;
        uint32 packed;
    } cases[]
        = {{{}, B_RGB16, WHITE, 0xFFFF}, {{}, B_RGB15, WHITE, 0x7FFF}, {{}, B_GRAY8, WHITE, 0xFF},
            {{}, B_RGB16, Rgb(255, 0, 0), 0xF800}, {{}, B_RGB15, Rgb(0, 0, 255), 0x001F},
            // Brightness adds to the luma and contrast scales it; values outside the published
            // ranges are held at their ends.
            {{.brightness = 20}, B_RGB32, Rgb(100, 100, 100), 0xFF787878},
            {{.brightness = -128}, B_RGB32, Rgb(100, 100, 100), 0xFF000000},
            {{.contrast = 50}, B_RGB32, Rgb(100, 100, 100), 0xFF323232},
            {{.contrast = 1000}, B_RGB32, Rgb(100, 100, 100), 0xFFC8C8C8},
            // Gamma brightens the mid-tones and keeps the ends.
            {{.gamma = true}, B_RGB32, Rgb(0, 0, 0), 0xFF000000},
            {{.gamma = true}, B_RGB32, WHITE, 0xFFFFFFFF}};
    for (const auto& entry : cases) {
        EXPECT_EQ(ColourProcessor(entry.controls, entry.space).PackSolid(entry.rgb), entry.packed)
            << std::hex << entry.rgb << " in " << std::dec << entry.space;
    }
    const uint32 mid = ColourProcessor({.gamma = true}, B_RGB32).PackSolid(Rgb(64, 64, 64));
    EXPECT_TRUE(IsGrey32(mid));
    EXPECT_GT(Green32(mid), 100);
}

TEST(ColourProcessorTest, LumaCoringFlattensGrainButKeepsEdges)
{
    std::mt19937 random(5);
    std::vector<uint32> levels(64, 200);
    std::generate(levels.begin(), levels.begin() + 32, [&] { return 100 + random() % 7; });
    const auto grainThenStep
        = [&](int32 x, int32) { return Rgb(levels[x], levels[x], levels[x]); };
    const std::vector<uint32> plain = Processed(64, 1, grainThenStep);
    const std::vector<uint32> cored = Processed(64, 1, grainThenStep, {.lumaCoring = true});
    const auto roughness = [](const std::vector<uint32>& pixels) {
        int32 sum = 0;
        for (int32 x = 1; x < 31; x++)
            sum += std::abs(Green32(pixels[x]) - Green32(pixels[x - 1]));
        return sum;
    };
    EXPECT_LT(roughness(cored) * 2, roughness(plain));
    // The step from 106 or less to 200 is no grain.
    EXPECT_EQ(Green32(cored[40]), 200);
    EXPECT_LT(Green32(cored[31]), 110);
}

TEST(ColourProcessorTest, WithoutTheCombFineGreyDetailTurnsColoured)
{
    const auto stripes
        = [](int32 x, int32) { return x / 2 % 2 == 0 ? Rgb(40, 40, 40) : Rgb(220, 220, 220); };
    EXPECT_EQ(std::ranges::count_if(Processed(64, 4, stripes), IsGrey32), 64 * 4);
    EXPECT_LT(std::ranges::count_if(Processed(64, 4, stripes, {.chromaComb = false}), IsGrey32),
        64 * 4 / 2);
}

TEST(ColourProcessorTest, ErrorDiffusionMixesCodesToKeepTheMeanLevelAndWhiteStaysWhite)
{
    // 103 lies between the 5-bit codes for 99 and 107.
    const auto flat = [](int32, int32) { return Rgb(103, 103, 103); };
    const auto meanRed = [](const std::vector<uint32>& pixels) {
        double sum = 0;
        for (uint32 pixel : pixels) {
            const uint32 code = pixel >> 11 & 0x1F;
            sum += (code << 3) | (code >> 2);
        }
        return sum / double(pixels.size());
    };
    const std::vector<uint32> plain = Processed(64, 16, flat, {}, B_RGB16);
    const std::vector<uint32> diffused
        = Processed(64, 16, flat, {.errorDiffusion = true}, B_RGB16);
    EXPECT_EQ(std::ranges::count(plain, plain[0]), int64(plain.size()));
    EXPECT_LT(std::ranges::count(diffused, diffused[0]), int64(plain.size()));
    EXPECT_LT(std::abs(meanRed(diffused) - 103.0), 1.0);
    EXPECT_EQ(meanRed(plain), 99.0);
    // Nothing to diffuse into 32-bit pixels.
    EXPECT_EQ(Processed(64, 16, flat, {.errorDiffusion = true}), Processed(64, 16, flat));

    const auto checks = [](int32 x, int32 y) {
        return (x / 3 + y / 3) % 2 == 0 ? WHITE : Rgb(37 + uint32(x), 93, 151 - uint32(y));
    };
    for (color_space space : {B_RGB16, B_RGB15}) {
        const std::vector<uint32> pixels
            = Processed(48, 12, checks, {.errorDiffusion = true}, space);
        for (size_t i = 0; i < pixels.size(); i++) {
            if (checks(int32(i % 48), int32(i / 48)) == WHITE) {
                ASSERT_EQ(pixels[i], space == B_RGB16 ? 0xFFFFu : 0x7FFFu) << i;
            }
        }
    }
}

}
}
