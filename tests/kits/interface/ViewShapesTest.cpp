#include "kits/interface/View.h"

#include "InterfaceTestSupport.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using namespace interface_test;

// A view over the whole 100 by 100 window, drawn once, drawing red on blue.
class ViewShapesTest : public LockedWindowTest {
protected:
    void SetUp() override
    {
        LockedWindowTest::SetUp();
        view = new BView(BRect(0, 0, 99, 99), "shapes", B_FOLLOW_NONE, 0);
        window->AddChild(view);
        window->UpdateIfNeeded();
        view->SetHighColor(255, 0, 0);
        view->SetLowColor(0, 0, 255);
    }

    BView* view = nullptr;
};

// Which of the quadrants around (50, 50) an arc covers, by a pixel at 45 degrees in each:
// bit 0 upper right (0 to 90 degrees), bit 1 upper left, bit 2 lower left, bit 3 lower right.
TEST_F(ViewShapesTest, ArcsRunCounterClockwiseFromTheirStartAngle)
{
    const struct {
        float start;
        float span;
        int32 quadrants;
    } arcs[] = {{0, 90, 0x1}, {90, 90, 0x2}, {180, 90, 0x4}, {270, 90, 0x8}, {90, 180, 0x6},
        {-90, 180, 0x9}, {0, -90, 0x8}, {450, 90, 0x2}, {30, 360, 0xF}, {0, 0, 0x0}};
    const BPoint probes[] = {{54, 46}, {46, 46}, {46, 54}, {54, 54}};
    for (const auto& arc : arcs) {
        view->FillRect(view->Bounds(), B_SOLID_LOW);
        view->FillArc(BRect(40, 40, 60, 60), arc.start, arc.span);
        for (int32 i = 0; i < 4; i++) {
            const uint32 expected = (arc.quadrants >> i & 1) != 0 ? RED : BLUE;
            EXPECT_EQ(Pixel(int32(probes[i].x), int32(probes[i].y)), expected)
                << arc.start << " over " << arc.span << ", quadrant " << i;
        }
        // The sector's apex and its bounding rays belong to it; nothing leaves the ellipse.
        EXPECT_EQ(Pixel(50, 50), RED) << arc.start;
        EXPECT_EQ(CountPixels(RED, 0, 0, 99, 39) + CountPixels(RED, 61, 0, 99, 99), 0);
    }
    // An ellipse twice as wide as high reaches its radii, no further.
    view->FillArc(BPoint(20, 20), 10, 5, 0, 360);
    ExpectPixels({{10, 20, RED}, {30, 20, RED}, {20, 15, RED}, {20, 25, RED}, {20, 26, BLUE}});
    // The outline of a circle of radius 3, in the colour its pattern picks: 16 pixels without
    // gaps, on the right half only from 270 degrees over 180.
    view->SetLowColor(0, 255, 0);
    view->StrokeArc(BPoint(80, 80), 3, 3, 0, 360, B_SOLID_LOW);
    EXPECT_EQ(CountPixels(GREEN, 70, 70, 90, 90), 16);
    ExpectPixels({{83, 80, GREEN}, {82, 82, GREEN}, {80, 77, GREEN}, {80, 80, BLUE}});
    view->StrokeArc(BRect(5, 75, 15, 85), 270, 180, B_SOLID_LOW);
    ExpectPixels({{15, 80, GREEN}, {10, 75, GREEN}, {10, 85, GREEN}, {10, 80, BLUE}});
    EXPECT_EQ(CountPixels(GREEN, 0, 70, 9, 90), 0);
}

TEST_F(ViewShapesTest, ArcsAndLineArraysAreClippedToTheView)
{
    auto* corner = new BView(BRect(10, 10, 29, 29), "corner", B_FOLLOW_NONE, 0);
    window->AddChild(corner);
    window->UpdateIfNeeded();
    corner->SetHighColor(255, 0, 0);
    // A disc around the view's top-left corner shows only its lower right quarter.
    corner->FillArc(BPoint(0, 0), 8, 8, 0, 360);
    EXPECT_EQ(CountPixels(RED, 0, 0, 99, 99), CountPixels(RED, 10, 10, 18, 18));
    ExpectPixels({{10, 10, RED}, {18, 10, RED}, {10, 18, RED}, {9, 10, WHITE}});
    corner->BeginLineArray(1);
    corner->AddLine(BPoint(-5, 5), BPoint(40, 5), rgb_color{0, 0, 255, 0});
    corner->EndLineArray();
    EXPECT_EQ(CountPixels(BLUE, 0, 15, 99, 15), 20);
    // Silly radii and angles draw nothing.
    corner->FillArc(BPoint(5, 5), -1, 4, 0, 360);
    corner->FillArc(BPoint(5, 5), 4, 4, 0, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(CountPixels(RED, 0, 0, 99, 99), CountPixels(RED, 10, 10, 18, 18));
}

TEST_F(ViewShapesTest, LineArrayDrawsEachLineInItsColourAtTheEnd)
{
    view->FillRect(view->Bounds(), B_SOLID_LOW);
    view->MovePenTo(7, 7);
    view->BeginLineArray(3);
    view->AddLine(BPoint(10, 10), BPoint(20, 10), rgb_color{255, 255, 255, 0});
    view->AddLine(BPoint(10, 12), BPoint(10, 22), rgb_color{0, 255, 0, 0});
    view->AddLine(BPoint(30, 30), BPoint(40, 40), rgb_color{0, 0, 0, 0});
    // Past the count the array takes no more.
    view->AddLine(BPoint(60, 60), BPoint(70, 60), rgb_color{0, 0, 0, 0});
    EXPECT_EQ(Pixel(10, 10), BLUE);
    view->EndLineArray();
    EXPECT_EQ(CountPixels(WHITE, 0, 0, 99, 99), 11);
    EXPECT_EQ(CountPixels(GREEN, 10, 12, 10, 22), 11);
    EXPECT_EQ(CountPixels(BLACK, 0, 0, 99, 99), 11);
    EXPECT_EQ(view->PenLocation(), BPoint(7, 7));
    EXPECT_EQ(view->HighColor().red, 255);
    // A line added with no array begun, or an array ended twice, draws nothing.
    view->AddLine(BPoint(80, 80), BPoint(90, 80), rgb_color{0, 0, 0, 0});
    view->EndLineArray();
    EXPECT_EQ(CountPixels(BLACK, 0, 0, 99, 99), 11);
}

}
