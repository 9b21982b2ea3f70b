#include "kits/interface/Menu.h"

#include "kits/app/AppDefs.h"
#include "kits/app/Message.h"
#include "kits/interface/InterfaceDefs.h"
#include "kits/interface/MenuBar.h"
#include "kits/interface/MenuItem.h"
#include "kits/interface/PopUpMenu.h"
#include "kits/interface/PopUpMenuTestHooks.h"
#include "kits/interface/SeparatorItem.h"
#include "kits/interface/Window.h"
#include "tests/kits/interface/InterfaceTestSupport.h"
#include "tests/support/Await.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

using namespace interface_test;
using test_support::Await;

namespace {

constexpr uint32 MSG_PREFERENCES = 0x1000d;
constexpr uint32 MSG_FULLSCREEN = 0x10011;
constexpr uint32 MSG_CHANNEL_UP = 0x10000;
constexpr uint32 MSG_FORMAT_4_3 = 0x1000f;
constexpr uint32 MSG_FORMAT_16_9 = 0x10010;
// Posted last by a test: once it arrives, everything posted before has been handled.
constexpr uint32 MARKER = 'mark';

BMenuItem* Item(const char* label, uint32 command, char shortcut = 0)
{
    return new BMenuItem(label, new BMessage(command), shortcut);
}

// The main window's menus, as far as these tests need them.
BMenuBar* MakeBar()
{
    auto* bar = new BMenuBar(BRect(0, 0, 640, 20), "Menu Bar");
    auto* tv = new BMenu("TV");
    tv->AddItem(Item("Preferences", MSG_PREFERENCES));
    tv->AddSeparatorItem();
    tv->AddItem(Item("Quit", B_QUIT_REQUESTED, 'Q'));
    bar->AddItem(tv);
    auto* view = new BMenu("View");
    auto* formats = new BMenu("Video format");
    formats->SetRadioMode(true);
    formats->AddItem(Item("4:3", MSG_FORMAT_4_3));
    formats->AddItem(Item("16:9 (PAL Plus)", MSG_FORMAT_16_9));
    formats->ItemAt(0)->SetMarked(true);
    view->AddItem(formats);
    view->AddSeparatorItem();
    view->AddItem(Item("Toggle fullscreen mode", MSG_FULLSCREEN, B_ENTER));
    bar->AddItem(view);
    auto* tuner = new BMenu("Tuner");
    tuner->AddItem(Item("Channel up", MSG_CHANNEL_UP));
    bar->AddItem(tuner);
    return bar;
}

BMessage Click(BPoint where)
{
    return Mouse(B_MOUSE_DOWN, where);
}

BPoint Middle(BRect rect)
{
    return BPoint((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
}

}

TEST(MenuTest, ItemsAreAddedFoundMarkedDisabledAndRemoved)
{
    BMenu menu("TV");
    auto* quit = Item("Quit", B_QUIT_REQUESTED, 'Q');
    ASSERT_TRUE(menu.AddItem(quit));
    ASSERT_TRUE(menu.AddItem(Item("Preferences", MSG_PREFERENCES), 0));
    auto* formats = new BMenu("Video format");
    formats->SetRadioMode(true);
    formats->AddItem(Item("4:3", MSG_FORMAT_4_3));
    formats->AddItem(Item("16:9", MSG_FORMAT_16_9));
    ASSERT_TRUE(menu.AddItem(formats));
    EXPECT_EQ(menu.IndexOf(quit), 1);
    EXPECT_EQ(menu.ItemAt(2)->Submenu(), formats);
    EXPECT_EQ(formats->Supermenu(), &menu);
    EXPECT_EQ(menu.FindItem("Quit"), quit);
    EXPECT_EQ(menu.FindItem(MSG_FORMAT_4_3), formats->ItemAt(0));
    EXPECT_EQ(menu.FindItem("Nothing"), nullptr);
    // An item of another menu and indices out of range are refused.
    BMenu other("other");
    EXPECT_FALSE(other.AddItem(quit));
    std::unique_ptr<BMenuItem> stray(Item("stray", 1));
    EXPECT_FALSE(menu.AddItem(stray.get(), 9));
    EXPECT_FALSE(menu.AddItem(stray.get(), -1));

    // A radio menu keeps one item marked, a marked item added later taking the mark over.
    formats->ItemAt(0)->SetMarked(true);
    formats->ItemAt(1)->SetMarked(true);
    EXPECT_FALSE(formats->ItemAt(0)->IsMarked());
    EXPECT_EQ(formats->FindMarked(), formats->ItemAt(1));
    auto* third = Item("other", 3);
    third->SetMarked(true);
    formats->AddItem(third);
    EXPECT_FALSE(formats->ItemAt(1)->IsMarked());
    // Other menus mark freely.
    menu.ItemAt(0)->SetMarked(true);
    quit->SetMarked(true);
    EXPECT_TRUE(menu.ItemAt(0)->IsMarked());

    // An item is enabled only while it and every menu above it are.
    BMenuItem* wide = formats->ItemAt(1);
    menu.SetEnabled(false);
    EXPECT_FALSE(wide->IsEnabled());
    EXPECT_EQ(wide->Invoke(), B_NOT_ALLOWED);
    menu.SetEnabled(true);
    wide->SetEnabled(false);
    EXPECT_FALSE(wide->IsEnabled());
    EXPECT_TRUE(formats->IsEnabled());
    // Enabled but outside any window and without a target, it has nowhere to go.
    wide->SetEnabled(true);
    EXPECT_EQ(wide->Invoke(), B_BAD_HANDLER);
    BSeparatorItem separator;
    separator.SetEnabled(true);
    EXPECT_FALSE(separator.IsEnabled());

    std::unique_ptr<BMenuItem> removed(menu.RemoveItem(1));
    EXPECT_EQ(removed.get(), quit);
    EXPECT_EQ(removed->Menu(), nullptr);
    EXPECT_EQ(menu.CountItems(), 2);
    EXPECT_EQ(menu.RemoveItem(5), nullptr);
}

class MenuWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        events.refuseQuit = true;
        window = new EventWindow(BRect(10, 25, 409, 324), events);
        bar = MakeBar();
        window->AddChild(bar);
        focusView = new EventView(BRect(0, 30, 399, 299), events);
        window->AddChild(focusView);
        focusView->MakeFocus();
        Shown(window);
    }

