#include "kits/interface/Screen.h"

#include "kits/interface/DisplayBackend.h"
#include "kits/interface/HeadlessDisplayBackend.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

using kits::interface::HeadlessDisplay;

class ScreenTest : public testing::Test {
protected:
    void TearDown() override { HeadlessDisplay().Reset(); }
};

double RefreshRate(const display_mode& mode)
{
    return double(mode.timing.pixel_clock) * 1000.0
        / (double(mode.timing.h_total) * mode.timing.v_total);
}

display_mode FindMode(uint16 width, uint16 height, color_space space)
{
    BScreen screen;
    display_mode* list = nullptr;
    uint32 count = 0;
    EXPECT_EQ(screen.GetModeList(&list, &count), B_OK);
    display_mode found{};
    for (uint32 i = 0; i < count; i++) {
        if (list[i].timing.h_display == width && list[i].timing.v_display == height
            && list[i].space == uint32(space)) {
            found = list[i];
        }
    }
    std::free(list);
    return found;
}

TEST_F(ScreenTest, MainScreenStartsAt1024By768InRgb32AndTheDisplaySimulatesOthers)
{
    BScreen screen;
    EXPECT_TRUE(screen.IsValid());
    EXPECT_EQ(screen.ColorSpace(), B_RGB32);
    EXPECT_EQ(screen.Frame(), BRect(0, 0, 1023, 767));
    EXPECT_EQ(screen.SetToNext(), B_ERROR);

    display_mode mode;
    EXPECT_EQ(BScreen(screen_id{1}).GetMode(&mode), B_ERROR);

    // The display simulates other screens.
    ASSERT_EQ(HeadlessDisplay().SetScreen(B_CMAP8, 1280, 1024), B_OK);
    EXPECT_EQ(screen.ColorSpace(), B_CMAP8);
    EXPECT_EQ(screen.Frame(), BRect(0, 0, 1279, 1023));
    ASSERT_EQ(screen.GetMode(&mode), B_OK);
    EXPECT_NEAR(RefreshRate(mode), 60.0, 0.1);
    EXPECT_EQ(HeadlessDisplay().SetScreen(B_RGB32, 0, 600), B_BAD_VALUE);
}

TEST_F(ScreenTest, ModeListOffersStandardSizesAt60HertzWithRetracesEveryPeriod)
{
    BScreen screen;
    display_mode* list = nullptr;
    uint32 count = 0;
    ASSERT_EQ(screen.GetModeList(&list, &count), B_OK);
    ASSERT_EQ(count, 6u);
    for (uint32 i = 0; i < count; i++) {
        const display_mode& mode = list[i];
        EXPECT_TRUE(mode.space == B_RGB32 || mode.space == B_RGB16);
        EXPECT_GT(RefreshRate(mode), 59.9);
        EXPECT_LT(RefreshRate(mode), 60.4);
        EXPECT_LT(mode.timing.h_sync_end, mode.timing.h_total);
    }
    std::free(list);
    const display_mode mode800 = FindMode(800, 600, B_RGB32);
    EXPECT_EQ(mode800.timing.h_total, 1056);
    EXPECT_EQ(mode800.timing.h_sync_start, 840);
    EXPECT_EQ(mode800.timing.v_total, 628);
    EXPECT_EQ(mode800.timing.v_sync_start, 601);
    // 800 by 600 at 40 MHz: 1056 x 628 pixels a frame, 16579.2 us.
    const int64 period = 16579200;
    EXPECT_EQ(kits::interface::RetracePeriodNanoseconds(mode800), period);
    EXPECT_EQ(kits::interface::NextRetrace(0, period), 16580);
    // Exactly on a retrace, the next one is a period later.
    EXPECT_EQ(kits::interface::NextRetrace(16579200, period), 16579200 + 16580);
    EXPECT_EQ(kits::interface::NextRetrace(16579199, period), 16579200);
    EXPECT_EQ(kits::interface::NextRetrace(-1, period), 0);
}

