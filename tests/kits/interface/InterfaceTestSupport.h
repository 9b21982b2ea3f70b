#pragma once
// Helpers shared by the interface kit's tests: recording windows and views, an archivable view, a
// locked window that never runs, input messages, colours and pixel counts.

#include "kits/app/AppDefs.h"
#include "kits/app/Archivable.h"
#include "kits/app/Message.h"
#include "kits/interface/FrameBuffer.h"
#include "kits/interface/InterfaceDefs.h"
#include "kits/interface/View.h"
#include "kits/interface/Window.h"
#include "tests/support/MessageWith.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace interface_test {

constexpr uint32 WHITE = kits::interface::PackColor(255, 255, 255);
constexpr uint32 BLACK = kits::interface::PackColor(0, 0, 0);
constexpr uint32 RED = kits::interface::PackColor(255, 0, 0);
constexpr uint32 GREEN = kits::interface::PackColor(0, 255, 0);
constexpr uint32 BLUE = kits::interface::PackColor(0, 0, 255);

// Counts the pixels inside the inclusive rectangle for which `test` holds.
inline int32 CountPixelsWhere(const kits::interface::FrameBuffer& buffer, int32 left, int32 top,
    int32 right, int32 bottom, const std::function<bool(uint32)>& test)
{
    int32 count = 0;
    for (int32 y = top; y <= bottom; y++) {
        for (int32 x = left; x <= right; x++)
            count += test(buffer.PixelAt(x, y)) ? 1 : 0;
    }
    return count;
}

// Whether a pixel is darker than mid-grey, as text and handles are drawn: by its blue channel.
inline bool IsDark(uint32 pixel)
{
    return (pixel & 0xFF) < 128;
}

// Calls `action` with the window locked and answers what it returns.
template <typename Action>
auto Locked(BWindow* window, Action action)
{
    struct Unlocker {
        BWindow* window;
        ~Unlocker() { window->Unlock(); }
    };
    window->Lock();
    const Unlocker unlocker{window};
    return action();
}

// Shows the window, which starts its thread, and leaves it unlocked.
inline BWindow* Shown(BWindow* window)
{
    window->Lock();
    window->Show();
    window->Unlock();
    return window;
}

// Quits a window that runs, from a thread that does not hold its lock.
inline void QuitWindow(BWindow* window)
{
    window->Lock();
    window->Quit();
}

inline BMessage Mouse(uint32 what, BPoint where, int32 buttons = B_PRIMARY_MOUSE_BUTTON)
{
    BMessage message = test_support::With(what, "buttons", buttons, "modifiers", 0, "clicks", 1);
    message.AddPoint("where", where);
    return message;
}

inline BMessage Key(const char* bytes, int32 modifiers = 0)
{
    return test_support::With(B_KEY_DOWN, "bytes", bytes, "modifiers", modifiers, "key", 0,
        "raw_char", uint8(bytes[0]));
}

// A view with a level of its own, archived after the view's fields, that counts how often it was
// archived and how many instances live, so tests see copies made and deleted.
class LevelView : public BView {
public:
    LevelView(BRect frame, const char* name, int32 level, uint32 mode = B_FOLLOW_NONE,
        uint32 flags = B_WILL_DRAW)
        :
        BView(frame, name, mode, flags),
        level(level)
    {
        live++;
    }
    explicit LevelView(BMessage* archive) : BView(archive)
    {
        (void)archive->FindInt32("level", &level);
        live++;
    }
    ~LevelView() override { live--; }

    status_t Archive(BMessage* archive, bool deep) const override
    {
        archives++;
        if (status_t status = BView::Archive(archive, deep); status != B_OK)
            return status;
        return archive->AddInt32("level", level);
    }

    static BArchivable* Instantiate(BMessage* archive)
    {
        if (!validate_instantiation(archive, "interface_test::LevelView"))
            return nullptr;
        return new LevelView(archive);
    }
    static void Register()
    {
        ASSERT_EQ(register_instantiation_func("interface_test::LevelView", Instantiate), B_OK);
    }

