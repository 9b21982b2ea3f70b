#include "window/TVWindow.h"

#include "channels/ControlPanel.h"
#include "devices/DefaultNodes.h"
#include "devices/TestCardNode.h"
#include "kits/app/AppDefs.h"
#include "kits/app/Application.h"
#include "kits/app/Message.h"
#include "kits/kernel/TypeConstants.h"
#include "kits/interface/HeadlessDisplayBackend.h"
#include "kits/interface/InterfaceDefs.h"
#include "kits/interface/MenuBar.h"
#include "kits/interface/MenuItem.h"
#include "kits/interface/Screen.h"
#include "kits/interface/SeparatorItem.h"
#include "kits/media/MediaDevices.h"
#include "kits/media/MediaTestHooks.h"
#include "tests/support/TemporaryFolder.h"
#include "tests/window/TVWindowFixture.h"
#include "video/TVView.h"
#include "window/Commands.h"
#include "window/Slider.h"
#include "window/TextOver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <vector>

namespace {

TEST_F(TVWindowTest, MenuBarHoldsTheFourMenusInARow)
{
    MakeWindow();
    BMenuBar* bar = MenuBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->Layout(), B_ITEMS_IN_ROW);
    EXPECT_EQ(bar->ResizingMode(), uint32(B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP));
    EXPECT_EQ(bar->Window(), window);
    ASSERT_EQ(bar->CountItems(), 4);
    const char* titles[] = {"TV", "View", "Tuner", "Help"};
    for (int32 i = 0; i < 4; i++) {
        EXPECT_STREQ(bar->ItemAt(i)->Label(), titles[i]);
        EXPECT_NE(bar->ItemAt(i)->Submenu(), nullptr);
    }
}

TEST_F(TVWindowTest, MenusHoldTheirItemsCommandsAndShortcutsInOrder)
{
    MakeWindow();
    ExpectItems(Menu(0), {{"Preferences", MSG_SHOW_PREFERENCES, 0},
        {"About", B_ABOUT_REQUESTED, 0}, SEPARATOR, {"Quit", B_QUIT_REQUESTED, 'Q'}});

    BMenu* view = Menu(1);
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(view->CountItems(), 4);
    EXPECT_STREQ(view->ItemAt(0)->Label(), "Video format");
    EXPECT_NE(view->ItemAt(0)->Submenu(), nullptr);
    EXPECT_NE(dynamic_cast<BSeparatorItem*>(view->ItemAt(1)), nullptr);
    for (int32 i = 2; i < 4; i++) {
        const ExpectedItem want = i == 2
            ? ExpectedItem{"Toggle fullscreen mode", MSG_TOGGLE_FULLSCREEN, char(B_ENTER)}
            : ExpectedItem{"Resize to optimal size", MSG_OPTIMAL_SIZE, 'O'};
        uint32 modifiers = 42;
        EXPECT_STREQ(view->ItemAt(i)->Label(), want.label);
        EXPECT_EQ(view->ItemAt(i)->Command(), want.command);
        EXPECT_EQ(view->ItemAt(i)->Shortcut(&modifiers), want.shortcut);
        EXPECT_EQ(modifiers, 0u);
    }

    ExpectItems(Menu(2), {{"Channel up", MSG_CHANNEL_UP, 0},
        {"Channel down", MSG_CHANNEL_DOWN, 0}, SEPARATOR,
        {"Show Channel suite", MSG_SHOW_CHANNEL_SUITE, 'S'}});
    ExpectItems(Menu(3), {{"Manual", MSG_SHOW_MANUAL, 0},
        {"Quick start", MSG_SHOW_QUICK_START, 0}});
}

TEST_F(TVWindowTest, VideoFormatMenuIsInRadioModeWithFourThreeMarked)
{
    MakeWindow();
    BMenu* formats = Menu(1)->ItemAt(0)->Submenu();
    ExpectItems(formats, {{"4:3", MSG_FORMAT_4_3, 0},
        {"16:9 (PAL Plus)", MSG_FORMAT_16_9, 0}});
    EXPECT_TRUE(formats->IsRadioMode());
    EXPECT_TRUE(formats->ItemAt(0)->IsMarked());
    EXPECT_FALSE(formats->ItemAt(1)->IsMarked());
    // The radio mode moves the mark.
    formats->ItemAt(1)->SetMarked(true);
    EXPECT_FALSE(formats->ItemAt(0)->IsMarked());
}

