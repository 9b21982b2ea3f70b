#include "kits/interface/Box.h"

#include "kits/interface/ControlPrivate.h"
#include "tests/kits/interface/WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

uint32 Packed(rgb_color color)
{
    return kits::interface::PackColor(color.red, color.green, color.blue);
}

const uint32 PANEL = Packed(kits::interface::PANEL_COLOR);
const uint32 LIGHT = Packed(kits::interface::LIGHT_COLOR);
const uint32 SHADOW = Packed(kits::interface::SHADOW_COLOR);

class BoxAndButtonTest : public interface_test::WidgetTest { };

TEST_F(BoxAndButtonTest, EachBorderStyleIsDrawnOnTheBoxEdgeAfterSetBorder)
{
    struct Case {
        border_style style;
        // Window pixels: the outer top-left and bottom-right corners, and one pixel further in.
        uint32 outerTopLeft, innerTopLeft, outerBottomRight, innerBottomRight;
    };
    const Case cases[] = {
        {B_PLAIN_BORDER, LIGHT, PANEL, SHADOW, PANEL},
        {B_FANCY_BORDER, SHADOW, LIGHT, LIGHT, SHADOW},
        {B_NO_BORDER, PANEL, PANEL, PANEL, PANEL},
    };
    for (const Case& row : cases) {
        auto* box = new BBox(BRect(10, 10, 89, 59), "Background");
        window->AddChild(box);
        window->UpdateIfNeeded();
        box->SetBorder(row.style);
        window->UpdateIfNeeded();
        EXPECT_EQ(box->Border(), row.style);
        ExpectPixels({{10, 10, row.outerTopLeft}, {11, 11, row.innerTopLeft},
            {89, 59, row.outerBottomRight}, {88, 58, row.innerBottomRight}, {50, 30, PANEL}});
        ASSERT_TRUE(box->RemoveSelf());
        delete box;
    }
}

TEST_F(BoxAndButtonTest, TheLabelInterruptsTheTopBorderAndTheInnerFrameStartsBelowIt)
{
    auto* box = new BBox(BRect(0, 0, 99, 99), "Stations");
    box->SetLabel("Stations");
    window->AddChild(box);
    window->UpdateIfNeeded();
    const BRect inner = box->InnerFrame();
    const int32 border = int32(std::floor(inner.top / 2));
    const int32 labelRight = int32(10 + std::ceil(box->StringWidth("Stations")));
    EXPECT_STREQ(box->Label(), "Stations");
    EXPECT_GT(inner.top, 2);
    // The border stops a gap before the text and starts again a gap after it.
    EXPECT_EQ(CountPixels(SHADOW, 0, border, 6, border), 7);
    ExpectPixels({{7, border, PANEL}, {9, border, PANEL}, {labelRight + 2, border, PANEL}});
    EXPECT_EQ(CountPixels(SHADOW, labelRight + 3, border, 98, border), 98 - labelRight - 2);
    EXPECT_GT(interface_test::CountPixelsWhere(window->ContentBuffer(), 10, 0, labelRight,
                  int32(inner.top) - 1, interface_test::IsDark),
        10);
    box->SetLabel(nullptr);
    window->UpdateIfNeeded();
    EXPECT_EQ(box->Label(), nullptr);
    EXPECT_EQ(CountPixels(SHADOW, 0, 0, 98, 0), 99);
}

}
