#include "channels/ControlPanel.h"

#include "kits/app/Message.h"
#include "kits/interface/Window.h"
#include "kits/kernel/OS.h"
#include "window/Commands.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

namespace {

// A window that notes the commands it receives, on its own thread.
class CommandWindow : public BWindow {
public:
    CommandWindow() : BWindow(BRect(0, 0, 199, 199), "commands", B_TITLED_WINDOW, 0) {}

    void MessageReceived(BMessage* message) override
    {
        std::lock_guard guard(lock);
        commands.push_back(message->what);
    }

    std::vector<uint32> Commands()
    {
        std::lock_guard guard(lock);
        return commands;
    }

private:
    std::mutex lock;
    std::vector<uint32> commands;
};

class ControlPanelTest : public testing::Test {
protected:
    void SetUp() override
    {
        window = new CommandWindow();
        panel = new ControlPanel(BRect(0, 20, 80, 199));
        window->AddChild(panel);
        window->Run();
    }

    void TearDown() override
    {
        window->Lock();
        window->Quit();
    }

    // Presses a key and waits until the window has seen `expected` commands in all.
    std::vector<uint32> Press(const char* bytes, int32 numBytes, size_t expected)
    {
        window->Lock();
        panel->KeyDown(bytes, numBytes);
        window->Unlock();
        const bigtime_t deadline = system_time() + 5000000;
        while (window->Commands().size() < expected && system_time() < deadline)
            snooze(500);
        return window->Commands();
    }

    CommandWindow* window = nullptr;
    ControlPanel* panel = nullptr;
};

TEST_F(ControlPanelTest, EveryKeyOfTheTablePostsItsCommand)
{
    const char keys[] = {'+', '-', 0x1e, 0x1f, 0x05, 0x7f, 0x01, 0x04, 0x0b, 0x0c};
    const std::vector<uint32> expected = {MSG_CHANNEL_UP, MSG_CHANNEL_DOWN, MSG_VOLUME_UP,
        MSG_VOLUME_DOWN, MSG_BRIGHTNESS_UP, MSG_BRIGHTNESS_DOWN, MSG_CONTRAST_UP,
        MSG_CONTRAST_DOWN, MSG_SATURATION_UP, MSG_SATURATION_DOWN};
    for (char key : keys)
        Press(&key, 1, 0);
    EXPECT_EQ(Press("", 0, expected.size()), expected);
}

TEST_F(ControlPanelTest, TwoPlusBytesPostStationUpTwiceAndOtherBytesNothing)
{
    // "a", the right arrow (0x1d) and Enter are not in the table; a key posted after them
    // shows that nothing else is still on its way.
    EXPECT_EQ(Press("a+\x1d+\n", 5, 2),
        (std::vector<uint32>{MSG_CHANNEL_UP, MSG_CHANNEL_UP}));
    EXPECT_EQ(Press("-", 1, 3),
        (std::vector<uint32>{MSG_CHANNEL_UP, MSG_CHANNEL_UP, MSG_CHANNEL_DOWN}));
}

TEST_F(ControlPanelTest, IsNamedAndFollowsTheLeftTopAndBottomEdges)
{
    window->Lock();
    EXPECT_EQ(window->FindView("ControlPanel"), panel);
    EXPECT_EQ(panel->ResizingMode(), uint32(B_FOLLOW_LEFT | B_FOLLOW_TOP_BOTTOM));
    EXPECT_EQ(panel->StationNumber(), 1);
    panel->SetStationNumber(42);
    EXPECT_EQ(panel->StationNumber(), 42);
    window->Unlock();
}

}
