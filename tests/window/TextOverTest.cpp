#include "window/TextOver.h"

#include "kits/app/Message.h"
#include "tests/kits/interface/InterfaceTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using interface_test::BLUE;
using interface_test::WHITE;

// A 300 by 60 window with a blue backdrop and a text overlay at (50, 10)-(150, 35): a box
// 101 pixels wide whose bounds width is 100.
class TextOverTest : public interface_test::LockedWindowTest {
protected:
    void SetUp() override
    {
        MakeWindow(300, 60);
        backdrop = new BView(BRect(0, 0, 299, 59), "backdrop", B_FOLLOW_ALL_SIDES, B_WILL_DRAW);
        backdrop->SetViewColor(0, 0, 255);
        window->AddChild(backdrop);
        overlay = new TextOver(BRect(50, 10, 150, 35), "pNameLabel", B_FOLLOW_NONE, 0);
        backdrop->AddChild(overlay);
        window->UpdateIfNeeded();
    }

    int32 CountDark(int32 left, int32 top, int32 right, int32 bottom) const
    {
        int32 count = 0;
        for (int32 y = top; y <= bottom; y++) {
            for (int32 x = left; x <= right; x++)
                count += (Pixel(x, y) & 0xFF) < 128 && Pixel(x, y) != BLUE;
        }
        return count;
    }

    // Everything but the overlay's box is untouched backdrop.
    void ExpectBackdropAroundTheBox() const
    {
        EXPECT_EQ(CountPixels(BLUE, 0, 0, 299, 9), 300 * 10);
        EXPECT_EQ(CountPixels(BLUE, 0, 36, 299, 59), 300 * 24);
        EXPECT_EQ(CountPixels(BLUE, 0, 10, 49, 35), 50 * 26);
        EXPECT_EQ(CountPixels(BLUE, 151, 10, 299, 35), 149 * 26);
    }

    BView* backdrop = nullptr;
    TextOver* overlay = nullptr;
};

TEST_F(TextOverTest, WhiteBoxShowsItsTextBlackCentredAndCutAtTheBoxOnlyWhileShown)
{
    TextOver other(BRect(0, 0, 10, 10), "other", B_FOLLOW_LEFT | B_FOLLOW_TOP, B_FRAME_EVENTS);
    EXPECT_EQ(other.Flags(), B_FRAME_EVENTS | B_WILL_DRAW);
    EXPECT_EQ(other.ResizingMode(), B_FOLLOW_LEFT | B_FOLLOW_TOP);
    BFont font;
    other.GetFont(&font);
    EXPECT_EQ(font.Size(), 18);
    // Empty, the overlay is just its white box; it is never archived.
    EXPECT_EQ(overlay->Text(), "");
    EXPECT_EQ(CountPixels(WHITE, 50, 10, 150, 35), 101 * 26);
    ExpectBackdropAroundTheBox();
    BMessage archive;
    EXPECT_EQ(overlay->Archive(&archive, true), B_ERROR);
    EXPECT_TRUE(archive.IsEmpty());

    // Set while hidden, the text shows only once the overlay is shown.
    overlay->Hide();
    window->UpdateIfNeeded();
    overlay->SetText("12");
    window->UpdateIfNeeded();
    EXPECT_EQ(overlay->Text(), "12");
    EXPECT_EQ(CountPixels(BLUE, 0, 0, 299, 59), 300 * 60);
    overlay->Show();
    window->UpdateIfNeeded();
    const float width = overlay->StringWidth("12");
    const int32 left = 50 + int32(50 - width / 2);
    const int32 right = 50 + int32(50 + width / 2 + 1);
    EXPECT_GT(CountDark(left, 10, right, 30), 20);
    // Nothing outside the text's own columns, and nothing below the baseline for digits.
    EXPECT_EQ(CountDark(50, 10, left - 2, 35), 0);
    EXPECT_EQ(CountDark(right + 2, 10, 150, 35), 0);
    EXPECT_EQ(CountDark(50, 31, 150, 35), 0);
    EXPECT_GT(CountPixels(interface_test::BLACK, 50, 10, 150, 35), 0);
    ExpectBackdropAroundTheBox();

    // Text wider than the box runs through both its edges and not beyond.
    const std::string wide(40, 'W');
    overlay->SetText(wide);
    window->UpdateIfNeeded();
    ASSERT_GT(overlay->StringWidth(wide.c_str()), 300);
    EXPECT_GT(CountDark(50, 10, 52, 30), 0);
    EXPECT_GT(CountDark(148, 10, 150, 30), 0);
    ExpectBackdropAroundTheBox();
}

}
