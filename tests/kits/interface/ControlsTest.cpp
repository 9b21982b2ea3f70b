#include "kits/interface/Control.h"

#include "kits/app/Message.h"
#include "kits/interface/ControlPrivate.h"
#include "kits/interface/InterfaceDefs.h"
#include "kits/interface/ListView.h"
#include "kits/interface/MenuField.h"
#include "kits/interface/MenuItem.h"
#include "kits/interface/PopUpMenu.h"
#include "kits/interface/Slider.h"
#include "kits/interface/TextControl.h"
#include "tests/kits/interface/WidgetTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

namespace {

using interface_test::Events;
using interface_test::EventWindow;
using interface_test::Locked;
using interface_test::Mouse;
using test_support::Await;

constexpr uint32 NAME_ENTERED = 0x1000C;
constexpr uint32 NAME_TYPED = 'typd';
constexpr uint32 SLID = 0x1000B;
constexpr uint32 SLIDING = 'slid';
constexpr uint32 VIDEO_FORMAT = 0x10009;

constexpr char LEFT[] = "\x1c";
constexpr char RIGHT[] = "\x1d";
constexpr char UP[] = "\x1e";
constexpr char DOWN[] = "\x1f";
constexpr char HOME[] = "\x01";
constexpr char END[] = "\x04";
constexpr char BACKSPACE[] = "\x08";
constexpr char DELETE[] = "\x7f";
constexpr char TAB[] = "\t";

const uint32 NAVIGATION = kits::interface::PackColor(kits::interface::NAVIGATION_COLOR.red,
    kits::interface::NAVIGATION_COLOR.green, kits::interface::NAVIGATION_COLOR.blue);

class ControlsTest : public interface_test::WidgetTest {
protected:
    void SetUp() override
    {
        WidgetTest::SetUp();
        window->ResizeTo(299, 99);
        text = new BTextControl(BRect(10, 10, 220, 30), "Channel", "Channel number:", "E5",
            new BMessage(NAME_ENTERED));
        text->SetModificationMessage(new BMessage(NAME_TYPED));
        window->AddChild(text);
        slider = new BSlider(BRect(10, 40, 220, 70), "Channel", "Channel:", new BMessage(SLID),
            0, 100);
        slider->SetModificationMessage(new BMessage(SLIDING));
        window->AddChild(slider);
        Target(*text);
        Target(*slider);
    }

