#include "devices/BitmapFont.h"

#include <gtest/gtest.h>

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

bool SameImage(RgbImage& a, RgbImage& b)
{
    for (int32 y = 0; y < a.Lines(); y++) {
        for (int32 x = 0; x < a.Width(); x++) {
            if (a.Row(y)[x] != b.Row(y)[x])
                return false;
        }
    }
    return true;
}

TEST(BitmapFontTest, WidthLeavesOutTheGapAfterTheLastLetter)
{
    EXPECT_EQ(BitmapFont::TextWidth("", 3), 0);
    EXPECT_EQ(BitmapFont::TextWidth("A", 1), 5);
    EXPECT_EQ(BitmapFont::TextWidth("AB", 2), 22);
}

TEST(BitmapFontTest, DrawsScaledCellsOfTheGlyph)
{
    RgbImage image = Blank(10, 14);
    BitmapFont::Draw(image, 0, 0, "T", 2, INK);
    for (int32 x = 0; x < 10; x++) {
        EXPECT_EQ(image.Row(0)[x], INK);
        EXPECT_EQ(image.Row(1)[x], INK);
    }
    for (int32 y = 2; y < 14; y++) {
        for (int32 x = 0; x < 10; x++)
            EXPECT_EQ(image.Row(y)[x], x == 4 || x == 5 ? INK : 0u) << x << "," << y;
    }
}

TEST(BitmapFontTest, LowerCaseDrawsAsCapitalsAndUnknownAsAQuestionMark)
{
    RgbImage lower = Blank(40, 7);
    RgbImage upper = Blank(40, 7);
    BitmapFont::Draw(lower, 0, 0, "tv 3", 1, INK);
    BitmapFont::Draw(upper, 0, 0, "TV 3", 1, INK);
    EXPECT_TRUE(SameImage(lower, upper));
    RgbImage unknown = Blank(6, 7);
    RgbImage question = Blank(6, 7);
    BitmapFont::Draw(unknown, 0, 0, "~", 1, INK);
    BitmapFont::Draw(question, 0, 0, "?", 1, INK);
    EXPECT_TRUE(SameImage(unknown, question));
}

TEST(BitmapFontTest, ClipsAtEveryEdge)
{
    RgbImage image = Blank(8, 8);
    BitmapFont::Draw(image, -7, -9, "WIDE TEXT", 3, INK);
    BitmapFont::Draw(image, 5, 6, "WIDE TEXT", 3, INK);
    int32 inked = 0;
    for (int32 y = 0; y < 8; y++) {
        for (int32 x = 0; x < 8; x++)
            inked += image.Row(y)[x] == INK;
    }
    EXPECT_GT(inked, 0);
}

}
}
