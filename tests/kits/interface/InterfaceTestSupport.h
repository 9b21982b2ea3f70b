#pragma once
// Helpers shared by the interface kit's tests: a locked window that never runs, and colours.

#include "kits/interface/FrameBuffer.h"
#include "kits/interface/Window.h"

#include <gtest/gtest.h>

#include <functional>

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

    // Counts pixels of the given value inside the inclusive rectangle.
    int32 CountPixels(uint32 value, int32 left, int32 top, int32 right, int32 bottom) const
    {
        return CountPixelsWhere(window->ContentBuffer(), left, top, right, bottom,
            [value](uint32 pixel) { return pixel == value; });
    }

    BWindow* window = nullptr;
};

}
