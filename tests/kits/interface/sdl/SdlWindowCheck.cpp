// sdlwindowcheck: shows a window on a real X display and checks it arrived there.
//
// sdlwindowcheck check <directory>: opens "Ovelin backend check" at (10, 25, 410, 325), takes a
// screenshot of the root window with xwd, checks that the window's pixels are on it where they
// belong, clicks and types into the window with xdotool and waits for the view to get both, then
// closes the window through its close box and expects the program to end through
// B_QUIT_REQUESTED. Between those steps it checks that the SDL thread sleeps while nothing
// happens and wakes for a desktop event, that a present made on another thread reaches the
// screen (put by that thread itself, or by the SDL thread it wakes), that the window's pixels
// are in memory shared with the X server (unless OVELIN_X11_SHARED_MEMORY is "0") and that the
// screen follows a new size. Writes the screenshot and the window's own
// snapshot as PNG files into the directory (and a screenshot that differed from the window).
// sdlwindowcheck viewer <program> <directory>: starts the viewer, waits for its window with the
// menu bar on the screen, opens and closes its About box through the menu and quits it by its
// shortcut.
// Exits 0 when everything held, 1 otherwise.

#include "kits/app/AppDefs.h"
#include "kits/app/Application.h"
#include "kits/interface/DisplayBackend.h"
#include "kits/interface/FrameBuffer.h"
#include "kits/interface/SdlDisplayBackend.h"
#include "kits/interface/Snapshot.h"
#include "kits/interface/View.h"
#include "kits/interface/Window.h"
#include "kits/interface/X11Presenter.h"
#include "kits/kernel/OS.h"
#include "tests/kits/interface/InterfaceTestSupport.h"
#include "tests/support/Await.h"

#include <spawn.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdlib>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

using kits::interface::FrameBuffer;
using kits::interface::PackColor;
using kits::interface::SdlDisplayBackend;
using kits::interface::X11Presenter;

namespace {

constexpr const char* TITLE = "Ovelin backend check";
const BRect WINDOW_FRAME(10, 25, 410, 325);
constexpr rgb_color BACKGROUND = {40, 120, 200, 255};
constexpr rgb_color PATCH = {230, 180, 30, 255};
const BRect PATCH_FRAME(20, 20, 119, 79);
// Waits for the display and the tools: generous, as the machine is shared.
constexpr bigtime_t WAIT = 5000000;

// The window's background with the title written on it, in whatever font the machine has (with
// none, the text is simply missing from both the window and the screen).
class LabelView : public BView {
public:
    explicit LabelView(BRect frame) : BView(frame, "label", B_FOLLOW_ALL_SIDES, B_WILL_DRAW)
    {
        SetViewColor(BACKGROUND);
    }

