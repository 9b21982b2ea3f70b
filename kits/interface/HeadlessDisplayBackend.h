#pragma once
// HeadlessDisplayBackend: a display without a screen, for tests and machines without one.

#include "kits/interface/DisplayBackend.h"

#include <functional>
#include <map>
#include <mutex>
#include <set>

namespace kits::interface {

// Simulates a single screen: the standard VESA modes at 60 Hz (640 by 480, 800 by 600 and
// 1024 by 768, each in B_RGB32 and B_RGB16), starting in 1024 by 768 B_RGB32; a vertical retrace
// at the current mode's refresh rate; workspaces; and presents that are counted, not shown.
// Tests and tools change it through the hooks below; every member may be called from any
// thread.
class HeadlessDisplayBackend : public DisplayBackend {
public:
    // Microseconds on the same scale as system_time(); the sleep returns once that time is due.
    using NowFunction = std::function<bigtime_t()>;
    using SleepUntilFunction = std::function<void(bigtime_t)>;

    HeadlessDisplayBackend();

    std::vector<display_mode> ModeList() const override;
    display_mode CurrentMode() const override;
    [[nodiscard]] status_t SetMode(const display_mode& mode) override;
    [[nodiscard]] status_t WaitForRetrace(bigtime_t timeout) override;
    int32 CurrentWorkspace() const override;
    void AddWindow(BWindow* window) override;
    void RemoveWindow(BWindow* window) override;
    void WindowChanged(BWindow* window) override;
    void Present(BWindow* window, const FrameBuffer& buffer, const PixelRect& changed) override;
    void SetFullScreen(BWindow* window, bool fullScreen) override;
    void SetCursorHidden(bool hidden) override;

    // Hooks. Switches the workspace: every window is sent B_WORKSPACE_ACTIVATED for the old one
    // (with "workspace" int32 and "active" false) and then for the new one ("active" true).
    // B_BAD_VALUE for a workspace outside 0 to 31.
    [[nodiscard]] status_t SetCurrentWorkspace(int32 workspace);
    // Makes the screen width by height pixels in the given colour space, at 60 Hz: the offered
    // mode of that size if there is one, otherwise one with the blanking of 1024 by 768. It need
    // not be a mode the display offers, so a test can simulate any screen depth, B_GRAY8 or
    // B_CMAP8 included. B_BAD_VALUE for an empty size or one beyond 4096 pixels.
    [[nodiscard]] status_t SetScreen(color_space space, int32 width, int32 height);
    // Replaces the clock the retrace is measured with; empty functions restore the real one.
    void SetClock(NowFunction now, SleepUntilFunction sleepUntil);
    // How often the window has been presented since it was added.
    int64 PresentCount(const BWindow* window) const;
    // What the windows and the application last asked the display for.
    bool IsFullScreen(const BWindow* window) const;
    bool IsCursorHidden() const;
    // Back to the start: 1024 by 768 B_RGB32, workspace 0, the real clock. Windows stay.
    void Reset();

private:
    mutable std::mutex lock;
    // Guarded by lock.
    display_mode mode;
    int32 workspace = 0;
    NowFunction now;
    SleepUntilFunction sleepUntil;
    std::map<BWindow*, int64, std::less<>> presents;
    std::set<const BWindow*> fullScreenWindows;
    bool cursorHidden = false;
};

// The headless display when it is the process's display (Display()), for the hooks.
HeadlessDisplayBackend& HeadlessDisplay();

}