TEST_F(ScreenTest, SetModeTakesATrimmedModeAndRefusesImpossibleOnes)
{
    BScreen screen;
    // An 800 by 600 mode trimmed to a 768 by 576 picture at 50 Hz.
    display_mode mode = FindMode(800, 600, B_RGB32);
    mode.timing.h_display = 768;
    mode.timing.h_sync_start = 814;
    mode.timing.h_total = 1014;
    mode.timing.v_display = 576;
    mode.timing.v_sync_start = 604;
    mode.timing.v_total = 636;
    mode.timing.pixel_clock = 32200;
    mode.virtual_width = 768;
    mode.virtual_height = 576;
    ASSERT_EQ(screen.SetMode(&mode), B_OK);
    display_mode current;
    ASSERT_EQ(screen.GetMode(&current), B_OK);
    EXPECT_EQ(current.timing.h_total, 1014);
    EXPECT_EQ(screen.Frame(), BRect(0, 0, 767, 575));
    EXPECT_EQ(kits::interface::RetracePeriodNanoseconds(current), 20028075);

    // A total shortened below the end of the sync pulse cuts the pulse short.
    display_mode shortened = current;
    shortened.timing.h_total = 964;
    ASSERT_EQ(screen.SetMode(&shortened), B_OK);
    ASSERT_EQ(screen.GetMode(&current), B_OK);
    EXPECT_EQ(current.timing.h_sync_end, 964);

    const display_mode before = current;
    void (*const damages[])(display_mode&) = {
        [](display_mode& mode) { mode.space = B_RGB24; },
        [](display_mode& mode) { mode.timing.pixel_clock = 0; },
        [](display_mode& mode) { mode.timing.h_sync_start = 700; },
        [](display_mode& mode) { mode.virtual_height = 100; },
    };
    for (auto damage : damages) {
        display_mode bad = before;
        damage(bad);
        EXPECT_EQ(screen.SetMode(&bad), B_BAD_VALUE);
    }
    EXPECT_EQ(screen.SetMode(nullptr), B_BAD_VALUE);
    ASSERT_EQ(screen.GetMode(&current), B_OK);
    EXPECT_EQ(current.timing.h_total, before.timing.h_total);
    EXPECT_EQ(current.space, before.space);
}

TEST_F(ScreenTest, WaitForRetraceSleepsUntilTheNextRetraceOrTimesOut)
{
    BScreen screen;
    // On the real clock at 60 Hz a retrace always comes within 25 ms, and the next one never
    // within 1 us of it.
    EXPECT_EQ(screen.WaitForRetrace(25000), B_OK);
    EXPECT_EQ(screen.WaitForRetrace(1), B_TIMED_OUT);
    // A clock that only moves when the retrace wait sleeps.
    bigtime_t fakeNow = 1000000;
    std::vector<bigtime_t> sleeps;
    HeadlessDisplay().SetClock([&] { return fakeNow; },
        [&](bigtime_t until) {
            sleeps.push_back(until);
            fakeNow = until;
        });
    // 1024 by 768 at 65 MHz: retraces every 16665.6 us; the 61st falls at 1016601.6 us.
    EXPECT_EQ(screen.WaitForRetrace(25000), B_OK);
    ASSERT_EQ(sleeps.size(), 1u);
    EXPECT_EQ(fakeNow, 1016602);
    // Without a time-out: the 62nd retrace, at 1033267.2 us.
    EXPECT_EQ(screen.WaitForRetrace(), B_OK);
    EXPECT_EQ(fakeNow, 1033268);
    // Right after a retrace, the next one is 16.7 ms away: a shorter wait times out.
    EXPECT_EQ(screen.WaitForRetrace(1), B_TIMED_OUT);
    ASSERT_EQ(sleeps.size(), 3u);
    EXPECT_EQ(fakeNow, 1033269);
    EXPECT_EQ(screen.WaitForRetrace(0), B_TIMED_OUT);
    EXPECT_EQ(sleeps.size(), 3u);
}

}