    // Where the slider's thumb sits for value, in window coordinates.
    BPoint SliderPoint(int32 value)
    {
        const int32 old = slider->Value();
        slider->SetValue(value);
        const BRect thumb = slider->ThumbFrame();
        slider->SetValue(old);
        return slider->ConvertToParent(
            BPoint((thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2));
    }

    int32 Marks(BView* view)
    {
        const BRect frame = view->Frame();
        return CountPixels(NAVIGATION, int32(frame.left), int32(frame.top), int32(frame.right),
            int32(frame.bottom));
    }

    BTextControl* text = nullptr;
    BSlider* slider = nullptr;
};

TEST_F(ControlsTest, TypingEditsTheTextAtTheCaretAndTellsOfEachChange)
{
    struct Case {
        const char* start;
        std::vector<const char*> keys;
        const char* result;
        size_t changes;
    };
    const Case cases[] = {
        {"", {"1", "2", "ü"}, "12ü", 3},
        {"E5", {BACKSPACE, "6"}, "E6", 2},
        {"E5", {LEFT, BACKSPACE, BACKSPACE}, "5", 1},
        {"E5", {HOME, DELETE, DELETE, DELETE}, "", 2},
        {"E5", {HOME, "S", RIGHT, "0", END, "x"}, "SE05x", 3},
        {"aé", {LEFT, "b", RIGHT, BACKSPACE}, "ab", 2},
        {"E5", {UP, DOWN, "\x1b"}, "E5", 0},
    };
    for (const Case& test : cases) {
        text->SetText(test.start);
        text->MakeFocus();
        for (const char* key : test.keys)
            Press(key);
        EXPECT_STREQ(text->Text(), test.result) << test.start;
        text->SetText(text->Text());
        EXPECT_EQ(Commands(), std::vector<uint32>(test.changes, NAME_TYPED)) << test.start;
    }
}

TEST_F(ControlsTest, EnterAndLeavingAfterAChangeInvokeTheTextControlButSetTextDoesNot)
{
    text->SetModificationMessage(nullptr);
    Click(text->ConvertToParent(BPoint(text->Bounds().right - 2, 5)));
    EXPECT_TRUE(text->IsFocus());
    Press("\n");
    text->SetText("S06");
    Press("\n");
    const std::vector<BMessage> sent = recorder->Take();
    ASSERT_EQ(sent.size(), 2u);
    void* source = nullptr;
    EXPECT_EQ(sent[1].FindPointer("source", &source), B_OK);
    EXPECT_EQ(source, text);
    EXPECT_TRUE(sent[1].HasInt64("when"));

    Press(TAB);
    EXPECT_TRUE(Commands().empty());
    text->MakeFocus();
    Press("7");
    slider->MakeFocus();
    EXPECT_EQ(Commands(), std::vector<uint32>{NAME_ENTERED});
    EXPECT_STREQ(text->Text(), "S067");

    text->SetEnabled(false);
    text->MakeFocus();
    Press("8");
    EXPECT_FALSE(text->IsFocus());
    EXPECT_EQ(text->Invoke(), B_NOT_ALLOWED);
    EXPECT_STREQ(text->Text(), "S067");
    EXPECT_TRUE(Commands().empty());
}

TEST_F(ControlsTest, TheSliderInvokesWhenTheUserMovesItButNotWhenSetFromCode)
{
    slider->SetValue(150);
    EXPECT_EQ(slider->Value(), 100);
    slider->SetValue(-3);
    EXPECT_EQ(slider->Value(), 0);
    EXPECT_TRUE(Commands().empty());

    Drag(SliderPoint(0), SliderPoint(40));
    EXPECT_EQ(slider->Value(), 40);
    EXPECT_EQ(Commands(), (std::vector<uint32>{SLIDING, SLID}));
    EXPECT_TRUE(slider->IsFocus());
    Drag(SliderPoint(40), SliderPoint(40));
    EXPECT_TRUE(Commands().empty());
    Drag(SliderPoint(75), SliderPoint(75));
    EXPECT_EQ(slider->Value(), 75);
    EXPECT_EQ(Commands(), (std::vector<uint32>{SLIDING, SLID}));
    Drag(SliderPoint(75), BPoint(1000, 0));
    EXPECT_EQ(slider->Value(), 100);
    (void)Commands();

    struct Step {
        const char* key;
        int32 value;
    };
    const Step steps[] = {
        {RIGHT, 100}, {LEFT, 99}, {DOWN, 98}, {UP, 99}, {HOME, 0}, {LEFT, 0}, {END, 100}};
    int32 before = slider->Value();
    for (const Step& step : steps) {
        Press(step.key);
        EXPECT_EQ(slider->Value(), step.value) << step.key[0] + 0;
        EXPECT_EQ(Commands(), std::vector<uint32>(step.value != before ? 1 : 0, SLID))
            << step.key[0] + 0;
        before = step.value;
    }
}

TEST_F(ControlsTest, TheSliderBarIsFilledUpToTheThumb)
{
    for (int32 value : {0, 20, 80, 100}) {
        slider->SetValue(value);
        window->UpdateIfNeeded();
        const BRect bar = slider->BarFrame();
        const BRect thumb = slider->ThumbFrame();
        const BPoint origin = slider->Frame().LeftTop();
        const int32 row = int32(origin.y + (bar.top + bar.bottom) / 2);
        const int32 thumbLeft = int32(origin.x + thumb.left);
        const int32 thumbRight = int32(origin.x + thumb.right);
        EXPECT_EQ(CountPixels(NAVIGATION, int32(origin.x + bar.left), row, thumbLeft - 1, row),
            std::max(0, thumbLeft - 1 - int32(origin.x + bar.left)))
            << value;
        EXPECT_EQ(CountPixels(NAVIGATION, thumbRight + 1, row, int32(origin.x + bar.right), row),
            0)
            << value;
    }
}

TEST_F(ControlsTest, TabAndShiftTabMoveTheFocusBetweenNavigableViewsWhichShowIt)
{
    auto* list = new BListView(BRect(230, 10, 290, 90), "Presets");
    window->AddChild(list);
    window->AddChild(new BView(BRect(0, 80, 10, 90), "plain", B_FOLLOW_NONE, B_WILL_DRAW));
    auto* hidden = new BSlider(BRect(0, 75, 100, 99), "hidden", "", nullptr, 0, 1);
    hidden->Hide();
    window->AddChild(hidden);
    struct Step {
        const char* key;
        int32 modifiers;
        BView* focus;
    };
    const Step steps[] = {
        {TAB, 0, text},
        {TAB, 0, slider},
        {TAB, 0, list},
        {TAB, 0, text},
        {TAB, B_SHIFT_KEY, list},
        {TAB, B_SHIFT_KEY, slider},
        {TAB, B_COMMAND_KEY, slider},
    };
    for (const Step& step : steps) {
        Press(step.key, step.modifiers);
        EXPECT_EQ(window->CurrentFocus(), step.focus) << step.focus->Name();
        window->UpdateIfNeeded();
        for (BView* view : std::vector<BView*>{text, slider, list})
            EXPECT_EQ(Marks(view) > 0, view == step.focus) << view->Name();
    }
    slider->SetEnabled(false);
    EXPECT_EQ(window->CurrentFocus(), nullptr);
    Press(TAB);
    Press(TAB);
    EXPECT_EQ(window->CurrentFocus(), list);
}

// The menu field as the format menus are built: a pop-up in radio mode whose label follows the
// marked item, each item sending its index.
class MenuFieldTest : public testing::Test {
protected:
    void SetUp() override
    {
        window = new EventWindow(BRect(100, 100, 399, 199), events);
        menu = new BPopUpMenu("Video format");
        for (const char* name : {"PAL", "NTSC", "SECAM"}) {
            auto* message = new BMessage(VIDEO_FORMAT);
            message->AddInt32("i", menu->CountItems());
            menu->AddItem(new BMenuItem(name, message));
        }
        menu->ItemAt(1)->SetMarked(true);
        field = new BMenuField(BRect(10, 10, 220, 30), "VideoCombo", "Video format:", menu, true);
        window->AddChild(field);
    }
    void TearDown() override { interface_test::QuitWindow(window); }

