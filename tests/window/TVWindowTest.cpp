#include "window/TVWindow.h"

#include "kits/app/AppDefs.h"
#include "kits/app/Message.h"
#include "kits/interface/Screen.h"
#include "kits/interface/SeparatorItem.h"
#include "tests/window/TVWindowFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace {

// An item as the menus table lists it: a separator has an empty label, a submenu no command.
struct ExpectedItem {
    const char* label;
    uint32 command;
    char shortcut;
};

TEST_F(TVWindowTest, MenusHoldTheirItemsCommandsAndShortcutsInOrder)
{
    MakeWindow();
    BMenuBar* bar = MenuBar();
    EXPECT_EQ(bar->ResizingMode(), uint32(B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP));
    ASSERT_EQ(bar->CountItems(), 4);
    const ExpectedItem separator = {"", 0, 0};
    const std::vector<std::pair<const char*, std::vector<ExpectedItem>>> menus = {
        {"TV", {{"Preferences", MSG_SHOW_PREFERENCES, 0}, {"About", B_ABOUT_REQUESTED, 0},
            separator, {"Quit", B_QUIT_REQUESTED, 'Q'}}},
        {"View", {{"Video format", 0, 0}, separator,
            {"Toggle fullscreen mode", MSG_TOGGLE_FULLSCREEN, char(B_ENTER)},
            {"Resize to optimal size", MSG_OPTIMAL_SIZE, 'O'}}},
        {"Tuner", {{"Channel up", MSG_CHANNEL_UP, 0}, {"Channel down", MSG_CHANNEL_DOWN, 0},
            separator, {"Show Channel suite", MSG_SHOW_CHANNEL_SUITE, 'S'}}},
        {"Help", {{"Manual", MSG_SHOW_MANUAL, 0}, {"Quick start", MSG_SHOW_QUICK_START, 0}}},
        {"Video format", {{"4:3", MSG_FORMAT_4_3, 0}, {"16:9 (PAL Plus)", MSG_FORMAT_16_9, 0}}},
    };
    for (size_t m = 0; m < menus.size(); m++) {
        const auto& [title, items] = menus[m];
        BMenu* menu = m < 4 ? Menu(int32(m)) : FormatMenu();
        SCOPED_TRACE(title);
        ASSERT_NE(menu, nullptr);
        EXPECT_STREQ((m < 4 ? bar->ItemAt(int32(m)) : Menu(1)->ItemAt(0))->Label(), title);
        ASSERT_EQ(menu->CountItems(), int32(items.size()));
        for (int32 i = 0; i < menu->CountItems(); i++) {
            BMenuItem* item = menu->ItemAt(i);
            const ExpectedItem& want = items[size_t(i)];
            SCOPED_TRACE(i);
            EXPECT_EQ(dynamic_cast<BSeparatorItem*>(item) != nullptr, want.label[0] == '\0');
            if (want.label[0] == '\0' || item->Submenu() != nullptr)
                continue;
            EXPECT_STREQ(item->Label(), want.label);
            EXPECT_EQ(item->Command(), want.command);
            uint32 modifiers = 42;
            EXPECT_EQ(item->Shortcut(&modifiers), want.shortcut);
            EXPECT_EQ(modifiers, 0u);
            // A bare command: no fields.
            EXPECT_EQ(item->Message()->CountNames(B_ANY_TYPE), 0);
        }
    }
    // Exactly one format is marked, and the radio mode moves the mark.
    EXPECT_TRUE(FormatMenu()->IsRadioMode());
    EXPECT_TRUE(FormatMenu()->ItemAt(0)->IsMarked());
    EXPECT_FALSE(FormatMenu()->ItemAt(1)->IsMarked());
}