    int32 level = -1;
    static inline std::atomic<int32> archives{0};
    static inline std::atomic<int32> live{0};
};

// What an EventWindow or EventView saw, shared with the test, which outlives both.
struct Events {
    std::mutex lock;
    // Guarded by lock.
    std::vector<std::pair<int32, bool>> workspaces;
    std::vector<uint32> commands;
    std::vector<std::string> keys;
    std::vector<BPoint> clicks;
    std::vector<int32> buttons;
    std::atomic<int32> draws{0};
    std::atomic<thread_id> drawThread{-1};
    std::atomic<bool> destroyed{false};
    std::atomic<int32> quitRequests{0};
    // Whether the window answers a quit request by staying.
    bool refuseQuit = false;
    float resizedWidth = -1;
    BPoint movedTo;
};

class EventView : public BView {
public:
    EventView(BRect frame, Events& events)
        :
        BView(frame, "events", B_FOLLOW_NONE, B_WILL_DRAW),
        events(events)
    {
    }

    void Draw(BRect) override
    {
        events.drawThread = find_thread(nullptr);
        events.draws++;
    }
    void KeyDown(const char* bytes, int32 numBytes) override
    {
        std::lock_guard guard(events.lock);
        events.keys.emplace_back(bytes, size_t(numBytes));
    }
    void MouseDown(BPoint where) override
    {
        int32 buttons = 0;
        Window()->CurrentMessage()->FindInt32("buttons", &buttons);
        std::lock_guard guard(events.lock);
        events.clicks.push_back(where);
        events.buttons.push_back(buttons);
    }

private:
    Events& events;
};

class EventWindow : public BWindow {
public:
    EventWindow(BRect frame, Events& events, uint32 flags = 0)
        :
        BWindow(frame, "events", B_TITLED_WINDOW, flags),
        events(events)
    {
    }
    ~EventWindow() override { events.destroyed = true; }

    void MessageReceived(BMessage* message) override
    {
        {
            std::lock_guard guard(events.lock);
            events.commands.push_back(message->what);
        }
        BWindow::MessageReceived(message);
    }
    bool QuitRequested() override
    {
        events.quitRequests++;
        return !events.refuseQuit;
    }

    void WorkspaceActivated(int32 workspace, bool active) override
    {
        std::lock_guard guard(events.lock);
        events.workspaces.emplace_back(workspace, active);
    }
    void FrameResized(float width, float) override { events.resizedWidth = width; }
    void FrameMoved(BPoint where) override { events.movedTo = where; }

private:
    Events& events;
};

// A window of width by height pixels that the test keeps locked and never shows: its updates
// run on the test's thread through UpdateIfNeeded.
class LockedWindowTest : public testing::Test {
protected:
    void SetUp() override { MakeWindow(100, 100); }
    void TearDown() override
    {
        // A window that never ran is deleted by Quit at once.
        window->Quit();
    }

    void MakeWindow(int32 width, int32 height)
    {
        window = new BWindow(BRect(50, 50, float(50 + width - 1), float(50 + height - 1)),
            "test", B_TITLED_WINDOW, 0);
        window->Lock();
    }

    uint32 Pixel(int32 x, int32 y) const { return window->ContentBuffer().PixelAt(x, y); }

    struct ExpectedPixel {
        int32 x;
        int32 y;
        uint32 value;
    };

    void ExpectPixels(std::initializer_list<ExpectedPixel> expected) const
    {
        for (const ExpectedPixel& pixel : expected)
            EXPECT_EQ(Pixel(pixel.x, pixel.y), pixel.value) << pixel.x << "," << pixel.y;
    }

    // Counts pixels of the given value inside the inclusive rectangle.
    int32 CountPixels(uint32 value, int32 left, int32 top, int32 right, int32 bottom) const
    {
        return CountPixelsWhere(window->ContentBuffer(), left, top, right, bottom,
            [value](uint32 pixel) { return pixel == value; });
    }

    BWindow* window = nullptr;
};

}