TEST_F(TVWindowTest, HelpItemsAreEnabledOnlyForDocumentFilesBesideTheApplication)
{
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
            [this] {
                std::filesystem::remove(applicationDirectory + "/Doc/Manual");
                std::filesystem::create_directories(applicationDirectory + "/Doc/Manual");
            },
            false, true},
        {"a link to a file named QuickStart",
            [this] {
                WriteFile("Doc/Elsewhere");
                std::filesystem::remove(applicationDirectory + "/Doc/QuickStart");
                std::filesystem::create_symlink("Elsewhere",
                    applicationDirectory + "/Doc/QuickStart");
            },
            false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.prepare();
        MakeWindow();
        BMenu* help = Menu(3);
        ASSERT_NE(help, nullptr);
        EXPECT_EQ(help->ItemAt(0)->IsEnabled(), c.manual);
        EXPECT_EQ(help->ItemAt(1)->IsEnabled(), c.quickStart);
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
    std::filesystem::create_directories(docs);
    std::ofstream(docs / "Manual") << "document\n";
    ASSERT_EQ(media_register_default_node(MEDIA_DEFAULT_VIDEO_INPUT,
        [] { return static_cast<BMediaNode*>(new devices::TestCardNode()); }, 0), B_OK);
    window = new TVWindow(FRAME, "Ovelin Beta 4", B_TITLED_WINDOW, B_ASYNCHRONOUS_CONTROLS);
    window->Lock();
    const bool manual = Menu(3)->ItemAt(0)->IsEnabled();
    const bool quickStart = Menu(3)->ItemAt(1)->IsEnabled();
    std::filesystem::remove_all(docs);
    EXPECT_TRUE(manual);
    EXPECT_FALSE(quickStart);
}

TEST_F(TVWindowTest, TunerMenuIsDisabledForACardWithoutTuner)
{
    MakeWindow(false);
    EXPECT_FALSE(Menu(2)->IsEnabled());
    EXPECT_FALSE(Menu(2)->ItemAt(0)->IsEnabled());
    EXPECT_TRUE(Menu(1)->IsEnabled());
    CloseWindow();

    MakeWindow(true);
    EXPECT_TRUE(Menu(2)->IsEnabled());
    EXPECT_TRUE(Menu(2)->ItemAt(3)->IsEnabled());
}

TEST_F(TVWindowTest, SizeLimitsKeepTheWindowBetweenItsFirstSizeAndTheScreen)
{
    ASSERT_EQ(kits::interface::HeadlessDisplay().SetScreen(B_RGB32, 800, 600), B_OK);
    MakeWindow();
    window->ResizeTo(399, 299);
    EXPECT_EQ(window->Bounds(), BRect(0, 0, 400, 300));
    window->ResizeTo(1000, 700);
    EXPECT_EQ(window->Bounds(), BRect(0, 0, 799, 599));
    window->ResizeTo(500, 400);
    EXPECT_EQ(window->Bounds(), BRect(0, 0, 500, 400));
}

TEST_F(TVWindowTest, ChildViewsFillTheWindowAndThePanelHasTheFocus)
{
    MakeWindow();
    const float barHeight = MenuBar()->Bounds().Height();
    EXPECT_GT(barHeight, 0);
    auto* panel = dynamic_cast<ControlPanel*>(window->FindView("ControlPanel"));
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->Frame(), BRect(0, barHeight + 1, 80, 300));
    ASSERT_NE(VideoView(), nullptr);
    EXPECT_EQ(VideoView()->Frame(), BRect(81, barHeight + 1, 400, 300));
    EXPECT_EQ(VideoView()->ResizingMode(), uint32(B_FOLLOW_ALL_SIDES));
    EXPECT_EQ(VideoView()->Flags(), uint32(B_WILL_DRAW));
    EXPECT_EQ(window->CurrentFocus(), panel);
}

