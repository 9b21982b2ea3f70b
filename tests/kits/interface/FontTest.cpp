#include "kits/interface/Font.h"

#include "kits/interface/FontEngine.h"
#include "kits/interface/View.h"
#include "tests/kits/interface/InterfaceTestSupport.h"

#include <gtest/gtest.h>

using namespace interface_test;

namespace {

BFont Sized(float size)
{
    BFont font(*be_plain_font);
    font.SetSize(size);
    return font;
}

}

TEST(FontTest, StandardFontsMeasureTextByItsSizeFaceAndLength)
{
    EXPECT_EQ(be_plain_font->Size(), 12.0f);
    EXPECT_EQ(be_bold_font->Face(), B_BOLD_FACE);
    EXPECT_TRUE(be_fixed_font->IsFixed());
    EXPECT_TRUE(kits::interface::Fonts().HasTypeface());
    const BFont small = Sized(12);
    const BFont large = Sized(18);
    EXPECT_GT(small.StringWidth("Hello"), 10.0f);
    EXPECT_GT(large.StringWidth("Hello"), small.StringWidth("Hello") * 1.3f);
    EXPECT_EQ(small.StringWidth(nullptr), 0.0f);
    EXPECT_EQ(small.StringWidth("Hello world", 5), small.StringWidth("Hello"));
    // Malformed UTF-8 is measured as replacement characters, not skipped or read past.
    EXPECT_GT(small.StringWidth("\xff\xc3"), 0.0f);
    EXPECT_GT(be_bold_font->StringWidth("Channel"), be_plain_font->StringWidth("Channel"));
    EXPECT_EQ(be_fixed_font->StringWidth("iii"), be_fixed_font->StringWidth("WWW"));
    BFont face(*be_plain_font);
    face.SetFace(B_BOLD_FACE);
    EXPECT_EQ(face.StringWidth("Channel"), be_bold_font->StringWidth("Channel"));

    // Sizes are kept within sane limits, and the height grows with them.
    EXPECT_EQ(Sized(-5).Size(), 1.0f);
    EXPECT_EQ(Sized(5000).Size(), 1000.0f);
    font_height smallHeight;
    font_height largeHeight;
    small.GetHeight(&smallHeight);
    large.GetHeight(&largeHeight);
    EXPECT_GT(smallHeight.ascent, 8.0f);
    EXPECT_GT(smallHeight.descent, 1.0f);
    EXPECT_GT(largeHeight.ascent, smallHeight.ascent);
    EXPECT_LT(largeHeight.ascent + largeHeight.descent, 18 * 1.4f);
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
        return CountPixelsWhere(window->ContentBuffer(), left, top, right, bottom, IsDark);
    }

    BView* view = nullptr;
};

TEST_F(DrawStringTest, EighteenPointTextSitsOnItsBaselineAndMovesThePenOn)
{
    // SetFont copies only what the mask names.
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

    view->MovePenTo(7, 20);
    view->DrawString("");
    view->DrawString(nullptr);
    EXPECT_EQ(CountPixels(WHITE, 0, 0, 199, 59), 200 * 60);
    EXPECT_EQ(view->PenLocation(), BPoint(7, 20));

    view->SetFont(be_plain_font);
    view->SetFontSize(18);
    font_height height;
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
    view->DrawString("cd");
    EXPECT_EQ(view->PenLocation().x, 10 + view->StringWidth("Hxg") + view->StringWidth("cd"));
}

TEST_F(DrawStringTest, TextTakesTheHighColourInsideItsViewOnly)
{
    auto* child = new BView(BRect(50, 10, 69, 49), "small", B_FOLLOW_NONE, B_WILL_DRAW);
    view->AddChild(child);
    window->UpdateIfNeeded();
    child->SetHighColor(255, 0, 0);
    child->SetFontSize(18);
    child->DrawString("WWWWWW", BPoint(-10, 25));
    EXPECT_GT(CountPixels(RED, 50, 10, 69, 49), 10);
    EXPECT_EQ(CountPixels(WHITE, 0, 0, 49, 59) + CountPixels(WHITE, 70, 0, 199, 59),
        50 * 60 + 130 * 60);
    EXPECT_EQ(CountPixels(BLACK, 0, 0, 199, 59), 0);
}
