#include "kits/game/DirectWindow.h"

#include "kits/interface/HeadlessDisplayBackend.h"
#include "kits/interface/Screen.h"

#include <gtest/gtest.h>

class DirectWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        kits::interface::HeadlessDisplay().Reset();
        window = new BDirectWindow(BRect(10, 25, 410, 325), "Ovelin Beta 4", B_TITLED_WINDOW, 0);
        window->Lock();
        window->SetSizeLimits(400, 1023, 300, 767);
    }
    void TearDown() override
    {
        window->Quit();
        kits::interface::HeadlessDisplay().Reset();
    }

    BDirectWindow* window = nullptr;
};

TEST_F(DirectWindowTest, FullScreenCoversTheScreenInItsModeAndLeavingRestoresFrameAndLimits)
{
    EXPECT_EQ(window->SetFullScreen(true), B_OK);
    EXPECT_TRUE(window->IsFullScreen());
    EXPECT_EQ(window->Frame(), BRect(0, 0, 1023, 767));
    EXPECT_EQ(window->ContentBuffer().Width(), 1024);
    EXPECT_TRUE(kits::interface::HeadlessDisplay().IsFullScreen(window));
    // A second request changes nothing.
    EXPECT_EQ(window->SetFullScreen(true), B_OK);
    EXPECT_EQ(window->Frame(), BRect(0, 0, 1023, 767));
    EXPECT_EQ(window->SetFullScreen(false), B_OK);
    EXPECT_FALSE(window->IsFullScreen());
    EXPECT_FALSE(kits::interface::HeadlessDisplay().IsFullScreen(window));
    EXPECT_EQ(window->Frame(), BRect(10, 25, 410, 325));
    EXPECT_EQ(window->SetFullScreen(false), B_OK);
    EXPECT_EQ(window->Frame(), BRect(10, 25, 410, 325));

    // The limits would refuse a window this small; full-screen takes the screen's size anyway.
    ASSERT_EQ(kits::interface::HeadlessDisplay().SetScreen(B_RGB32, 640, 480), B_OK);
    window->SetSizeLimits(700, 1023, 500, 767);
    window->SetFullScreen(true);
    EXPECT_EQ(window->Frame(), BScreen(window).Frame());
    EXPECT_EQ(window->Frame(), BRect(0, 0, 639, 479));
    window->SetFullScreen(false);
    EXPECT_EQ(window->Frame(), BRect(10, 25, 710, 525));
}
