#include "window/ControlPanel.h"

#include "kits/app/Message.h"
#include "kits/interface/InterfaceDefs.h"
#include "kits/interface/Window.h"
#include "tests/kits/interface/InterfaceTestSupport.h"
#include "tests/support/Await.h"
#include "window/Commands.h"

#include <gtest/gtest.h>

#include <bit>
#include <mutex>
#include <vector>

namespace {

using kits::interface::PackColor;

constexpr uint32 FACE = PackColor(192, 192, 192);
constexpr uint32 GREY = PackColor(128, 128, 128);
constexpr uint32 DARK_GREY = PackColor(64, 64, 64);
constexpr uint32 DISPLAY_RED = PackColor(64, 0, 0);
constexpr uint32 GREEN = PackColor(0, 128, 0);
constexpr uint32 RED = PackColor(128, 0, 0);
constexpr uint32 BLUE = PackColor(0, 0, 128);
constexpr uint32 NAVY = PackColor(0, 0, 64);
constexpr uint32 MENU = PackColor(219, 219, 219);

// A window that notes the commands it receives, on its own thread.
class CommandWindow : public BWindow {
public:
    CommandWindow() : BWindow(BRect(0, 0, 199, 299), "commands", B_TITLED_WINDOW, 0) {}

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

// The panel 80 wide and 279 high below a 20 pixel band, as the main window places it at its
// smallest; tests lock the running window around what they do.
class ControlPanelTest : public testing::Test {
protected:
    void SetUp() override
    {
        window = new CommandWindow();
        panel = new ControlPanel(BRect(0, 20, 80, 299));
        window->AddChild(panel);
        window->Run();
    }

    void TearDown() override
    {
        window->Lock();
        window->Quit();
    }

    // The commands the window has seen once it has seen `expected` of them.
    std::vector<uint32> AwaitCommands(size_t expected)
    {
        EXPECT_TRUE(test_support::Await([&] { return window->Commands().size() >= expected; }));
        return window->Commands();
    }

    // A pixel of the panel, in its own coordinates; read with the window locked.
    uint32 Pixel(int32 x, int32 y) const { return window->ContentBuffer().PixelAt(x, y + 20); }

    // The lit segments of the display's glyph at x, by a pixel in the middle of each segment.
    int32 Glyph(int32 x) const
    {
        const BPoint middles[] = {{8, 1}, {1, 8}, {15, 8}, {8, 16}, {1, 24}, {15, 24}, {8, 31}};
        int32 mask = 0;
        for (int32 bit = 0; bit < 7; bit++) {
            if (Pixel(x + int32(middles[bit].x), 15 + int32(middles[bit].y)) == DISPLAY_RED)
                mask |= 1 << bit;
        }
        return mask;
    }

