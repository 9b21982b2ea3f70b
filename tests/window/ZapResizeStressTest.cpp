// Zapping and resizing the main window without pause while the picture runs: every lock is
// given back, the picture stays inside its view, and every buffer comes back in the end.
// OVELIN_STRESS_SECONDS sets how long it runs (default 8 s; 60 s for a long run by hand).

#include "devices/TestStation.h"
#include "kits/interface/FrameBuffer.h"
#include "kits/media/MediaTestHooks.h"
#include "tests/window/TVWindowFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr bigtime_t LOCK_TIMEOUT = 5000000;

bigtime_t StressDuration()
{
    const char* text = std::getenv("OVELIN_STRESS_SECONDS");
    const int seconds = text != nullptr ? std::atoi(text) : 0;
    return bigtime_t(seconds > 0 ? seconds : 8) * 1000000;
}

// Whether the pixel carries colour: the test card's pictures do, the window's own grey menu
// bar and background do not.
bool IsColourful(uint32 pixel)
{
    const int32 red = int32((pixel >> 16) & 0xff);
    const int32 green = int32((pixel >> 8) & 0xff);
    const int32 blue = int32(pixel & 0xff);
    return std::max({red, green, blue}) - std::min({red, green, blue}) > 48;
}

class ZapResizeStressTest : public TVWindowTest {
protected:
    // Colourful pixels of the window outside the video view and the control panel, whose icons
    // are coloured, on a grid; the window is locked.
    int32 PictureOutsideTheView()
    {
        const BRect view = VideoView()->Frame();
        const BRect panel = Panel()->Frame();
        const kits::interface::FrameBuffer& buffer = window->ContentBuffer();
        int32 found = 0;
        for (int32 y = 0; y < buffer.Height(); y += 3) {
            for (int32 x = 0; x < buffer.Width(); x += 3) {
                const BPoint point{float(x), float(y)};
                if (view.Contains(point) || panel.Contains(point))
                    continue;
                found += IsColourful(buffer.PixelAt(x, y));
            }
        }
        return found;
    }
};

TEST_F(ZapResizeStressTest, ZappingAndResizingNeverBlockAndLoseNothing)
{
    // Presets on the card's stations, which show colourful moving pictures.
    std::vector<test_support::StoredPreset> presets;
    for (const devices::TestStation& station : devices::DefaultTestStations())
        presets.push_back({station.channel, station.name});
    test_support::WritePresets(presets);
    MakeWindow();
    RunWindow();

    std::mt19937 random(11);
    const bigtime_t end = system_time() + StressDuration();
    int32 rounds = 0;
    int32 outside = 0;
    // Bounded, whatever the clock does.
    while (system_time() < end && rounds < 100000) {
        rounds++;
        window->PostMessage(random() % 3 == 0 ? MSG_CHANNEL_DOWN : MSG_CHANNEL_UP);
        ASSERT_EQ(window->LockWithTimeout(LOCK_TIMEOUT), B_OK) << "round " << rounds;
        window->ResizeTo(float(300 + random() % 500), float(200 + random() % 400));
        // Five pulses after the last resize the picture is renegotiated at the view's size.
        Pulses(6);
        window->UpdateIfNeeded();
        outside += PictureOutsideTheView();
        window->Unlock();
    }
    EXPECT_EQ(outside, 0);
    EXPECT_GT(rounds, 10);
    RecordProperty("rounds", rounds);
    // The zaps reached the channel suite, which tuned and named the station, and the picture
    // still runs.
    ASSERT_EQ(window->LockWithTimeout(LOCK_TIMEOUT), B_OK);
    EXPECT_STRNE(window->Title(), "Ovelin Beta 4");
    const int64 presented = kits::interface::HeadlessDisplay().PresentCount(window);
    window->Unlock();
    EXPECT_TRUE(test_support::Await([&] {
        return kits::interface::HeadlessDisplay().PresentCount(window) > presented + 5;
    }));

    // Every buffer comes back once the window and the card are gone.
    CloseWindow();
    EXPECT_TRUE(test_support::Await([] { return kits::media::LiveBufferCount() == 0; }));
}

}