TEST_F(TVWindowTest, HelpItemsAreEnabledOnlyForDocumentFilesBesideTheApplication)
{
    const std::string doc = applicationDirectory + "/Doc/";
    struct Case {
        const char* what;
        std::function<void()> prepare;
        bool manual;
        bool quickStart;
    };
    const std::vector<Case> cases = {
        {"no Doc folder", [] {}, false, false},
        {"only the manual", [this] { WriteFile("Doc/Manual"); }, true, false},
        {"both", [this] { WriteFile("Doc/QuickStart"); }, true, true},
        {"a folder named Manual",
            [&] {
                std::filesystem::remove(doc + "Manual");
                std::filesystem::create_directories(doc + "Manual");
            },
            false, true},
        {"a link to a file named QuickStart",
            [&] {
                WriteFile("Doc/Elsewhere");
                std::filesystem::remove(doc + "QuickStart");
                std::filesystem::create_symlink("Elsewhere", doc + "QuickStart");
            },
            false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.prepare();
        MakeWindow();
        EXPECT_EQ(Menu(3)->ItemAt(0)->IsEnabled(), c.manual);
        EXPECT_EQ(Menu(3)->ItemAt(1)->IsEnabled(), c.quickStart);
        CloseWindow();
    }
}

TEST_F(TVWindowTest, HelpDocumentsAreLookedForBesideTheRunningExecutable)
{
    // The test's own executable stands for the application: its folder gets the manual for
    // the length of the test.
    const std::filesystem::path docs =
        std::filesystem::read_symlink("/proc/self/exe").parent_path() / "Doc";
    ASSERT_FALSE(std::filesystem::exists(docs));
    test_support::WriteBytes(docs / "Manual", "document\n");
    test_support::RegisterTestCard();
    window = new TVWindow(FRAME, "Ovelin Beta 4", B_TITLED_WINDOW, B_ASYNCHRONOUS_CONTROLS);
    window->Lock();
    const bool manual = Menu(3)->ItemAt(0)->IsEnabled();
    const bool quickStart = Menu(3)->ItemAt(1)->IsEnabled();
    std::filesystem::remove_all(docs);
    EXPECT_TRUE(manual);
    EXPECT_FALSE(quickStart);
}

TEST_F(TVWindowTest, ChildViewsFillTheWindowAndThePictureFollowsTheVideoViewsSize)
{
    MakeWindow();
    const float barHeight = MenuBar()->Bounds().Height();
    EXPECT_GT(barHeight, 0);
    EXPECT_EQ(Panel()->Frame(), BRect(0, barHeight + 1, 80, 300));
    TVView* video = VideoView();
    EXPECT_EQ(video->Frame(), BRect(81, barHeight + 1, 400, 300));
    EXPECT_EQ(video->ResizingMode(), uint32(B_FOLLOW_ALL_SIDES));
    EXPECT_EQ(window->CurrentFocus(), Panel());

    const float u = video->Bounds().Width() / 100;
    const float v = video->Bounds().Height() / 100;
    const uint32 bottomBand = B_FOLLOW_LEFT_RIGHT | B_FOLLOW_BOTTOM;
    const struct {
        BView* view;
        BRect frame;
        uint32 resizingMode;
    } overlays[] = {
        {SliderOverlay(), BRect(8 * u, 85 * v - 25, 92 * u, 85 * v + 25), bottomBand},
        {Label("pNameLabel"), BRect(8 * u, 85 * v, 92 * u, 85 * v + 25), bottomBand},
        {Label("pChannelLabel"), BRect(8 * u, 8 * v, 8 * u + 100, 8 * v + 25),
            B_FOLLOW_LEFT | B_FOLLOW_TOP},
    };
    for (const auto& overlay : overlays) {
        ASSERT_NE(overlay.view, nullptr);
        SCOPED_TRACE(overlay.view->Name());
        EXPECT_EQ(overlay.view->Frame(), overlay.frame);
        EXPECT_EQ(overlay.view->ResizingMode(), overlay.resizingMode);
        EXPECT_EQ(overlay.view->Parent(), video);
        EXPECT_TRUE(overlay.view->IsHidden());
    }
    // For the 400 by 300 window the video view is 319 units wide.
    EXPECT_FLOAT_EQ(SliderOverlay()->Frame().left, 25.52f);
    const rgb_color white = SliderOverlay()->ViewColor();
    EXPECT_EQ(white.red + white.green + white.blue, 3 * 255);

    // The picture follows the view's size five pulses after the last resize.
    window->ResizeTo(500, 400);
    Pulses(3);
    // Another resize starts the delay again.
    window->ResizeTo(600, 450);
    Pulses(4);
    // Still the card's whole picture, as the graph started with it.
    EXPECT_EQ(VideoView()->RequestedWidth(), 768);
    Pulses(1);
    const BRect bounds = VideoView()->Bounds();
    EXPECT_EQ(VideoView()->RequestedWidth(), (int32(std::ceil(bounds.Width())) + 1) & ~1);
    EXPECT_EQ(VideoView()->RequestedHeight(), (int32(std::ceil(bounds.Height())) + 1) & ~1);
    EXPECT_EQ(VideoView()->RequestedWidth(), 600 - 81 + 1);
}

TEST_F(TVWindowTest, ClosingWhileFullScreenPutsTheSavedDisplayModeBack)
{
    BScreen screen;
    display_mode original;
    ASSERT_EQ(screen.GetMode(&original), B_OK);
    MakeWindow();
    ASSERT_EQ(window->SetFullScreen(true), B_OK);
    application->HideCursor();
    display_mode* modes = nullptr;
    uint32 count = 0;
    ASSERT_EQ(screen.GetModeList(&modes, &count), B_OK);
    std::unique_ptr<display_mode, decltype(&free)> list(modes, &free);
    display_mode other = original;
    for (uint32 i = 0; i < count; i++) {
        if (modes[i].timing.h_display != original.timing.h_display)
            other = modes[i];
    }
    ASSERT_NE(other.timing.h_display, original.timing.h_display);
    ASSERT_EQ(screen.SetMode(&other), B_OK);

    CloseWindow();
    display_mode restored;
    ASSERT_EQ(screen.GetMode(&restored), B_OK);
    EXPECT_EQ(restored.timing.h_display, original.timing.h_display);
    EXPECT_EQ(restored.timing.v_display, original.timing.v_display);
    EXPECT_EQ(restored.space, original.space);
    EXPECT_FALSE(application->IsCursorHidden());
}

}
