#include "window/TVWindow.h"

#include "devices/TestCardNode.h"
#include "kits/app/AppDefs.h"
#include "kits/interface/Screen.h"
#include "prefs/Preferences.h"
#include "tests/support/MessageWith.h"
#include "tests/window/TVWindowFixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using devices::VIDEO_FORMAT_NTSC_M;
using devices::VIDEO_FORMAT_PAL_BG;
using kits::interface::HeadlessDisplay;

// The VESA timings at 60 Hz that the headless display offers.
constexpr display_timing VESA_800 = {40000, 800, 840, 968, 1056, 600, 601, 605, 628, 0};
constexpr display_timing VESA_640 = {25175, 640, 656, 752, 800, 480, 490, 492, 525, 0};

display_mode ModeWith(display_timing timing)
{
    return display_mode{timing, uint32(B_RGB32), timing.h_display, timing.v_display, 0, 0, 0};
}

bool SameTiming(const display_mode& a, const display_mode& b)
{
    return std::memcmp(&a.timing, &b.timing, sizeof a.timing) == 0 && a.space == b.space
        && a.virtual_width == b.virtual_width && a.virtual_height == b.virtual_height;
}

display_mode CurrentMode()
{
    display_mode mode{};
    EXPECT_EQ(BScreen().GetMode(&mode), B_OK);
    return mode;
}

TEST(FullScreenTargetTest, SignalWidthThenResolutionChooseTheModeAndTheSize)
{
    const struct {
        int32 resolution;
        bool tweakMode;
        BRect signal;
        FullScreenTarget want;
    } cases[] = {
        {1, true, BRect(0, 0, 767, 575), {640, 480, 640, 480}},
        // A narrow signal gets 640 by 480 whatever the resolution.
        {3, true, BRect(0, 0, 639, 479), {640, 480, 640, 480}},
        {0, true, BRect(0, 0, 645, 479), {640, 480, 640, 480}},
        {0, true, BRect(0, 0, 767, 575), {800, 600, 768, 576}},
        {0, true, BRect(0, 0, 700.5f, 500.25f), {800, 600, 702, 502}},
        {0, false, BRect(0, 0, 767, 575), {800, 600, 800, 600}},
        // Tweak mode counts with "Optimal" only.
        {2, true, BRect(0, 0, 767, 575), {800, 600, 800, 600}},
        {3, true, BRect(0, 0, 767, 575), {1024, 768, 1024, 768}},
        // Out of range: as 800 x 600.
        {7, false, BRect(0, 0, 767, 575), {800, 600, 800, 600}},
        {-1, true, BRect(0, 0, 767, 575), {800, 600, 800, 600}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
            << c.resolution << (c.tweakMode ? " tweak " : " ") << c.signal.right);
        const FullScreenTarget target
            = ChooseFullScreenTarget(c.resolution, c.tweakMode, c.signal);
        EXPECT_EQ(target.modeWidth, c.want.modeWidth);
        EXPECT_EQ(target.modeHeight, c.want.modeHeight);
        EXPECT_EQ(target.width, c.want.width);
        EXPECT_EQ(target.height, c.want.height);
    }
}

