#include "window/Slider.h"

#include "kits/app/Message.h"
#include "tests/kits/interface/InterfaceTestSupport.h"

#include <gtest/gtest.h>

namespace {

using interface_test::BLACK;
using interface_test::BLUE;
using interface_test::WHITE;

// A 420 by 60 window with a blue backdrop and a slider 400 units wide at (0, 0)-(400, 50).
class SliderTest : public interface_test::LockedWindowTest {
protected:
    void SetUp() override
    {
        MakeWindow(420, 60);
        backdrop = new BView(BRect(0, 0, 419, 59), "backdrop", B_FOLLOW_ALL_SIDES, B_WILL_DRAW);
        backdrop->SetViewColor(0, 0, 255);
        window->AddChild(backdrop);
        slider = new Slider(BRect(0, 0, 400, 50), "pSlider", B_FOLLOW_NONE, 0);
        backdrop->AddChild(slider);
        window->UpdateIfNeeded();
    }

    // The columns of the bar's rows that are black; -1 for both ends when none is.
    void BarEnds(int32& first, int32& last) const
    {
        first = -1;
        last = -1;
        for (int32 x = 0; x <= 400; x++) {
            if (CountPixels(BLACK, x, 25, x, 44) == 20) {
                if (first < 0)
                    first = x;
                last = x;
            }
        }
    }

    BView* backdrop = nullptr;
    Slider* slider = nullptr;
};

TEST_F(SliderTest, StartsEmptyAtZeroWithTheFlagsPlusWillDrawAndAnEighteenPointFont)
{
    Slider other(BRect(0, 0, 10, 10), "other", B_FOLLOW_LEFT_RIGHT, B_FRAME_EVENTS);
    EXPECT_EQ(other.Flags(), B_FRAME_EVENTS | B_WILL_DRAW);
    EXPECT_EQ(other.Label(), "");
    EXPECT_EQ(other.Value(), 0);
    BFont font;
    other.GetFont(&font);
    EXPECT_EQ(font.Size(), 18);
    // Level 0: only the white box.
    EXPECT_EQ(CountPixels(WHITE, 0, 0, 400, 50), 401 * 51);
}

TEST_F(SliderTest, FullLevelEndsTheBarTwentyUnitsBeforeTheRightEdge)
{
    slider->SetSlider(nullptr, 100);
    window->UpdateIfNeeded();
    int32 first;
    int32 last;
    BarEnds(first, last);
    EXPECT_EQ(first, 10);
    EXPECT_EQ(last, 380);
    EXPECT_EQ(CountPixels(BLACK, 10, 25, 380, 44), 371 * 20);
    // White all around the bar: above, below, left and right.
    EXPECT_EQ(CountPixels(WHITE, 0, 0, 400, 24), 401 * 25);
    EXPECT_EQ(CountPixels(WHITE, 0, 45, 400, 50), 401 * 6);
    EXPECT_EQ(CountPixels(WHITE, 0, 25, 9, 44), 10 * 20);
    EXPECT_EQ(CountPixels(WHITE, 381, 25, 400, 44), 20 * 20);
    EXPECT_EQ(CountPixels(BLUE, 401, 0, 419, 59), 19 * 60);
}

TEST_F(SliderTest, HalfLevelEndsTheBarAtOneHundredNinety)
{
    slider->SetSlider("", 50);
    window->UpdateIfNeeded();
    int32 first;
    int32 last;
    BarEnds(first, last);
    EXPECT_EQ(first, 10);
    EXPECT_EQ(last, 190);
    EXPECT_EQ(CountPixels(WHITE, 191, 25, 400, 44), 210 * 20);
}

TEST_F(SliderTest, LevelWhoseBarEndsLeftOfItsStartDrawsNoBar)
{
    slider->SetSlider("", 100);
    window->UpdateIfNeeded();
    // 2 per cent of 380 is 7.6, left of the bar's start at 10.
    slider->SetSlider("", 2);
    window->UpdateIfNeeded();
    EXPECT_EQ(CountPixels(WHITE, 0, 0, 400, 50), 401 * 51);
    EXPECT_EQ(slider->Value(), 2);
}

TEST_F(SliderTest, CaptionSitsAtTheLeftAboveTheBar)
{
    slider->SetSlider("Volume:", 0);
    window->UpdateIfNeeded();
    EXPECT_EQ(slider->Label(), "Volume:");
    const int32 width = int32(slider->StringWidth("Volume:"));
    EXPECT_GT(CountPixels(BLACK, 10, 0, 10 + width + 1, 18), 10);
    // Nothing left of x = 10, right of the caption, or from the bar's rows down.
    EXPECT_EQ(CountPixels(WHITE, 0, 0, 8, 50), 9 * 51);
    EXPECT_EQ(CountPixels(WHITE, 12 + width, 0, 400, 50), (389 - width) * 51);
    EXPECT_EQ(CountPixels(WHITE, 0, 22, 400, 50), 401 * 29);
}

TEST_F(SliderTest, BarIsDrawnOnlyWithinTheUpdateRectangle)
{
    // The new level is kept; drawing just a part of the view fills only that part of the bar.
    slider->SetSlider("", 100);
    slider->Draw(BRect(100, 30, 150, 40));
    EXPECT_EQ(CountPixels(BLACK, 100, 30, 150, 40), 51 * 11);
    EXPECT_EQ(CountPixels(BLACK, 0, 0, 400, 50), 51 * 11);
}

TEST_F(SliderTest, LevelSetWhileHiddenShowsOnlyOnceShown)
{
    slider->Hide();
    window->UpdateIfNeeded();
    slider->SetSlider("Brightness:", 50);
    window->UpdateIfNeeded();
    EXPECT_EQ(CountPixels(BLUE, 0, 0, 419, 59), 420 * 60);

    slider->Show();
    window->UpdateIfNeeded();
    int32 first;
    int32 last;
    BarEnds(first, last);
    EXPECT_EQ(first, 10);
    EXPECT_EQ(last, 190);
    EXPECT_GT(CountPixels(BLACK, 10, 0, 200, 18), 10);
}

TEST_F(SliderTest, ArchiveFailsAndWritesNothing)
{
    slider->SetSlider("Volume:", 30);
    BMessage archive;
    EXPECT_EQ(slider->Archive(&archive, true), B_ERROR);
    EXPECT_TRUE(archive.IsEmpty());
}

}
