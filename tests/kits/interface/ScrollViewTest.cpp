#include "kits/interface/ScrollView.h"

#include "kits/interface/ControlPrivate.h"
#include "kits/interface/InterfaceDefs.h"
#include "kits/interface/ListView.h"
#include "tests/kits/interface/WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

using interface_test::Entry;

constexpr char HOME[] = "\x01";
constexpr char END[] = "\x04";

class ScrollViewTest : public interface_test::WidgetTest {
protected:
    void SetUp() override
    {
        WidgetTest::SetUp();
        window->ResizeTo(299, 299);
        list = new BListView(BRect(10, 20, 190, 270), "Presets");
        for (int32 i = 0; i < 40; i++)
            list->AddItem(new Entry(std::to_string(i)));
        scroll = new BScrollView("Presets", list, B_FOLLOW_LEFT | B_FOLLOW_TOP, 0, false, true);
        window->AddChild(scroll);
        bar = scroll->ScrollBar(B_VERTICAL);
        height = list->ItemAt(0)->Height();
        visible = list->Bounds().Height() + 1;
        lowest = 40 * height - visible;
    }

    // A point of the bar, along its middle, in window coordinates.
    BPoint OnBar(float y) const
    {
        return bar->ConvertToScreen(BPoint(7, y)) - window->Frame().LeftTop();
    }
    // How far the list is scrolled, as its items show it.
    float Scrolled() const { return -list->ItemFrame(0).top; }

    BListView* list = nullptr;
    BScrollView* scroll = nullptr;
    BScrollBar* bar = nullptr;
    float height = 0;
    float visible = 0;
    float lowest = 0;
};

TEST_F(ScrollViewTest, TheFrameHoldsTheListInItsBorderAndTheBarFitsItsItems)
{
    EXPECT_EQ(scroll->Frame(), BRect(8, 18, 190 + B_V_SCROLL_BAR_WIDTH + 3, 272));
    EXPECT_EQ(list->Frame(), BRect(2, 2, 182, 252));
    EXPECT_EQ(scroll->Target(), list);
    EXPECT_EQ(scroll->ScrollBar(B_HORIZONTAL), nullptr);
    EXPECT_EQ(bar->Target(), list);
    float minValue;
    float maxValue;
    bar->GetRange(&minValue, &maxValue);
    EXPECT_EQ(minValue, 0);
    EXPECT_EQ(maxValue, lowest);
    EXPECT_FLOAT_EQ(bar->Proportion(), visible / (40 * height));
}

TEST_F(ScrollViewTest, ArrowsTrackAndKnobScrollTheList)
{
    const float bottom = bar->Bounds().bottom;
    struct Step {
        const char* what;
        std::function<void()> action;
        float scrolled;
    };
    const Step steps[] = {
        {"down arrow", [&] { Click(OnBar(bottom - 3)); }, height},
        {"up arrow", [&] { Click(OnBar(3)); }, 0},
        {"up arrow at the top", [&] { Click(OnBar(3)); }, 0},
        {"track below the knob", [&] { Click(OnBar(bottom - 20)); }, visible},
        {"track above the knob", [&] { Click(OnBar(17)); }, 0},
        {"knob dragged past the end",
            [&] { Drag(OnBar(bar->KnobFrame().top + 2), OnBar(bottom + 100)); }, lowest},
        {"down arrow at the end", [&] { Click(OnBar(bottom - 3)); }, lowest},
        {"knob dragged back past the start",
            [&] { Drag(OnBar(bar->KnobFrame().top + 2), OnBar(-100)); }, 0},
    };
    for (const Step& step : steps) {
        step.action();
        EXPECT_EQ(bar->Value(), step.scrolled) << step.what;
        EXPECT_EQ(Scrolled(), step.scrolled) << step.what;
    }
}

TEST_F(ScrollViewTest, TheKnobFollowsTheSelectionScrolledIntoView)
{
    const uint32 knobFace = kits::interface::PackColor(kits::interface::PANEL_COLOR.red,
        kits::interface::PANEL_COLOR.green, kits::interface::PANEL_COLOR.blue);
    list->MakeFocus();
    for (const char* key : {END, HOME}) {
        Press(key);
        const float expected = key == END ? lowest : 0;
        EXPECT_EQ(bar->Value(), expected);
        EXPECT_EQ(Scrolled(), expected);
        window->UpdateIfNeeded();
        const BRect knob = bar->KnobFrame();
        const BPoint middle = OnBar((knob.top + knob.bottom) / 2);
        EXPECT_EQ(Pixel(int32(middle.x), int32(middle.y)), knobFace);
        const BPoint track = OnBar(key == END ? knob.top - 2 : knob.bottom + 2);
        EXPECT_NE(Pixel(int32(track.x), int32(track.y)), knobFace);
    }
    list->Select(20);
    list->ScrollToSelection();
    EXPECT_EQ(bar->Value(), Scrolled());
    EXPECT_EQ(list->ItemFrame(20).bottom, visible - 1);
}

TEST_F(ScrollViewTest, EmptyingTheListOrDeletingEitherSideLeavesNothingDangling)
{
    list->MakeEmpty();
    EXPECT_FALSE(bar->KnobFrame().IsValid());
    EXPECT_EQ(bar->Proportion(), 1);
    Click(OnBar(bar->Bounds().bottom - 3));
    EXPECT_EQ(bar->Value(), 0);

    ASSERT_TRUE(bar->RemoveSelf());
    delete bar;
    for (int32 i = 0; i < 40; i++)
        list->AddItem(new Entry(std::to_string(i)));
    list->ScrollTo(BPoint(0, 30));
    EXPECT_EQ(Scrolled(), 30);

    auto* other = new BScrollBar(BRect(0, 0, 14, 99), "other", list, 0, 0, B_VERTICAL);
    EXPECT_EQ(other->Value(), 30);
    ASSERT_TRUE(list->RemoveSelf());
    delete list;
    EXPECT_EQ(Entry::live, 0);
    EXPECT_EQ(other->Target(), nullptr);
    other->SetValue(0);
    delete other;

    const int32 before = interface_test::LevelView::live;
    delete new BScrollView("deep", new interface_test::LevelView(BRect(0, 0, 9, 9), "view", 1),
        B_FOLLOW_NONE, 0, true, true, B_PLAIN_BORDER);
    EXPECT_EQ(interface_test::LevelView::live, before);
}

}