TEST(FullScreenTimingTest, TrimsAndPixelClockFitTheModeToTheFieldRate)
{
    const FullScreenTarget tweaked = {800, 600, 768, 576};
    const FullScreenTarget full800 = {800, 600, 800, 600};
    const FullScreenTarget full640 = {640, 480, 640, 480};
    display_timing total1000 = VESA_800;
    total1000.h_total = 1000;
    const struct {
        const char* what;
        display_timing timing;
        FullScreenTarget target;
        bool adaptSync;
        float refresh;
        uint16 hSyncStart;
        uint16 hTotal;
        uint16 vSyncStart;
        uint16 vTotal;
        uint32 pixelClock;
    } cases[] = {
        {"625 lines", VESA_800, tweaked, false, 50, 814, 1014, 604, 636, 32200},
        {"625 lines doubled", VESA_800, tweaked, false, 100, 814, 1014, 604, 636, 64400},
        {"625 lines, sync", VESA_800, tweaked, true, 50, 804, 964, 604, 636, 30650},
        {"625 lines doubled, sync", VESA_800, tweaked, true, 100, 804, 964, 604, 636, 61300},
        {"525 lines", VESA_640, full640, false, 59.94f, 656, 800, 490, 525, 25174},
        {"525 lines doubled", VESA_640, full640, false, 2 * 59.94f, 656, 800, 490, 525, 50349},
        // 800 times the single-precision 0.01 is just below 8.
        {"525 lines, sync", VESA_640, full640, true, 59.94f, 649, 765, 490, 525, 24035},
        {"525 lines doubled, sync", VESA_640, full640, true, 2 * 59.94f, 649, 765, 490, 525,
            48071},
        {"no trim, sync", VESA_800, full800, true, 50, 830, 1006, 601, 628, 31550},
        {"a total of 1000, sync", total1000, full800, true, 50, 831, 955, 601, 628, 29950},
        {"663 thousand pixels", VESA_800, full800, false, 59.94f, 840, 1056, 601, 628, 39740},
        // Within 10 pixels of the mode's size nothing is trimmed; one more and it is.
        {"790 by 590", VESA_800, {800, 600, 790, 590}, false, 50, 840, 1056, 601, 628, 33150},
        {"789 by 589", VESA_800, {800, 600, 789, 589}, false, 50, 832, 1042, 602, 631, 32850},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        display_mode mode = ModeWith(c.timing);
        TrimModeTiming(&mode, c.target, c.adaptSync);
        const display_timing& t = mode.timing;
        EXPECT_EQ(t.h_sync_start, c.hSyncStart);
        EXPECT_EQ(t.h_total, c.hTotal);
        EXPECT_EQ(t.v_sync_start, c.vSyncStart);
        EXPECT_EQ(t.v_total, c.vTotal);
        EXPECT_EQ(t.h_display, uint16(c.target.width));
        EXPECT_EQ(t.v_display, uint16(c.target.height));
        EXPECT_EQ(mode.virtual_width, t.h_display);
        EXPECT_EQ(mode.virtual_height, t.v_display);
        // The clock is the caller's to set, from the mode the screen took.
        EXPECT_EQ(t.pixel_clock, c.timing.pixel_clock);
        EXPECT_EQ(t.h_sync_end, c.timing.h_sync_end);
        EXPECT_EQ(RefreshPixelClock(t, c.refresh), c.pixelClock);
    }
}

class FullScreenTest : public TVWindowTest {
protected:
    // The card's TV standard, as the user picks it in its web.
    static void SetVideoFormat(int32 format)
    {
        ASSERT_EQ(test_support::CardParameter("Video Format")->SetValue(&format, sizeof format, 0),
            B_OK);
    }
};

TEST_F(FullScreenTest, EnteringFitsTheModeToTheSignalAndLeavingPutsEverythingBack)
{
    // The preferences' defaults: "Optimal", tweak mode, adjust sync and double refresh.
    const struct {
        int32 videoFormat;
        display_timing fitted;
    } cases[] = {
        // 768 by 576 trimmed from 800 by 600, the sync end cut at the shortened total.
        {VIDEO_FORMAT_PAL_BG, {61300, 768, 804, 964, 964, 576, 604, 605, 636, 0}},
        {VIDEO_FORMAT_NTSC_M, {48071, 640, 649, 752, 765, 480, 490, 492, 525, 0}},
    };
    const display_mode original = CurrentMode();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.videoFormat);
        MakeWindow();
        SetVideoFormat(c.videoFormat);
        BMessage wide(MSG_FORMAT_16_9);
        window->MessageReceived(&wide);
        window->GoFullScreen();

        display_mode want = ModeWith(c.fitted);
        want.timing.flags
            = c.videoFormat == VIDEO_FORMAT_PAL_BG ? B_POSITIVE_HSYNC | B_POSITIVE_VSYNC : 0;
        EXPECT_TRUE(SameTiming(CurrentMode(), want));
        const BRect screen(0, 0, c.fitted.h_display - 1, c.fitted.v_display - 1);
        EXPECT_TRUE(window->IsFullScreen());
        EXPECT_EQ(window->Frame(), screen);
        EXPECT_EQ(VideoView()->Frame(), screen);
        EXPECT_TRUE(MenuBar()->IsHidden());
        EXPECT_TRUE(Panel()->IsHidden());
        EXPECT_TRUE(application->IsCursorHidden());
        EXPECT_TRUE(FormatMenu()->ItemAt(0)->IsMarked());
        EXPECT_EQ(VideoView()->GetSignalSize().Height(), c.fitted.v_display - 1);
        // Five pulses later the video takes the screen's size.
        Pulses(5);
        EXPECT_EQ(VideoView()->RequestedWidth(), c.fitted.h_display);
        // A second entry changes nothing, the saved mode included.
        window->GoFullScreen();

        window->ExitFullScreen();
        EXPECT_TRUE(SameTiming(CurrentMode(), original));
        EXPECT_FALSE(window->IsFullScreen());
        EXPECT_EQ(window->Frame(), FRAME);
        const float barHeight = MenuBar()->Bounds().Height();
        EXPECT_EQ(VideoView()->Frame(), BRect(81, barHeight + 1, 400, 300));
        EXPECT_FALSE(MenuBar()->IsHidden());
        EXPECT_FALSE(Panel()->IsHidden());
        EXPECT_FALSE(application->IsCursorHidden());
        EXPECT_TRUE(FormatMenu()->ItemAt(0)->IsMarked());
        window->ExitFullScreen();
        EXPECT_EQ(window->Frame(), FRAME);
        CloseWindow();
    }
}

