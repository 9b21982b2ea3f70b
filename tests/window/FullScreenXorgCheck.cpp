// Full-screen on an X server that really changes modes: Xorg with the dummy driver, started by
// scripts/xorg-dummy.sh. The mode in effect is read from the server on a connection of the
// test's own, apart from the program's.

#include "kits/interface/Screen.h"
#include "tests/window/TVWindowFixture.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

// The timings of what the primary output's CRTC shows, and the size of the X screen.
struct ShownMode {
    unsigned long dotClock = 0;
    unsigned int width = 0;
    unsigned int hSyncStart = 0;
    unsigned int hSyncEnd = 0;
    unsigned int hTotal = 0;
    unsigned int height = 0;
    unsigned int vSyncStart = 0;
    unsigned int vSyncEnd = 0;
    unsigned int vTotal = 0;
    unsigned int screenWidth = 0;
    unsigned int screenHeight = 0;

    bool operator==(const ShownMode&) const = default;
};

ShownMode ReadShownMode()
{
    ShownMode shown;
    const std::unique_ptr<Display, decltype(&XCloseDisplay)> display(
        XOpenDisplay(nullptr), &XCloseDisplay);
    if (display == nullptr) {
        ADD_FAILURE() << "no X server";
        return shown;
    }
    Display* d = display.get();
    const Window root = DefaultRootWindow(d);
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(d, root);
    XRROutputInfo* output = XRRGetOutputInfo(d, resources, XRRGetOutputPrimary(d, root));
    XRRCrtcInfo* crtc = XRRGetCrtcInfo(d, resources, output->crtc);
    for (int i = 0; i < resources->nmode; i++) {
        const XRRModeInfo& info = resources->modes[i];
        if (info.id == crtc->mode) {
            shown = {info.dotClock, info.width, info.hSyncStart, info.hSyncEnd, info.hTotal,
                info.height, info.vSyncStart, info.vSyncEnd, info.vTotal};
        }
    }
    XRRFreeCrtcInfo(crtc);
    XRRFreeOutputInfo(output);
    XRRFreeScreenResources(resources);
    Window rootReturn;
    int x;
    int y;
    unsigned int border;
    unsigned int depth;
    XGetGeometry(
        d, root, &rootReturn, &x, &y, &shown.screenWidth, &shown.screenHeight, &border, &depth);
    return shown;
}

TEST_F(TVWindowTest, FullScreenShowsTheFittedModeOnTheXScreenAndLeavingPutsTheOldOneBack)
{
    const ShownMode before = ReadShownMode();
    MakeWindow();
    window->GoFullScreen();
    // The server's first 800 by 600 mode (56.3 MHz, totals 1048 by 631) trimmed to the
    // 625-line card's 768 by 576 with adjust sync, at twice its 50 fields a second:
    // 100 x (957 x 639 / 1000) kHz.
    const ShownMode fitted = {61100000, 768, 797, 896, 957, 576, 604, 604, 639, 768, 576};
    EXPECT_EQ(ReadShownMode(), fitted);
    display_mode mode;
    ASSERT_EQ(BScreen().GetMode(&mode), B_OK);
    EXPECT_NEAR(
        mode.timing.pixel_clock * 1000.0 / (mode.timing.h_total * mode.timing.v_total), 100, 0.1);
    window->ExitFullScreen();
    EXPECT_EQ(ReadShownMode(), before);
    // Once more, so that the modes made for the first time are no obstacle.
    window->GoFullScreen();
    EXPECT_EQ(ReadShownMode(), fitted);
    // Closing the window full-screen puts the old mode back too.
    CloseWindow();
    EXPECT_EQ(ReadShownMode(), before);
}

TEST_F(TVWindowTest, AProgramThatEndsFullScreenPutsTheOldModeBackAsItExits)
{
    const ShownMode before = ReadShownMode();
    MakeWindow();
    // A process of its own, which the test runs up to here and which then ends without
    // destroying the window.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            window->GoFullScreen();
            std::exit(ReadShownMode().width == 768 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadShownMode(), before);
}

TEST(ScreenOnXorgTest, TheModeFollowsChangesMadeByOtherPrograms)
{
    BScreen screen;
    display_mode mode;
    ASSERT_EQ(screen.GetMode(&mode), B_OK);
    ASSERT_NE(mode.timing.h_display, 1024);
    ASSERT_EQ(std::system("xrandr --output DUMMY0 --mode 1024x768"), 0);
    EXPECT_TRUE(test_support::Await([&] {
        return screen.GetMode(&mode) == B_OK && mode.timing.h_display == 1024
            && screen.Frame() == BRect(0, 0, 1023, 767);
    }));
}

}