    void Draw(BRect) override
    {
        SetHighColor(255, 255, 255);
        SetFontSize(20);
        DrawString(TITLE, BPoint(20, 160));
    }
};

// The label with a patch on it, which records the clicks and keys it gets.
class CheckWindow : public interface_test::EventWindow {
public:
    CheckWindow(BRect frame, interface_test::Events& events)
        : EventWindow(frame, events, B_QUIT_ON_WINDOW_CLOSE)
    {
        SetTitle(TITLE);
        auto* background = new LabelView(Bounds());
        auto* patch = new interface_test::EventView(PATCH_FRAME, events);
        patch->SetViewColor(PATCH);
        background->AddChild(patch);
        AddChild(background);
        patch->MakeFocus();
    }
};

// Runs a program found on PATH and returns its exit status, or -1 when it could not run.
int RunProgram(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child;
    if (posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// The 8-bit value of a channel under mask.
uint8 Channel(uint32 pixel, uint32 mask)
{
    if (mask == 0)
        return 0;
    const int shift = __builtin_ctz(mask);
    return uint8(((pixel & mask) >> shift) * 255 / (mask >> shift));
}

// Reads an xwd dump of a true-colour screen with 24 or 32 bits a pixel; answers what is wrong
// with it, or nothing.
std::string ReadXwd(const std::string& path, FrameBuffer& image)
{
    std::ifstream file(path, std::ios::binary);
    const std::vector<uint8> data{std::istreambuf_iterator<char>(file), {}};
    // The header is 25 big-endian 32-bit fields.
    if (data.size() < 25 * 4)
        return "screenshot too short";
    auto field = [&data](size_t index) {
        const uint8* p = data.data() + index * 4;
        return uint32(p[0]) << 24 | uint32(p[1]) << 16 | uint32(p[2]) << 8 | p[3];
    };
    const int32 width = int32(field(4));
    const int32 height = int32(field(5));
    const size_t bytesPerPixel = field(11) / 8;
    const size_t bytesPerLine = field(12);
    constexpr uint32 Z_PIXMAP = 2;
    if (field(1) != 7 || field(2) != Z_PIXMAP || (field(11) != 32 && field(11) != 24)
        || width <= 0 || height <= 0 || width > 8192 || height > 8192)
        return "not a true-colour xwd screenshot";
    // The pixels follow the header and a colour map of 12-byte entries.
    const size_t pixelsStart = size_t(field(0)) + size_t(field(19)) * 12;
    if (bytesPerLine < size_t(width) * bytesPerPixel
        || data.size() < pixelsStart + bytesPerLine * size_t(height))
        return "screenshot pixels cut short";
    if (image.SetSize(width, height, 0) != B_OK)
        return "no memory for the screenshot";
    const bool mostSignificantFirst = field(7) == 1;
    const uint32 red = field(14), green = field(15), blue = field(16);
    for (int32 y = 0; y < height; y++) {
        for (int32 x = 0; x < width; x++) {
            const uint8* p = data.data() + pixelsStart + size_t(y) * bytesPerLine
                + size_t(x) * bytesPerPixel;
            uint32 pixel = 0;
            for (size_t b = 0; b < bytesPerPixel; b++)
                pixel = pixel << 8 | p[mostSignificantFirst ? b : bytesPerPixel - 1 - b];
            image.Row(y)[x] =
                PackColor(Channel(pixel, red), Channel(pixel, green), Channel(pixel, blue));
        }
    }
    return "";
}

// Takes a screenshot of the whole display with xwd, through a file in the directory that is
// removed again; answers what went wrong, or nothing.
std::string Screenshot(const std::string& directory, FrameBuffer& screen)
{
    const std::string xwdPath = directory + "/screen.xwd";
    if (RunProgram({"xwd", "-root", "-silent", "-out", xwdPath}) != 0)
        return "xwd could not take the screenshot";
    const std::string error = ReadXwd(xwdPath, screen);
    std::remove(xwdPath.c_str());
    return error;
}

// Compares the window's own pixels with the screenshot where the window should be; answers
// how they differ, or nothing.
std::string CompareWithScreen(const FrameBuffer& window, const FrameBuffer& screen, int32 left,
    int32 top)
{
    int64 differing = 0;
    char first[160] = "";
    for (int32 y = 0; y < window.Height(); y++) {
        for (int32 x = 0; x < window.Width(); x++) {
            const int32 screenX = left + x;
            const int32 screenY = top + y;
            const bool inside = screenX < screen.Width() && screenY < screen.Height();
            const uint32 shown = inside ? screen.PixelAt(screenX, screenY) : 0;
            if (shown != window.PixelAt(x, y) && differing++ == 0) {
                std::snprintf(first, sizeof first,
                    "window pixel (%d, %d) is %06x but the screen shows %06x at (%d, %d)", x, y,
                    window.PixelAt(x, y) & 0xFFFFFF, shown & 0xFFFFFF, screenX, screenY);
            }
        }
    }
    return differing == 0 ? "" : std::to_string(differing) + " pixels differ; first: " + first;
}

uint32 Packed(rgb_color color)
{
    return PackColor(color.red, color.green, color.blue);
}

int64 WakeUps(SdlDisplayBackend* display)
{
    return display->Statistics().wakeUps;
}

// Whether the SDL thread sleeps through a quarter of a second in which nothing happens. One
// wake-up is allowed for the desktop's late news of the new window; a thread that looks for work
// on a timer wakes dozens of times.
bool SleepsWhileIdle(SdlDisplayBackend* display)
{
    const int64 before = WakeUps(display);
    snooze(250000);
    return WakeUps(display) - before <= 1;
}

// Compares the window with the screen, keeping the screenshot in screen; answers how they
// differ, or nothing.
std::string MatchesScreen(BWindow* window, const std::string& directory, FrameBuffer& screen)
{
    if (std::string error = Screenshot(directory, screen); !error.empty())
        return error;
    return interface_test::Locked(window, [&] {
        return CompareWithScreen(
            window->ContentBuffer(), screen, int32(WINDOW_FRAME.left), int32(WINDOW_FRAME.top));
    });
}

// Waits until the screen shows the window's pixels; answers how it last differed, or nothing,
// keeping that screenshot as sdlwindowcheck-differs.png.
std::string AwaitScreen(SdlDisplayBackend* display, BWindow* window,
    const std::string& directory)
{
    std::string error;
    FrameBuffer screen;
    (void)test_support::Await([&] {
        error = display->WaitUntilShown(window, WAIT) == B_OK
            ? MatchesScreen(window, directory, screen)
            : "the window was never presented";
        return error.empty();
    }, WAIT);
    if (!error.empty())
        (void)kits::interface::WriteSnapshot(screen,
            (directory + "/sdlwindowcheck-differs.png").c_str());
    return error;
}

// Whether the X server is to read the windows' pixels from memory shared with it.
bool SharedMemoryWanted()
{
    const char* setting = std::getenv("OVELIN_X11_SHARED_MEMORY");
    return setting == nullptr || std::strcmp(setting, "0") != 0;
}

// A window shown directly from memory shared with the X server (or through SDL's surface, when
// that is turned off) follows a new size with new memory; answers the first thing that did not
// hold, or nothing.
std::string CheckResize(SdlDisplayBackend* display, BWindow* window, const std::string& directory)
{
    const bool shared = interface_test::Locked(window, [&] {
        const std::shared_ptr<kits::interface::PixelMemory>& memory
            = window->ContentBuffer().Memory();
        return memory != nullptr && X11Presenter::IsShared(*memory);
    });
    if (shared != SharedMemoryWanted())
        return shared ? "the window's pixels are shared with the X server although turned off"
                      : "the window's pixels are not in memory shared with the X server";

    interface_test::Locked(window, [&] { window->ResizeTo(300, 200); });
    const std::string error = AwaitScreen(display, window, directory);
    return error.empty() ? "" : "the screen does not show the resized window: " + error;
}

// What the shown window should look like on the screen and receive from the X server's mouse
// and keyboard; answers the first thing that did not hold, or nothing.
std::string CheckOnScreen(SdlDisplayBackend* display, BWindow* window,
    interface_test::Events& events, const std::string& directory)
{
    if (display->WaitUntilShown(window, WAIT) != B_OK)
        return "the window was never presented";
    FrameBuffer screen;
    if (std::string error = Screenshot(directory, screen); !error.empty())
        return error;
    (void)kits::interface::WriteSnapshot(screen,
        (directory + "/sdlwindowcheck-screen.png").c_str());
    const std::string shown = interface_test::Locked(window, [&]() -> std::string {
        const FrameBuffer& content = window->ContentBuffer();
        (void)window->WriteSnapshot((directory + "/sdlwindowcheck-window.png").c_str());
        if (content.Width() != WINDOW_FRAME.IntegerWidth() + 1
            || content.Height() != WINDOW_FRAME.IntegerHeight() + 1
            || content.PixelAt(5, 5) != Packed(BACKGROUND)
            || content.PixelAt(50, 50) != Packed(PATCH))
            return "the window did not draw what it was given";
        const std::string error = CompareWithScreen(content, screen, int32(WINDOW_FRAME.left),
            int32(WINDOW_FRAME.top));
        return error.empty() ? "" : "the screen does not show the window: " + error;
    });
    if (!shown.empty())
        return shown;
    if (!SleepsWhileIdle(display))
        return "the SDL thread woke up while nothing happened";

    // A real click through the X server, 30 pixels into the patch.
    const int64 beforeClick = WakeUps(display);
    const BPoint click = WINDOW_FRAME.LeftTop() + PATCH_FRAME.LeftTop() + BPoint(30, 30);
    if (RunProgram({"xdotool", "mousemove", std::to_string(int32(click.x)),
            std::to_string(int32(click.y)), "click", "1"}) != 0)
        return "xdotool could not click";
    auto clicks = [&events] {
        std::lock_guard guard(events.lock);
        return events.clicks;
    };
    if (!test_support::Await([&] { return !clicks().empty(); }, WAIT))
        return "the click never reached the view";
    if (clicks()[0] != BPoint(30, 30))
        return "the click arrived at the wrong place";
    if (WakeUps(display) == beforeClick)
        return "the SDL thread got the click without waking up";

    // Keys typed on the X server's keyboard reach the focus view as the platform's bytes: text
    // as text, the arrows and Enter as their codes.
    const std::string expected = "a\x1c\n";
    if (RunProgram({"xdotool", "key", "a", "Left", "Return"}) != 0)
        return "xdotool could not type";
    auto typed = [&events] {
        std::lock_guard guard(events.lock);
        std::string bytes;
        for (const std::string& key : events.keys)
            bytes += key;
        return bytes;
    };
    (void)test_support::Await([&] { return typed().size() >= expected.size(); }, WAIT);
    if (typed() != expected)
        return "typed keys arrived as \"" + typed() + "\"";

    // Drawing on this thread, as a video consumer does, reaches the screen without the window's
    // thread: where the X server reads the window's memory, this thread puts it there itself
    // (once the SDL thread has put the whole window there, which the first drawing may leave to
    // it); otherwise the present wakes the SDL thread.
    auto draw = [&](rgb_color color) {
        interface_test::Locked(window, [&] {
            BView* label = window->FindView("label");
            label->SetHighColor(color);
            label->FillRect(BRect(200, 200, 259, 239));
        });
    };
    draw(BACKGROUND);
    if (display->WaitUntilShown(window, WAIT) != B_OK)
        return "a drawing made on another thread was never presented";
    const int64 beforePresent = WakeUps(display);
    const int64 presents = display->Statistics().presents;
    draw(PATCH);
    if (SharedMemoryWanted() && display->Statistics().presents == presents)
        return "a present from another thread was left to the SDL thread";
    if (display->WaitUntilShown(window, WAIT) != B_OK
        || (!SharedMemoryWanted() && WakeUps(display) == beforePresent))
        return "a present from another thread did not wake the SDL thread";
    if (std::string error = MatchesScreen(window, directory, screen); !error.empty())
        return "the screen does not show what was drawn from another thread: " + error;
    return CheckResize(display, window, directory);
}

int Check(const std::string& directory)
{
    SdlDisplayBackend* display = kits::interface::SdlDisplay();
    if (display == nullptr || &kits::interface::Display() != display) {
        std::fprintf(stderr, "sdlwindowcheck: the windows are not on the desktop display\n");
        return 1;
    }
    // Outlives the window, which the application deletes.
    interface_test::Events events;
    BApplication application("application/x-vnd.ovelin-sdlwindowcheck");
    auto* window = new CheckWindow(WINDOW_FRAME, events);
    window->Show();

    std::vector<std::string> failures;
    std::thread checker([&] {
        if (std::string failure = CheckOnScreen(display, window, events, directory);
            !failure.empty())
            failures.push_back(failure);
        // Ends the program either way: the close box asks the window to quit, and the window
        // quits the application.
        if (display->SimulateCloseBox(window) != B_OK)
            failures.push_back("the close box could not be clicked");
    });
    application.Run();
    checker.join();
    if (events.quitRequests == 0)
        failures.push_back("the window was not asked to quit");
    for (const std::string& failure : failures)
        std::fprintf(stderr, "sdlwindowcheck: %s\n", failure.c_str());
    if (failures.empty())
        std::printf("sdlwindowcheck: the window is on the screen and closes by its close box\n");
    return failures.empty() ? 0 : 1;
}

// Brightness of a screen pixel, 0 to 255.
int32 Luma(uint32 pixel)
{
    return int32((((pixel >> 16) & 0xff) * 3 + ((pixel >> 8) & 0xff) * 6 + (pixel & 0xff)) / 10);
}

// Whether the screen shows the viewer's window with its menu bar at the top of its content
// area (10, 25): a light bar across the window with dark title text at its left end, the
// control panel below it at the left and, beside it, the live picture of the test card, whose
// first station shows colour bars.
bool ShowsViewerWithMenuBar(const FrameBuffer& screen)
{
    const int32 left = 10;
    const int32 top = 25;
    if (screen.Width() < left + 400 || screen.Height() < top + 300)
        return false;
    using interface_test::CountPixelsWhere;
    const int32 lightInBar = CountPixelsWhere(screen, left, top + 2, left + 399, top + 2,
        [](uint32 pixel) { return Luma(pixel) > 150; });
    const int32 darkText = CountPixelsWhere(screen, left + 2, top + 3, left + 139, top + 17,
        [](uint32 pixel) { return Luma(pixel) < 100; });
    const bool panel = Luma(screen.PixelAt(left + 30, top + 150)) > 120;
    const int32 colourful = CountPixelsWhere(screen, left + 100, top + 100, left + 399, top + 100,
        [](uint32 pixel) {
            const int32 red = int32((pixel >> 16) & 0xff);
            const int32 green = int32((pixel >> 8) & 0xff);
            const int32 blue = int32(pixel & 0xff);
            return std::max({red, green, blue}) - std::min({red, green, blue}) > 80;
        });
    return lightInBar > 380 && darkText > 20 && panel && colourful > 80;
}

// The screen's pixels below the viewer's "TV" title, where its menu opens over the control
// panel.
std::vector<uint32> UnderTheMenu(const FrameBuffer& screen)
{
    std::vector<uint32> pixels;
    for (int32 y = 60; y < 90; y++)
        pixels.insert(pixels.end(), screen.Row(y) + 20, screen.Row(y) + 80);
    return pixels;
}

// Whether a window with exactly this title is on the display.
bool HasWindowNamed(const char* title)
{
    return RunProgram({"xdotool", "search", "--name", std::string("^") + title + "$"}) == 0;
}

// Ends the viewer after a step that failed, and says which.
int Fail(pid_t viewer, const char* step)
{
    kill(viewer, SIGKILL);
    waitpid(viewer, nullptr, 0);
    std::fprintf(stderr, "FAILED: %s\n", step);
    return 1;
}

// The viewer itself on the display: starts it, waits until its window with the menu bar is on
// the screen, keeps the screenshot, and quits it with Command+Q (Ctrl+Q on this keyboard).
int Viewer(const std::string& program, const std::string& directory)
{
    const std::string bootRoot = directory + "/boot";
    setenv("OVELIN_BOOT_ROOT", bootRoot.c_str(), 1);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    pid_t child;
    if (posix_spawn(&child, argv[0], nullptr, nullptr, argv, environ) != 0) {
        std::fprintf(stderr, "FAILED: the viewer could not start\n");
        return 1;
    }
    int status = 0;
    bool ended = false;
    auto exited = [&] { return ended = ended || waitpid(child, &status, WNOHANG) == child; };
    FrameBuffer screen;
    const bool shown = test_support::Await([&] {
        return exited()
            || (Screenshot(directory, screen).empty() && ShowsViewerWithMenuBar(screen));
    }, 3 * WAIT);
    (void)kits::interface::WriteSnapshot(screen, (directory + "/ovelin-screen.png").c_str());
    if (ended) {
        std::fprintf(stderr, "FAILED: the viewer ended before its window was seen\n");
        return 1;
    }
    if (!shown)
        return Fail(child, "the viewer's window with its menu bar never appeared");
    // The menus work: "About" of the "TV" menu opens the About box, whose default button
    // closes it again. The menu opens over the control panel, which changes where it does.
    const std::vector<uint32> closed = UnderTheMenu(screen);
    RunProgram({"xdotool", "mousemove", "25", "35", "click", "1"});
    const bool opened = test_support::Await([&] {
        return Screenshot(directory, screen).empty() && UnderTheMenu(screen) != closed;
    }, WAIT);
    if (!opened)
        return Fail(child, "a click on \"TV\" opened no menu");
    RunProgram({"xdotool", "mousemove", "45", "78", "click", "1"});
    if (!test_support::Await([] { return HasWindowNamed("About"); }, WAIT))
        return Fail(child, "\"About\" in the \"TV\" menu opened no About box");
    RunProgram({"xdotool", "key", "Return"});
    if (!test_support::Await([] { return !HasWindowNamed("About"); }, WAIT))
        return Fail(child, "the About box did not close");
    // Without a window manager nobody gives the keyboard back to the main window once the
    // About box is gone; a desktop would.
    RunProgram({"xdotool", "search", "--name", "^Ovelin Beta 4$", "windowfocus"});
    RunProgram({"xdotool", "mousemove", "300", "200"});
    RunProgram({"xdotool", "key", "ctrl+q"});
    if (!test_support::Await(exited, WAIT))
        return Fail(child, "Ctrl+Q did not end the viewer");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "FAILED: the viewer did not end normally\n");
        return 1;
    }
    return 0;
}

}

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "check") == 0)
        return Check(argv[2]);
    if (argc == 4 && std::strcmp(argv[1], "viewer") == 0)
        return Viewer(argv[2], argv[3]);
    std::fprintf(stderr, "usage: sdlwindowcheck check <directory> | sdlwindowcheck viewer "
        "<program> <directory>\n");
    return 2;
}