TEST_F(FullScreenTest, WithoutAModeInTheScreensColourSpaceTheModeStaysAsItIs)
{
    ASSERT_EQ(HeadlessDisplay().SetScreen(B_CMAP8, 1024, 768), B_OK);
    const display_mode original = CurrentMode();
    MakeWindow();
    window->GoFullScreen();
    EXPECT_TRUE(window->IsFullScreen());
    EXPECT_TRUE(SameTiming(CurrentMode(), original));
    EXPECT_EQ(window->Frame(), BRect(0, 0, 1023, 767));
}

TEST_F(FullScreenTest, LeavingTheWorkspaceSuspendsFullScreenUntilItsWorkspaceReturns)
{
    const display_mode original = CurrentMode();
    MakeWindow();
    RunWindow();
    window->Lock();
    window->GoFullScreen();
    const display_mode fitted = CurrentMode();
    window->Unlock();
    ASSERT_EQ(fitted.timing.h_display, 768);
    int32 switches = 0;
    // Switches the workspace and waits until the window has handled the switch.
    auto switchTo = [&](int32 workspace) {
        ASSERT_EQ(HeadlessDisplay().SetCurrentWorkspace(workspace), B_OK);
        const std::string mark = std::to_string(++switches);
        BMessage marker = test_support::With(MSG_STATION_CHANGED, "Name", mark.c_str());
        ASSERT_EQ(window->PostMessage(&marker), B_OK);
        ASSERT_TRUE(AwaitWindow([&] { return window->Title() == "Ovelin Beta 4 - " + mark; }));
    };
    const struct {
        int32 workspace;
        bool hidden;
    } steps[] = {{1, true}, {2, true}, {0, false}, {1, true}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.workspace);
        switchTo(step.workspace);
        window->Lock();
        EXPECT_EQ(window->IsHidden(), step.hidden);
        EXPECT_EQ(window->IsFullScreen(), !step.hidden);
        EXPECT_EQ(HeadlessDisplay().IsFullScreen(window), !step.hidden);
        window->Unlock();
        EXPECT_TRUE(SameTiming(CurrentMode(), fitted));
    }
    // Quitting while suspended puts the user's mode back too.
    CloseWindow();
    EXPECT_TRUE(SameTiming(CurrentMode(), original));
    EXPECT_FALSE(application->IsCursorHidden());
}

TEST_F(FullScreenTest, ZoomSizesTheWindowToTheSignalAndMovesAreKeptForTheSettings)
{
    MakeWindow();
    window->MoveTo(50, 60);
    EXPECT_EQ(window->PreferencesWindow()->StoredLocation(), BPoint(50, 60));
    RunWindow();
    window->ResizeTo(600, 450);
    ASSERT_EQ(window->PostMessage(B_ZOOM), B_OK);
    EXPECT_TRUE(AwaitWindow([this] { return VideoView()->Bounds() == SIGNAL_4_3; }));
}

}
