#pragma once
// SdlDisplayBackend: the desktop's display, with each window shown as a real desktop window.

#include "kits/interface/DisplayBackend.h"

#include <memory>

namespace kits::interface {

// Shows windows on the desktop the process was started in (X11 or Wayland) through SDL. One
// thread, started by the constructor and joined by Shutdown() or the destructor, owns SDL: it
// initialises it, creates, changes and destroys the desktop windows, presents and pumps events,
// and sleeps in between until a desktop event or another thread wakes it. Every member below may
// be called from any thread: it records what is wanted under the backend's mutex and wakes that
// thread, which never takes a window lock. On an X server of this machine the windows draw into
// memory the server reads (X11Presenter), and a present puts the rows there at once on the
// drawing thread, through a connection of the presenter's own, without waking the SDL thread.
// Desktop events reach a window as messages posted to it: B_MOUSE_DOWN, B_MOUSE_UP and
// B_MOUSE_MOVED ("where" in window coordinates, "buttons", "modifiers", "clicks", "when"),
// B_KEY_DOWN ("bytes" as the platform's key bytes, "modifiers", "key", "when"), B_QUIT_REQUESTED
// for the close box, B_WINDOW_MOVED ("where"), B_WINDOW_RESIZED ("width", "height"), B_MINIMIZE
// ("minimize") and B_WINDOW_ACTIVATED ("active").
//
// On X11 with RandR the modes are the screen's own and SetMode changes the screen
// (X11DisplayModes). Elsewhere (Wayland, where no client may set modes, or an X server whose
// modes have no timings) SetMode refuses every showable mode with B_NOT_ALLOWED: the desktop
// keeps its resolution and a full-screen window fills it. There is a single workspace, 0.
//
// Lock order: a window's lock, then the backend's mutex, then a looper's queue mutex.
class SdlDisplayBackend : public DisplayBackend {
public:
    // Starts the SDL thread and waits for SDL to be initialised on it.
    SdlDisplayBackend();
    // Shuts down as Shutdown() does.
    ~SdlDisplayBackend() override;

    SdlDisplayBackend(const SdlDisplayBackend&) = delete;
    SdlDisplayBackend& operator=(const SdlDisplayBackend&) = delete;

    // B_OK once SDL runs on a display; otherwise the status of the failure, and the backend
    // shows nothing.
    status_t InitCheck() const;
    // Destroys the desktop windows, ends SDL and joins its thread. Calls made afterwards are
    // accepted and show nothing.
    void Shutdown();

    std::vector<display_mode> ModeList() const override;
    display_mode CurrentMode() const override;
    [[nodiscard]] status_t SetMode(const display_mode& mode) override;
    // B_ERROR at once: the desktop tells of no retrace to wait for.
    [[nodiscard]] status_t WaitForRetrace(bigtime_t timeout) override;
    int32 CurrentWorkspace() const override;
    void AddWindow(BWindow* window) override;
    void RemoveWindow(BWindow* window) override;
    void WindowChanged(BWindow* window) override;
    // On an X server of this machine, memory the server reads the pixels from directly.
    std::shared_ptr<PixelMemory> NewPixels(size_t count) override;
    // Where the server reads the window's pixels from its own memory (NewPixels), has it put
    // the rows `changed` spans on screen at once (after the SDL thread has put the whole window
    // there since it was made, shown, exposed, resized or taken to or from full screen; until
    // then the rows are left to it). Otherwise copies them straight into the desktop window's
    // surface (into a copy of the window's pixels while the surface is being made anew); the SDL
    // thread puts them on screen soon after. Waits while the SDL thread updates the window.
    void Present(BWindow* window, const FrameBuffer& buffer, const PixelRect& changed) override;
    // Covers the desktop with the window; the picture is centred on black when the desktop is
    // larger than the window's frame, as the desktop keeps its own resolution.
    void SetFullScreen(BWindow* window, bool fullScreen) override;
    void SetCursorHidden(bool hidden) override;
    BMessenger WindowAt(BPoint screenPoint) const override;
    // The desktop's display, as the environment names it.
    std::string DropExchangeName() const override;
    // The buttons are then watched on the desktop as a whole, and a program that ends before
    // they are released waits for that at its exit (30 s at most).
    void AdoptDrag(const BMessage& message, BPoint offset) override;

    // Hooks for tests and measurements.
    // Sends the window's desktop window a close event, as a click in its close box would.
    // B_BAD_VALUE for a window the backend does not know.
    [[nodiscard]] status_t SimulateCloseBox(const BWindow* window);
    // Waits until the window has been presented at least once and every present made so far
    // has reached the desktop, and the X server has handled it. B_TIMED_OUT after timeout
    // microseconds, B_BAD_VALUE for an unknown window.
    [[nodiscard]] status_t WaitUntilShown(const BWindow* window, bigtime_t timeout);
    // The presents that reached the desktop, and the microseconds spent putting them there (on
    // the drawing thread or the SDL thread), over all windows; and how often the SDL thread woke
    // up: for a request of another thread, desktop events, or to follow a drag left by its
    // window. It does not wake while none of these comes.
    struct PresentStatistics {
        int64 presents = 0;
        bigtime_t microseconds = 0;
        int64 wakeUps = 0;
    };
    PresentStatistics Statistics() const;

private:
    class Shared;
    std::unique_ptr<Shared> shared;
};

// The SDL display, started on the first call; null when no desktop is reachable (neither DISPLAY
// nor WAYLAND_DISPLAY set, or SDL cannot start). Never destroyed, so windows may still reach it
// while the program exits; its thread is joined when static objects are destroyed.
SdlDisplayBackend* SdlDisplay();

}
