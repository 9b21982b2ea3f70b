#pragma once
// HeadlessDisplayBackend: a display without a screen, for tests and machines without one.

#include "kits/interface/DisplayBackend.h"
#include "kits/interface/InterfaceDefs.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>

namespace kits::interface {

// Simulates a single screen: the standard VESA modes at 60 Hz (640 by 480, 800 by 600 and
// 1024 by 768, each in B_RGB32 and B_RGB16), starting in 1024 by 768 B_RGB32; a vertical retrace
// at the current mode's refresh rate; workspaces; presents that are counted, not shown; and a
// mouse. Windows are stacked in the order they last came on screen or were pressed, the latest
// in front.
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
    BMessenger WindowAt(BPoint screenPoint) const override;
    // Every headless process shares one imagined screen.
    std::string DropExchangeName() const override;
    // Delivered at the next ReleaseMouse.
    void AdoptDrag(const BMessage& message, BPoint offset) override;

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
    // The mouse, at points of the screen. A press goes to the front-most window there (which
    // comes to the front) as B_MOUSE_DOWN; while any button is held, moves and releases go to
    // that same window, also outside it, as a desktop does; otherwise to the window under the
    // pointer, if any. Each message has "when", "where" (window coordinates), "buttons" (held
    // after the event) and "modifiers"; a press also "clicks" (1). PressMouse gives
    // B_BAD_VALUE for no buttons and B_NAME_NOT_FOUND (nothing posted) where no window is.
    [[nodiscard]] status_t PressMouse(BPoint screenPoint,
        int32 buttons = B_PRIMARY_MOUSE_BUTTON);
    void MoveMouse(BPoint screenPoint);
    // Releases every button held; a drag the display took over is delivered there.
    void ReleaseMouse(BPoint screenPoint);
    // Back to the start: 1024 by 768 B_RGB32, workspace 0, the real clock, no buttons held.
    // Windows stay.
    void Reset();

private:
    // A window as the display sees it, updated whenever the window reports a change.
    struct WindowRecord {
        BMessenger messenger;
        BRect frame;
        bool onScreen = false;
        uint32 workspaces = 0;
        // Its place in the stack: higher is further in front.
        uint64 raised = 0;
    };

    // The front-most window on screen at screenPoint, or null. With lock held.
    const WindowRecord* FrontWindowAt(BPoint screenPoint) const;
    // Posts a mouse message to record's window. With lock held.
    void PostMouse(const WindowRecord& record, uint32 what, BPoint screenPoint, int32 buttons);

    mutable std::mutex lock;
    // Guarded by lock.
    display_mode mode;
    int32 workspace = 0;
    NowFunction now;
    SleepUntilFunction sleepUntil;
    std::map<BWindow*, int64, std::less<>> presents;
    std::set<const BWindow*> fullScreenWindows;
    bool cursorHidden = false;
    std::map<const BWindow*, WindowRecord, std::less<>> windows;
    uint64 nextRaise = 1;
    int32 heldButtons = 0;
    // The window that had the press while buttons are held; null otherwise.
    const BWindow* grab = nullptr;
    // A drag taken over from a window, with its offset.
    std::unique_ptr<BMessage> adoptedDrag;
    BPoint adoptedOffset;
};

// The headless display when it is the process's display (Display()), for the hooks.
HeadlessDisplayBackend& HeadlessDisplay();

}
