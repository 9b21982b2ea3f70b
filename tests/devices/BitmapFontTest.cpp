#include "devices/BitmapFont.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace devices::test {
namespace {

constexpr uint32 INK = Rgb(255, 255, 255);

RgbImage Blank(int32 width, int32 lines)
{
    RgbImage image;
    EXPECT_EQ(image.Allocate(width, lines), B_OK);
    image.FillRect(0, 0, width, lines, 0);
    return image;
}

// Rows follow each other in memory, so the whole image is one run of pixels.
bool SameImage(const RgbImage& a, const RgbImage& b)
{
    return std::equal(a.Row(0), a.Row(a.Lines()), b.Row(0));
}

TEST(BitmapFontTest, DrawsScaledCellsOfTheGlyphAndMeasuresWithoutTheLastGap)
{
    EXPECT_EQ(BitmapFont::TextWidth("", 3), 0);
    EXPECT_EQ(BitmapFont::TextWidth("A", 1), 5);
    EXPECT_EQ(BitmapFont::TextWidth("AB", 2), 22);
    RgbImage image = Blank(10, 14);
    BitmapFont::Draw(image, 0, 0, "T", 2, INK);
    // The bar is two cells tall, the stem two cells wide.
    for (int32 y = 0; y < 14; y++) {
        for (int32 x = 0; x < 10; x++)
            EXPECT_EQ(image.Row(y)[x], y < 2 || x == 4 || x == 5 ? INK : 0u) << x << "," << y;
    }
}

TEST(BitmapFontTest, LowerCaseDrawsAsCapitalsUnknownAsAQuestionMarkAndEdgesClip)
{
    const auto drawn = [](const char* text) {
        RgbImage image = Blank(40, 7);
        BitmapFont::Draw(image, 0, 0, text, 1, INK);
        return image;
    };
    for (const auto& [text, same] : {std::pair{"tv 3", "TV 3"}, {"~", "?"}})
        EXPECT_TRUE(SameImage(drawn(text), drawn(same))) << text;
    // Text reaching past every edge is clipped.
    RgbImage image = Blank(8, 8);
    BitmapFont::Draw(image, -7, -9, "WIDE TEXT", 3, INK);
    BitmapFont::Draw(image, 5, 6, "WIDE TEXT", 3, INK);
    EXPECT_GT(std::count(image.Row(0), image.Row(8), INK), 0);
}

}
}
