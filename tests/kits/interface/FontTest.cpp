#include "kits/interface/Font.h"

#include "kits/interface/FontEngine.h"
#include "kits/interface/View.h"
#include "tests/kits/interface/InterfaceTestSupport.h"

#include <gtest/gtest.h>

using interface_test::BLACK;
using interface_test::LockedWindowTest;
using interface_test::WHITE;

namespace {

BFont Sized(float size)
{
    BFont font(*be_plain_font);
    font.SetSize(size);
    return font;
}

}

TEST(FontTest, StandardFontsAreTwelvePointsInTheirFaces)
{
    EXPECT_EQ(be_plain_font->Size(), 12.0f);
    EXPECT_EQ(be_plain_font->Face(), B_REGULAR_FACE);
    EXPECT_EQ(be_bold_font->Size(), 12.0f);
    EXPECT_EQ(be_bold_font->Face(), B_BOLD_FACE);
    EXPECT_TRUE(be_fixed_font->IsFixed());
    EXPECT_FALSE(be_plain_font->IsFixed());
    EXPECT_TRUE(kits::interface::Fonts().HasTypeface());
}

TEST(FontTest, StringWidthGrowsWithSizeTextAndBoldness)
{
    const BFont small = Sized(12);
    const BFont large = Sized(18);
    EXPECT_GT(small.StringWidth("Hello"), 10.0f);
    EXPECT_GT(large.StringWidth("Hello"), small.StringWidth("Hello") * 1.3f);
    EXPECT_GT(small.StringWidth("Hello world"), small.StringWidth("Hello"));
    EXPECT_EQ(small.StringWidth(""), 0.0f);
    EXPECT_EQ(small.StringWidth(nullptr), 0.0f);
    EXPECT_EQ(small.StringWidth("Hello world", 5), small.StringWidth("Hello"));
    // Malformed UTF-8 is measured as replacement characters, not skipped or read past.
    EXPECT_GT(small.StringWidth("\xff\xc3"), 0.0f);
    // Bold is wider, and fixed width keeps every character alike.
    EXPECT_GT(be_bold_font->StringWidth("Channel"), be_plain_font->StringWidth("Channel"));
    EXPECT_EQ(be_fixed_font->StringWidth("iii"), be_fixed_font->StringWidth("WWW"));
    BFont face(*be_plain_font);
    face.SetFace(B_BOLD_FACE);
    EXPECT_EQ(face.StringWidth("Channel"), be_bold_font->StringWidth("Channel"));
}

TEST(FontTest, SizesAreKeptWithinSaneLimitsAndHeightGrowsWithThem)
{
    EXPECT_EQ(Sized(0).Size(), 1.0f);
    EXPECT_EQ(Sized(-5).Size(), 1.0f);
    EXPECT_EQ(Sized(5000).Size(), 1000.0f);
    font_height small;
    font_height large;
    Sized(12).GetHeight(&small);
    Sized(18).GetHeight(&large);
    EXPECT_GT(small.ascent, 8.0f);
    EXPECT_GT(small.descent, 1.0f);
    EXPECT_GE(small.leading, 0.0f);
    EXPECT_GT(large.ascent, small.ascent);
    EXPECT_LT(large.ascent + large.descent, 18 * 1.4f);
}

class DrawStringTest : public LockedWindowTest {
protected:
    void SetUp() override
    {
        MakeWindow(200, 60);
        view = new BView(BRect(0, 0, 199, 59), "text", B_FOLLOW_ALL_SIDES, B_WILL_DRAW);
        window->AddChild(view);
        window->UpdateIfNeeded();
    }

    int32 CountDark(int32 left, int32 top, int32 right, int32 bottom) const
    {
        return interface_test::CountPixelsWhere(window->ContentBuffer(), left, top, right, bottom,
            interface_test::IsDark);
    }

    BView* view = nullptr;
};

TEST_F(DrawStringTest, EighteenPointTextSitsOnItsBaseline)
{
    view->SetFontSize(18);
    font_height height;
    BFont font;
    view->GetFont(&font);
    font.GetHeight(&height);
    view->DrawString("Hxg", BPoint(10, 30));
    const int32 top = 30 - int32(height.ascent) - 1;
    // The capital stands on the baseline and reaches up about the cap height.
    EXPECT_GT(CountDark(10, 30 - 12, 20, 29), 20);
    EXPECT_EQ(CountDark(0, 0, 199, top - 1), 0);
    // Only the descender of "g" goes below the baseline.
    EXPECT_EQ(CountDark(10, 31, 19, 59), 0);
    EXPECT_GT(CountDark(10 + int32(view->StringWidth("Hx")), 31, 199, 36), 3);
    EXPECT_EQ(CountDark(0, 0, 8, 59), 0);
    EXPECT_EQ(view->PenLocation().x, 10 + view->StringWidth("Hxg"));
}

TEST_F(DrawStringTest, TextTakesTheHighColourAndLeavesTheRestAlone)
{
    view->SetHighColor(255, 0, 0);
    view->SetFontSize(18);
    view->DrawString("M", BPoint(5, 25));
    EXPECT_GT(CountPixels(interface_test::RED, 0, 0, 199, 59), 10);
    EXPECT_EQ(CountPixels(BLACK, 0, 0, 199, 59), 0);
}

TEST_F(DrawStringTest, EmptyTextKeepsThePenAndOtherTextMovesItOn)
{
    view->MovePenTo(7, 20);
    view->DrawString("");
    view->DrawString(nullptr);
    EXPECT_EQ(CountPixels(WHITE, 0, 0, 199, 59), 200 * 60);
    EXPECT_EQ(view->PenLocation(), BPoint(7, 20));
    // Text moves the pen on from one string to the next.
    view->DrawString("ab");
    const float afterFirst = view->PenLocation().x;
    EXPECT_EQ(afterFirst, 7 + view->StringWidth("ab"));
    view->DrawString("cd");
    EXPECT_EQ(view->PenLocation().x, afterFirst + view->StringWidth("cd"));
}

TEST_F(DrawStringTest, TextIsClippedToItsView)
{
    auto* child = new BView(BRect(50, 10, 69, 49), "small", B_FOLLOW_NONE, B_WILL_DRAW);
    view->AddChild(child);
    window->UpdateIfNeeded();
    child->SetFontSize(18);
    child->DrawString("WWWWWW", BPoint(-10, 25));
    EXPECT_GT(CountDark(50, 10, 69, 49), 10);
    EXPECT_EQ(CountDark(0, 0, 49, 59) + CountDark(70, 0, 199, 59), 0);
}

TEST_F(DrawStringTest, SetFontCopiesOnlyWhatTheMaskNames)
{
    BFont big(*be_bold_font);
    big.SetSize(30);
    view->SetFont(&big, B_FONT_SIZE);
    BFont font;
    view->GetFont(&font);
    EXPECT_EQ(font.Size(), 30.0f);
    EXPECT_EQ(font.Face(), B_REGULAR_FACE);
    view->SetFont(be_fixed_font);
    view->GetFont(&font);
    EXPECT_TRUE(font.IsFixed());
    EXPECT_EQ(font.Size(), 12.0f);
}
