#include "kits/interface/Box.h"

#include "kits/interface/Button.h"
#include "kits/interface/CheckBox.h"
#include "kits/interface/ControlPrivate.h"
#include "kits/interface/StringView.h"
#include "tests/kits/interface/WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>
#include <vector>

namespace {

uint32 Packed(rgb_color color)
{
    return kits::interface::PackColor(color.red, color.green, color.blue);
}

const uint32 PANEL = Packed(kits::interface::PANEL_COLOR);
const uint32 LIGHT = Packed(kits::interface::LIGHT_COLOR);
const uint32 SHADOW = Packed(kits::interface::SHADOW_COLOR);
const uint32 NAVIGATION = Packed(kits::interface::NAVIGATION_COLOR);

constexpr uint32 SAVE = 0x10008;
constexpr uint32 TOGGLED = 'chkd';

class BoxTest : public interface_test::WidgetTest { };
class StringViewTest : public interface_test::WidgetTest { };

class ButtonTest : public interface_test::WidgetTest {
protected:
    void SetUp() override
    {
        WidgetTest::SetUp();
        window->ResizeTo(299, 99);
        button = new BButton(BRect(10, 10, 89, 34), "SaveButton", "Save", new BMessage(SAVE));
        check = new BCheckBox(
            BRect(100, 10, 250, 30), "chkDeinterlace", "De-interlace", new BMessage(TOGGLED));
        window->AddChild(button);
        window->AddChild(check);
        Target(*button);
        Target(*check);
    }

    BButton* button = nullptr;
    BCheckBox* check = nullptr;
};

// Counts the pixels of the view's frame for which test holds.
int32 CountIn(BView* view, const std::function<bool(uint32)>& test)
{
    const BRect frame = view->Frame();
    return interface_test::CountPixelsWhere(view->Window()->ContentBuffer(), int32(frame.left),
        int32(frame.top), int32(frame.right), int32(frame.bottom), test);
}

bool IsNavigation(uint32 pixel)
{
    return pixel == NAVIGATION;
}

TEST_F(BoxTest, EachBorderStyleIsDrawnOnTheBoxEdgeAfterSetBorder)
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

TEST_F(BoxTest, TheLabelInterruptsTheTopBorderAndTheInnerFrameStartsBelowIt)
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

TEST_F(ButtonTest, PressAndReleaseOverTheControlOrSpaceInvokesIt)
{
    const BPoint onButton(50, 20);
    const BPoint onCheck(110, 20);
    const BPoint outside(50, 80);
    struct Step {
        const char* what;
        std::function<void()> action;
        std::vector<uint32> commands;
        int32 checked;
    };
    const Step steps[] = {
        {"click the button", [&] { Drag(onButton, BPoint(80, 30)); }, {SAVE}, 0},
        {"release outside", [&] { Drag(onButton, outside); }, {}, 0},
        {"Space", [&] { Press(" "); }, {SAVE}, 0},
        {"Enter", [&] { Press("\n"); }, {SAVE}, 0},
        {"another key", [&] { Press("a"); }, {}, 0},
        {"click the check box", [&] { Drag(onCheck, BPoint(200, 15)); }, {TOGGLED}, 1},
        {"check box released outside", [&] { Drag(onCheck, outside); }, {}, 1},
        {"Tab back and forth, Space",
            [&] {
                Press("\t");
                Press("\t");
                Press(" ");
            },
            {TOGGLED}, 0},
        {"Enter on the check box", [&] { Press("\n"); }, {}, 0},
        {"disabled",
            [&] {
                button->SetEnabled(false);
                check->SetEnabled(false);
                Drag(onButton, onButton);
                Drag(onCheck, onCheck);
            },
            {}, 0},
    };
    for (const Step& step : steps) {
        step.action();
        EXPECT_EQ(Commands(), step.commands) << step.what;
        EXPECT_EQ(check->Value(), step.checked) << step.what;
    }
}

TEST_F(ButtonTest, AButtonLooksPushedWhilePressedOverItAndGreyWhenDisabled)
{
    window->UpdateIfNeeded();
    ExpectPixels({{12, 12, PANEL}});
    EXPECT_GT(CountIn(button, interface_test::IsDark), 0);
    EXPECT_EQ(CountIn(button, IsNavigation), 0);

    Dispatch(interface_test::Mouse(B_MOUSE_DOWN, BPoint(50, 20)));
    window->UpdateIfNeeded();
    ExpectPixels({{12, 12, SHADOW}});
    EXPECT_GT(CountIn(button, IsNavigation), 0);
    Dispatch(interface_test::Mouse(B_MOUSE_MOVED, BPoint(50, 80)));
    window->UpdateIfNeeded();
    ExpectPixels({{12, 12, PANEL}});
    Dispatch(interface_test::Mouse(B_MOUSE_UP, BPoint(50, 80), 0));

    button->SetEnabled(false);
    window->UpdateIfNeeded();
    EXPECT_EQ(CountIn(button, interface_test::IsDark), 0);
    EXPECT_EQ(CountIn(button, IsNavigation), 0);
}

TEST_F(StringViewTest, AStringViewAlignsItsTextAndDrawsWhatSetTextGives)
{
    window->ResizeTo(299, 99);
    auto* label
        = new BStringView(BRect(0, 50, 299, 70), "nosuite", "Your TV Card does not have a tuner");
    window->AddChild(label);
    const int32 width = int32(std::ceil(label->StringWidth(label->Text())));
    struct Case {
        alignment align;
        int32 left;
    };
    const Case cases[] = {
        {B_ALIGN_LEFT, 0},
        {B_ALIGN_CENTER, (300 - width) / 2},
        {B_ALIGN_RIGHT, 300 - width},
    };
    for (const Case& row : cases) {
        label->SetAlignment(row.align);
        window->UpdateIfNeeded();
        int32 first = INT_MAX;
        int32 last = -1;
        for (int32 x = 0; x < 300; x++) {
            if (interface_test::CountPixelsWhere(
                    window->ContentBuffer(), x, 50, x, 70, interface_test::IsDark)
                > 0) {
                first = std::min(first, x);
                last = x;
            }
        }
        EXPECT_NEAR(first, row.left, 2) << row.align;
        EXPECT_NEAR(last, row.left + width - 1, 2) << row.align;
    }
    label->SetText(nullptr);
    window->UpdateIfNeeded();
    EXPECT_STREQ(label->Text(), "");
    EXPECT_EQ(CountIn(label, interface_test::IsDark), 0);
}

}