    void TearDown() override { QuitWindow(window); }

    // Posts the message and waits until it has been handled and what its handling posted has
    // arrived: a marker posted after it, then a second one posted once the first arrived.
    void Send(BMessage message)
    {
        window->PostMessage(&message);
        for (int32 round = 0; round < 2; round++) {
            window->PostMessage(MARKER);
            ASSERT_TRUE(Await([&] {
                std::lock_guard guard(events.lock);
                return std::count(events.commands.begin(), events.commands.end(), MARKER)
                    > markers;
            }));
            markers++;
        }
    }

    BPoint TitlePoint(int32 index)
    {
        return Locked(window, [&] { return Middle(bar->ItemAt(index)->Frame()); });
    }

    // Where an item of the open menu lies, in window coordinates.
    BPoint ItemPoint(BMenu* menu, int32 index, float dropDownLeft)
    {
        return Locked(window, [&] {
            return Middle(menu->ItemAt(index)->Frame())
                + BPoint(dropDownLeft, bar->Bounds().bottom + 1);
        });
    }

    bool Tracking()
    {
        return Locked(window, [this] { return bar->IsTracking(); });
    }

    std::vector<uint32> Commands()
    {
        std::lock_guard guard(events.lock);
        std::vector<uint32> commands = events.commands;
        std::erase(commands, MARKER);
        return commands;
    }

    Events events;
    EventWindow* window = nullptr;
    BMenuBar* bar = nullptr;
    EventView* focusView = nullptr;
    int32 markers = 0;
};

