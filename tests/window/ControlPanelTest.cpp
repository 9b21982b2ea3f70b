#include "window/ControlPanel.h"

#include "kits/app/Message.h"
#include "kits/interface/Window.h"
#include "tests/support/Await.h"
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

    // Presses a key; the commands the window has seen once it has seen `expected` of them.
    std::vector<uint32> Press(const char* bytes, int32 numBytes, size_t expected)
    {
        window->Lock();
        panel->KeyDown(bytes, numBytes);
        window->Unlock();
        EXPECT_TRUE(test_support::Await([&] { return window->Commands().size() >= expected; }));
        return window->Commands();
    }

    CommandWindow* window = nullptr;
    ControlPanel* panel = nullptr;
};

TEST_F(ControlPanelTest, EveryKeyOfTheTablePostsItsCommandAndOtherBytesNothing)
{
    // "a", the right arrow (0x1d) and Enter are not in the table; two "+" post two commands.
    const char keys[] = "+-\x1e\x1f\x05\x7f\x01\x04\x0b\x0c" "a\x1d\n+";
    const std::vector<uint32> expected = {MSG_CHANNEL_UP, MSG_CHANNEL_DOWN, MSG_VOLUME_UP,
        MSG_VOLUME_DOWN, MSG_BRIGHTNESS_UP, MSG_BRIGHTNESS_DOWN, MSG_CONTRAST_UP,
        MSG_CONTRAST_DOWN, MSG_SATURATION_UP, MSG_SATURATION_DOWN, MSG_CHANNEL_UP};
    // The bytes are posted in order, so a stray command would show before the last one.
    EXPECT_EQ(Press(keys, int32(sizeof(keys) - 1), expected.size()), expected);
    window->Lock();
    EXPECT_EQ(panel->ResizingMode(), uint32(B_FOLLOW_LEFT | B_FOLLOW_TOP_BOTTOM));
    EXPECT_EQ(panel->StationNumber(), 1);
    window->Unlock();
}

}