TEST_F(TVWindowTest, OverlaysLieHiddenInTheVideoView)
{
    MakeWindow();
    TVView* video = VideoView();
    ASSERT_NE(video, nullptr);
    const float u = video->Bounds().Width() / 100;
    const float v = video->Bounds().Height() / 100;
    auto* slider = dynamic_cast<Slider*>(window->FindView("pSlider"));
    auto* name = dynamic_cast<TextOver*>(window->FindView("pNameLabel"));
    auto* channel = dynamic_cast<TextOver*>(window->FindView("pChannelLabel"));
    ASSERT_NE(slider, nullptr);
    ASSERT_NE(name, nullptr);
    ASSERT_NE(channel, nullptr);

    EXPECT_EQ(slider->Frame(), BRect(8 * u, 85 * v - 25, 92 * u, 85 * v + 25));
    EXPECT_EQ(name->Frame(), BRect(8 * u, 85 * v, 92 * u, 85 * v + 25));
    EXPECT_EQ(channel->Frame(), BRect(8 * u, 8 * v, 8 * u + 100, 8 * v + 25));
    // For the 400 by 300 window the video view is 319 units wide.
    EXPECT_FLOAT_EQ(slider->Frame().left, 25.52f);
    EXPECT_FLOAT_EQ(slider->Frame().right, 293.48f);

    const uint32 bottomBand = B_FOLLOW_LEFT_RIGHT | B_FOLLOW_BOTTOM;
    EXPECT_EQ(slider->ResizingMode(), bottomBand);
    EXPECT_EQ(name->ResizingMode(), bottomBand);
    EXPECT_EQ(channel->ResizingMode(), uint32(B_FOLLOW_LEFT | B_FOLLOW_TOP));
    for (BView* overlay : {static_cast<BView*>(slider), static_cast<BView*>(name),
             static_cast<BView*>(channel)}) {
        EXPECT_EQ(overlay->Parent(), video) << overlay->Name();
        EXPECT_TRUE(overlay->IsHidden()) << overlay->Name();
        EXPECT_EQ(overlay->Flags(), uint32(B_WILL_DRAW)) << overlay->Name();
    }
    const rgb_color white = slider->ViewColor();
    EXPECT_EQ(white.red, 255);
    EXPECT_EQ(white.green, 255);
    EXPECT_EQ(white.blue, 255);
}

TEST_F(TVWindowTest, OptimalSizeGivesTheVideoViewTheSignalSizeOnceTheWindowRuns)
{
    MakeWindow();
    window->Show();
    window->Unlock();
    ASSERT_TRUE(AwaitCondition([this] {
        window->Lock();
        const bool done = VideoView()->Bounds() == BRect(0, 0, 767, 575);
        window->Unlock();
        return done;
    }));
    window->Lock();
    EXPECT_EQ(window->Frame().LeftTop(), FRAME.LeftTop());
    EXPECT_EQ(window->Bounds().Width(), 767 + 81);
}

TEST_F(TVWindowTest, VideoFollowsTheViewSizeFivePulsesAfterTheLastResize)
{
    MakeWindow();
    window->ResizeTo(500, 400);
    for (int32 i = 0; i < 3; i++)
        window->Pulse();
    // Another resize starts the delay again.
    window->ResizeTo(600, 450);
    for (int32 i = 0; i < 4; i++)
        window->Pulse();
    // Still the card's whole picture, as the graph started with it.
    EXPECT_EQ(VideoView()->RequestedWidth(), 768);
    window->Pulse();
    const BRect bounds = VideoView()->Bounds();
    EXPECT_EQ(VideoView()->RequestedWidth(), (int32(std::ceil(bounds.Width())) + 1) & ~1);
    EXPECT_EQ(VideoView()->RequestedHeight(), (int32(std::ceil(bounds.Height())) + 1) & ~1);
    EXPECT_EQ(VideoView()->RequestedWidth(), 600 - 81 + 1);
}

TEST_F(TVWindowTest, SnapshotShowsTheMenuTitlesFromLeftToRight)
{
    MakeWindow();
    window->Show();
    window->UpdateIfNeeded();
    BMenuBar* bar = MenuBar();
    const kits::interface::FrameBuffer& pixels = window->ContentBuffer();
    const BRect barFrame = bar->Frame();
    // The bar's far right holds no title: its colour is the background.
    const uint32 background = pixels.PixelAt(int32(barFrame.right) - 1,
        int32(barFrame.top + barFrame.Height() / 2));
    float lastLeft = -1;
    for (int32 i = 0; i < bar->CountItems(); i++) {
        const BRect title = bar->ItemAt(i)->Frame();
        SCOPED_TRACE(bar->ItemAt(i)->Label());
        EXPECT_GT(title.left, lastLeft);
        lastLeft = title.left;
        int32 differing = 0;
        for (int32 y = int32(title.top); y <= int32(title.bottom); y++) {
            for (int32 x = int32(title.left); x <= int32(title.right); x++)
                differing += pixels.PixelAt(x, y) != background;
        }
        EXPECT_GT(differing, 0);
    }
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