TEST_F(MenuWindowTest, BarShowsTitlesThatOpenMenusWhichCloseWithoutFiringOrFireEnabledItems)
{
    Locked(window, [this] {
        EXPECT_EQ(window->KeyMenuBar(), bar);
        EXPECT_EQ(bar->Frame().Width(), window->Bounds().Width());
        EXPECT_GE(bar->Bounds().Height(), 15.0f);
        EXPECT_LE(bar->Bounds().Height(), 24.0f);
        window->AddChild(new BMenuBar(BRect(0, 100, 100, 120), "second"));
        EXPECT_EQ(window->KeyMenuBar(), bar);
        // Titles are laid out left to right, each with dark label pixels, none in the rest.
        window->UpdateIfNeeded();
        const kits::interface::FrameBuffer& pixels = window->ContentBuffer();
        const int32 bottom = int32(bar->Bounds().bottom);
        float right = -1;
        for (int32 i = 0; i < bar->CountItems(); i++) {
            const BRect frame = bar->ItemAt(i)->Frame();
            EXPECT_EQ(frame, BRect(right + 1, 0, frame.right, frame.bottom)) << i;
            EXPECT_GT(frame.Width(), be_plain_font->StringWidth(bar->ItemAt(i)->Label())) << i;
            EXPECT_GT(CountPixelsWhere(pixels, int32(frame.left), 0, int32(frame.right), bottom,
                          IsDark),
                10)
                << i;
            right = frame.right;
        }
        const uint32 background = pixels.PixelAt(int32(right) + 20, bottom / 2);
        EXPECT_EQ(CountPixelsWhere(pixels, int32(right) + 1, 0, 399, bottom,
                      [background](uint32 pixel) { return pixel == background; }),
            (399 - int32(right)) * (bottom + 1));
    });

    BMenu* tv = bar->ItemAt(0)->Submenu();
    Send(Click(TitlePoint(0)));
    const int32 dark = Locked(window, [&] {
        window->UpdateIfNeeded();
        const BPoint middle = ItemPoint(tv, 0, 0);
        return CountPixelsWhere(window->ContentBuffer(), 0, int32(middle.y) - 5, 399,
            int32(middle.y) + 5, IsDark);
    });
    EXPECT_GT(dark, 20);
    EXPECT_TRUE(Tracking());
    Send(Mouse(B_MOUSE_MOVED, TitlePoint(1), 0));
    Locked(window, [this] {
        EXPECT_EQ(window->ChildAt(window->CountChildren() - 1)->Frame().left,
            bar->ItemAt(1)->Frame().left);
    });
    {
        SCOPED_TRACE("Escape, a click elsewhere and a second click on the title close it");
        Send(Key("\x1b"));
        EXPECT_FALSE(Tracking());
        Send(Click(TitlePoint(0)));
        Send(Click(BPoint(390, 290)));
        EXPECT_FALSE(Tracking());
        Send(Click(TitlePoint(1)));
        Send(Click(TitlePoint(1)));
        EXPECT_FALSE(Tracking());
        EXPECT_TRUE(Commands().empty());
    }
    {
        SCOPED_TRACE("separators, disabled items and disabled menus do nothing");
        Locked(window, [&] {
            tv->ItemAt(0)->SetEnabled(false);
            bar->ItemAt(2)->Submenu()->SetEnabled(false);
        });
        Send(Click(TitlePoint(0)));
        Send(Click(ItemPoint(tv, 0, 0)));
        Send(Click(ItemPoint(tv, 1, 0)));
        EXPECT_TRUE(Tracking());
        Send(Click(TitlePoint(2)));
        EXPECT_FALSE(Tracking());
        EXPECT_TRUE(Commands().empty());
    }
    Locked(window, [&] { tv->ItemAt(0)->SetEnabled(true); });
    Send(Click(TitlePoint(0)));
    Send(Click(ItemPoint(tv, 0, 0)));
    EXPECT_FALSE(Tracking());
    EXPECT_EQ(Commands(), std::vector<uint32>{MSG_PREFERENCES});
    // Arrow keys and Enter choose too: down twice skips the separator and lands on "Quit".
    Send(Click(TitlePoint(0)));
    Send(Key("\x1f"));
    Send(Key("\x1f"));
    Send(Key("\n"));
    EXPECT_FALSE(Tracking());
    EXPECT_EQ(events.quitRequests.load(), 1);
    // No key the open menus took reached the focus view.
    std::lock_guard guard(events.lock);
    EXPECT_TRUE(events.keys.empty());
}

