#include "window/Slider.h"

#include "kits/app/Message.h"
#include "tests/kits/interface/InterfaceTestSupport.h"

#include <gtest/gtest.h>

#include <utility>

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

    // The first and last columns of the bar's rows that are black; -1 for both when none is.
    std::pair<int32, int32> BarEnds() const
    {
        std::pair<int32, int32> ends = {-1, -1};
        for (int32 x = 0; x <= 400; x++) {
            if (CountPixels(BLACK, x, 25, x, 44) == 20) {
                ends.first = ends.first < 0 ? x : ends.first;
                ends.second = x;
            }
        }
        return ends;
    }

    BView* backdrop = nullptr;
    Slider* slider = nullptr;
};

TEST_F(SliderTest, CaptionAndBarDrawnInAWhiteBoxOnlyWhileShown)
{
    Slider other(BRect(0, 0, 10, 10), "other", B_FOLLOW_LEFT_RIGHT, B_FRAME_EVENTS);
    EXPECT_EQ(other.Flags(), B_FRAME_EVENTS | B_WILL_DRAW);
    BFont font;
    other.GetFont(&font);
    EXPECT_EQ(font.Size(), 18);
    // Level 0 and no caption: only the white box; it is never archived.
    EXPECT_EQ(slider->Label(), "");
    EXPECT_EQ(slider->Value(), 0);
    EXPECT_EQ(CountPixels(WHITE, 0, 0, 400, 50), 401 * 51);
    BMessage archive;
    EXPECT_EQ(slider->Archive(&archive, true), B_ERROR);
    EXPECT_TRUE(archive.IsEmpty());

    // The caption sits at the left above the bar: nothing left of x = 10, right of the caption,
    // or from the bar's rows down.
    slider->SetSlider("Volume:", 0);
    window->UpdateIfNeeded();
    const int32 width = int32(slider->StringWidth("Volume:"));
    EXPECT_GT(CountPixels(BLACK, 10, 0, 10 + width + 1, 18), 10);
    EXPECT_EQ(CountPixels(WHITE, 0, 0, 8, 50), 9 * 51);
    EXPECT_EQ(CountPixels(WHITE, 12 + width, 0, 400, 50), (389 - width) * 51);
    EXPECT_EQ(CountPixels(WHITE, 0, 22, 400, 50), 401 * 29);

    // Set while hidden, the level shows only once the slider is shown.
    slider->Hide();
    window->UpdateIfNeeded();
    slider->SetSlider("Brightness:", 50);
    window->UpdateIfNeeded();
    EXPECT_EQ(CountPixels(BLUE, 0, 0, 419, 59), 420 * 60);
    slider->Show();
    window->UpdateIfNeeded();
    EXPECT_EQ(BarEnds(), std::make_pair(10, 190));
    EXPECT_GT(CountPixels(BLACK, 10, 0, 200, 18), 10);
}

TEST_F(SliderTest, BarRunsFromTenUnitsToItsLevelOfTheWidthLessTwenty)
{
    // 380 units at 100 per cent, half of them at 50; 2 per cent is 7.6, left of the bar's start
    // at 10, and a level drawn before it leaves nothing behind.
    const std::pair<float, int32> lastColumns[] = {{100, 380}, {50, 190}, {2, -1}};
    for (const auto& [level, last] : lastColumns) {
        SCOPED_TRACE(level);
        slider->SetSlider("", level);
        window->UpdateIfNeeded();
        EXPECT_EQ(BarEnds(), std::make_pair(last < 0 ? -1 : 10, last));
        // White all around the bar, the backdrop untouched beside the box.
        const int32 bar = last < 0 ? 0 : (last - 9) * 20;
        EXPECT_EQ(CountPixels(BLACK, 0, 0, 400, 50), bar);
        EXPECT_EQ(CountPixels(WHITE, 0, 0, 400, 50), 401 * 51 - bar);
        EXPECT_EQ(CountPixels(BLUE, 401, 0, 419, 59), 19 * 60);
    }
    EXPECT_EQ(slider->Value(), 2);
}

}