    CommandWindow* window = nullptr;
    ControlPanel* panel = nullptr;
};

TEST_F(ControlPanelTest, DisplayShowsPAndTheTensAndOnesOfTheNumberAtOnce)
{
    const struct {
        int32 number;
        int32 tens;
        int32 ones;
    } numbers[] = {{88, 0x7F, 0x7F}, {7, 0x77, 0x25}, {42, 0x2E, 0x5D}, {0, 0x77, 0x77},
        {100, 0x3F, 0x77}, {160, 0x00, 0x77}, {-1, 0x77, 0x08}, {-25, 0x00, 0x00}};
    constexpr int32 P = 0x1F;
    window->Lock();
    for (const auto& shown : numbers) {
        panel->SetStationNumber(shown.number);
        EXPECT_EQ(panel->StationNumber(), shown.number);
        EXPECT_EQ(Glyph(12), P) << shown.number;
        EXPECT_EQ(Glyph(32), shown.tens) << shown.number;
        EXPECT_EQ(Glyph(52), shown.ones) << shown.number;
        // Each lit segment is 35 pixels, 3 thick with bevelled ends.
        const int32 lit = std::popcount(uint32(P | shown.tens << 7 | shown.ones << 14));
        const int32 red = interface_test::CountPixelsWhere(window->ContentBuffer(), 7, 30, 72,
            71, [](uint32 pixel) { return pixel == DISPLAY_RED; });
        EXPECT_EQ(red, 35 * lit) << shown.number;
    }
    window->Unlock();
}

TEST_F(ControlPanelTest, EverySectionShowsItsIconsOnItsFace)
{
    // Between the sections the panel shows the menu colour, once its first update is done.
    EXPECT_TRUE(test_support::Await([&] {
        return interface_test::Locked(window, [&] { return Pixel(40, 55) == MENU; });
    }));
    window->Lock();
    const struct {
        int32 x;
        int32 y;
        uint32 value;
    } pixels[] = {
        {0, 100, PackColor(255, 255, 255)}, {80, 100, PackColor(152, 152, 152)},
        {40, 220, MENU}, {8, 11, FACE}, {40, 249, FACE},
        // Arrows of the button rows.
        {12, 70, GREY}, {21, 66, GREY}, {12, 69, FACE}, {67, 140, GREY}, {58, 136, GREY},
        // Volume wedge, sun with its rays behind a ring, contrast half moon.
        {46, 89, GREEN}, {33, 81, FACE}, {40, 110, FACE}, {40, 107, GREEN}, {40, 105, GREEN},
        {36, 106, GREEN}, {37, 125, GREEN}, {43, 125, FACE}, {45, 125, GREEN},
        // The colour wheel's sectors, counter-clockwise from 56 degrees.
        {42, 137, BLUE}, {38, 136, DARK_GREY}, {36, 141, GREY}, {38, 144, DARK_GREY},
        {41, 144, RED}, {44, 140, GREEN},
        // A window with its tab beside a screen; the two format screens.
        {21, 164, NAVY}, {27, 162, NAVY}, {57, 173, NAVY}, {28, 168, FACE}, {35, 192, NAVY},
        {21, 183, NAVY}, {21, 204, NAVY}, {35, 211, NAVY}, {28, 207, FACE}};
    panel->SetStationNumber(1);
    for (const auto& pixel : pixels)
        EXPECT_EQ(Pixel(pixel.x, pixel.y), pixel.value) << pixel.x << "," << pixel.y;
    // The texts: "P" in the pad, "4:3" and "16:9" beside their screens.
    const BRect texts[] = {{36, 62, 47, 74}, {42, 182, 70, 193}, {42, 202, 70, 213}};
    for (const BRect& text : texts) {
        EXPECT_GT(interface_test::CountPixelsWhere(window->ContentBuffer(), int32(text.left),
                      int32(text.top) + 20, int32(text.right), int32(text.bottom) + 20,
                      [](uint32 pixel) { return pixel != FACE; }),
            3)
            << text.top;
    }
    window->Unlock();
}

TEST_F(ControlPanelTest, RedrawOfOneSectionTouchesOnlyThatSection)
{
    window->Lock();
    panel->SetHighColor(255, 0, 0);
    panel->FillRect(panel->Bounds());
    panel->Draw(BRect(10, 203, 60, 212));
    EXPECT_EQ(Pixel(8, 201), FACE);
    EXPECT_EQ(Pixel(21, 204), NAVY);
    for (int32 y : {11, 55, 61, 161, 181, 198, 217, 230})
        EXPECT_EQ(Pixel(8, y), PackColor(255, 0, 0)) << y;
    window->Unlock();
}

TEST_F(ControlPanelTest, ClicksOnButtonsPostTheirCommandsAndOthersNothing)
{
    // The pad's buttons end short of their edges, the buttons below take theirs.
    const struct {
        BPoint where;
        uint32 command;
    } clicks[] = {{{21, 74}, MSG_CHANNEL_DOWN}, {{22, 70}, 0}, {{15, 75}, 0}, {{60, 75}, 0},
        {{66, 66}, MSG_CHANNEL_UP}, {{57, 85}, 0}, {{58, 85}, MSG_VOLUME_UP},
        {{15, 81}, MSG_VOLUME_DOWN}, {{13, 110}, MSG_BRIGHTNESS_DOWN},
        {{60, 110}, MSG_BRIGHTNESS_UP}, {{40, 110}, 0}, {{15, 125}, MSG_CONTRAST_DOWN},
        {{60, 125}, MSG_CONTRAST_UP}, {{15, 140}, MSG_SATURATION_DOWN},
        {{60, 140}, MSG_SATURATION_UP}, {{15, 100}, 0}, {{7, 160}, MSG_TOGGLE_FULLSCREEN},
        {{72, 175}, MSG_TOGGLE_FULLSCREEN}, {{40, 155}, 0}, {{7, 195}, MSG_FORMAT_4_3},
        {{72, 200}, MSG_FORMAT_16_9}, {{73, 170}, 0}, {{40, 216}, 0}, {{40, 240}, 0}};
    std::vector<uint32> expected;
    window->Lock();
    for (const auto& click : clicks) {
        panel->MouseDown(click.where);
        if (click.command != 0)
            expected.push_back(click.command);
    }
    window->Unlock();
    // The clicks are posted in order, so a stray command would show before the last one.
    EXPECT_EQ(AwaitCommands(expected.size()), expected);
}

TEST_F(ControlPanelTest, EveryKeyOfTheTablePostsItsCommandAndOtherBytesNothing)
{
    // "a", the right arrow (0x1d) and Enter are not in the table; "++" posts two commands.
    const char keys[] = "+-\x1e\x1f\x05\x7f\x01\x04\x0b\x0c" "a\x1d\n++";
    const std::vector<uint32> expected = {MSG_CHANNEL_UP, MSG_CHANNEL_DOWN, MSG_VOLUME_UP,
        MSG_VOLUME_DOWN, MSG_BRIGHTNESS_UP, MSG_BRIGHTNESS_DOWN, MSG_CONTRAST_UP,
        MSG_CONTRAST_DOWN, MSG_SATURATION_UP, MSG_SATURATION_DOWN, MSG_CHANNEL_UP,
        MSG_CHANNEL_UP};
    window->Lock();
    panel->KeyDown(keys, int32(sizeof(keys) - 1));
    EXPECT_EQ(panel->ResizingMode(), uint32(B_FOLLOW_LEFT | B_FOLLOW_TOP_BOTTOM));
    EXPECT_EQ(panel->StationNumber(), 1);
    window->Unlock();
    EXPECT_EQ(AwaitCommands(expected.size()), expected);
}

}