TEST_F(MenuWindowTest, ChoosingFromARadioSubmenuBesideItsItemMarksTheItem)
{
    BMenu* view = bar->ItemAt(1)->Submenu();
    BMenu* formats = view->ItemAt(0)->Submenu();
    const float left = Locked(window, [this] { return bar->ItemAt(1)->Frame().left; });
    Send(Click(TitlePoint(1)));
    Send(Click(ItemPoint(view, 0, left)));
    const BPoint target = Locked(window, [&] {
        EXPECT_TRUE(bar->IsTracking());
        // The submenu opens beside the item that holds it, as the front-most view.
        const BRect opened = window->ChildAt(window->CountChildren() - 1)->Frame();
        const BRect parent = window->ChildAt(window->CountChildren() - 2)->Frame();
        EXPECT_TRUE(window->Bounds().Contains(opened));
        EXPECT_EQ(opened.top, parent.top + view->ItemAt(0)->Frame().top - 1);
        return Middle(formats->ItemAt(1)->Frame()) + opened.LeftTop();
    });
    Send(Click(target));
    EXPECT_FALSE(Tracking());
    EXPECT_EQ(Commands(), std::vector<uint32>{MSG_FORMAT_16_9});
    EXPECT_EQ(Locked(window, [&] { return formats->FindMarked(); }), formats->ItemAt(1));
}

TEST_F(MenuWindowTest, ShortcutsOfTheKeyMenuBarsEnabledItemsFireAndOtherKeysReachTheFocusView)
{
    Send(Key("q", B_COMMAND_KEY));
    Send(Key("\n", B_COMMAND_KEY));
    Send(Key("+"));
    Send(Key("\n"));
    Send(Key("x", B_COMMAND_KEY));
    Locked(window, [this] { bar->FindItem(B_QUIT_REQUESTED)->SetEnabled(false); });
    Send(Key("q", B_COMMAND_KEY));
    EXPECT_EQ(Commands(), std::vector<uint32>{MSG_FULLSCREEN});
    EXPECT_EQ(events.quitRequests.load(), 1);
    // Without its key menu bar, the window hands every key to the focus view.
    Locked(window, [this] {
        window->RemoveChild(bar);
        EXPECT_EQ(window->KeyMenuBar(), nullptr);
        delete bar;
    });
    Send(Key("\n", B_COMMAND_KEY));
    std::lock_guard guard(events.lock);
    EXPECT_EQ(events.keys, (std::vector<std::string>{"+", "\n", "x", "q", "\n"}));
}

class PopUpMenuTest : public testing::Test {
protected:
    void TearDown() override { kits::interface::SetPopUpResponder(nullptr); }
};

TEST_F(PopUpMenuTest, GoAnswersWithTheEnabledItemTheResponderChoosesAndARadioPopUpMarksIt)
{
    BPopUpMenu menu("ReplicantMenu", false, false, B_ITEMS_IN_COLUMN);
    auto* stations = new BMenu("Stations");
    stations->AddItem(Item("One", 'tZAP'));
    menu.AddItem(stations);
    menu.AddItem(Item("Resize to optimal size", 'tvRO'));
    BPoint asked;
    const char* choice = "Resize to optimal size";
    kits::interface::SetPopUpResponder([&](BPopUpMenu* shown, BPoint where) {
        asked = where;
        return shown->FindItem(choice);
    });
    EXPECT_EQ(menu.Go(BPoint(30, 40), true, true, false), menu.ItemAt(1));
    EXPECT_EQ(asked, BPoint(30, 40));
    // Asynchronous, it answers nothing.
    EXPECT_EQ(menu.Go(BPoint(0, 0), false, false, true), nullptr);
    choice = "One";
    EXPECT_EQ(menu.Go(BPoint(0, 0)), stations->ItemAt(0));
    stations->ItemAt(0)->SetEnabled(false);
    EXPECT_EQ(menu.Go(BPoint(0, 0)), nullptr);
    choice = "Nothing";
    EXPECT_EQ(menu.Go(BPoint(0, 0)), nullptr);

    // A radio pop-up marks the chosen item, and an empty one stays shut.
    BPopUpMenu radio("Source");
    int32 shown = 0;
    kits::interface::SetPopUpResponder([&](BPopUpMenu* popUp, BPoint) {
        shown++;
        return popUp->ItemAt(1);
    });
    EXPECT_EQ(radio.Go(BPoint(0, 0)), nullptr);
    EXPECT_EQ(shown, 0);
    radio.AddItem(Item("Line", 1));
    radio.AddItem(Item("Tuner", 2));
    radio.ItemAt(0)->SetMarked(true);
    EXPECT_EQ(radio.Go(BPoint(0, 0)), radio.ItemAt(1));
    EXPECT_EQ(radio.FindMarked(), radio.ItemAt(1));
}