    Events events;
    EventWindow* window = nullptr;
    BPopUpMenu* menu = nullptr;
    BMenuField* field = nullptr;
};

TEST_F(MenuFieldTest, TheShownLabelFollowsTheMarkMovedByCodeOrByAChoice)
{
    EXPECT_EQ(field->Menu(), menu);
    EXPECT_EQ(field->MenuItem()->Submenu(), menu);
    EXPECT_STREQ(field->MenuItem()->Label(), "NTSC");
    menu->ItemAt(2)->SetMarked(true);
    EXPECT_STREQ(field->MenuItem()->Label(), "SECAM");
    EXPECT_EQ(menu->IndexOf(menu->FindMarked()), 2);
    EXPECT_FALSE(menu->ItemAt(1)->IsMarked());
    EXPECT_EQ(field->Frame(), BRect(10, 10, 220, 30));

    interface_test::Shown(window);
    const BPoint box = Locked(window, [&] {
        return field->ConvertToParent(field->MenuFrame().LeftTop()) + BPoint(20, 5);
    });
    BMessage open = Mouse(B_MOUSE_DOWN, box);
    window->PostMessage(&open);
    BRect dropDown;
    ASSERT_TRUE(Await([&] {
        return Locked(window, [&] {
            BView* view = window->FindView("menu drop-down");
            dropDown = view != nullptr ? view->Frame() : BRect();
            return view != nullptr;
        });
    }));
    EXPECT_EQ(dropDown.top, 31);
    const BRect item = Locked(window, [&] { return menu->ItemAt(0)->Frame(); });
    BMessage choose = Mouse(B_MOUSE_DOWN,
        dropDown.LeftTop() + BPoint(item.left + 10, (item.top + item.bottom) / 2));
    window->PostMessage(&choose);
    ASSERT_TRUE(Await([&] {
        std::lock_guard guard(events.lock);
        return std::count(events.commands.begin(), events.commands.end(), VIDEO_FORMAT) == 1;
    }));
    Locked(window, [&] {
        EXPECT_EQ(menu->FindMarked(), menu->ItemAt(0));
        EXPECT_STREQ(field->MenuItem()->Label(), "PAL");
        EXPECT_EQ(window->FindView("menu drop-down"), nullptr);
    });
}

}
