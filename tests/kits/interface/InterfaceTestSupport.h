#pragma once
// Helpers shared by the interface kit's tests: a locked window that never runs, colours, waiting.

#include "kits/interface/FrameBuffer.h"
#include "kits/interface/Window.h"
#include "kits/kernel/OS.h"

#include <gtest/gtest.h>

#include <functional>

namespace interface_test {

constexpr uint32 WHITE = kits::interface::PackColor(255, 255, 255);
constexpr uint32 BLACK = kits::interface::PackColor(0, 0, 0);
constexpr uint32 RED = kits::interface::PackColor(255, 0, 0);
constexpr uint32 GREEN = kits::interface::PackColor(0, 255, 0);
constexpr uint32 BLUE = kits::interface::PackColor(0, 0, 255);

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
        int32 count = 0;
        for (int32 y = top; y <= bottom; y++) {
            for (int32 x = left; x <= right; x++)
                count += Pixel(x, y) == value;
        }
        return count;
    }

    BWindow* window = nullptr;
};

// Waits until condition holds, up to five seconds; the result says whether it did.
inline bool AwaitCondition(const std::function<bool()>& condition)
{
    const bigtime_t deadline = system_time() + 5000000;
    while (!condition()) {
        if (system_time() > deadline)
            return false;
        snooze(500);
    }
    return true;
}

}
