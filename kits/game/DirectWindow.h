#pragma once
// BDirectWindow: a window that can cover the whole screen.

#include "kits/interface/Screen.h"
#include "kits/interface/Window.h"

// Describes the screen memory a direct window may draw into; never handed out here.
struct direct_buffer_info;

// A window with a full-screen mode. There is no direct access to the screen's memory: a direct
// window draws through its views into its frame buffer like any window, and DirectConnected is
// never called. Calls and hooks follow BWindow's contract (SetFullScreen takes the window lock
// itself).
class BDirectWindow : public BWindow {
public:
    BDirectWindow(BRect frame, const char* title, window_type type, uint32 flags,
        uint32 workspaces = B_CURRENT_WORKSPACE);
    ~BDirectWindow() override;

    // Full-screen, the window moves to (0, 0) and takes the size of the screen's frame (its size
    // limits do not hold it back) and is shown without its border; leaving puts it back in the
    // frame it had when full-screen was entered (within its size limits). Asking for the state
    // the window is in changes nothing. B_OK.
    status_t SetFullScreen(bool enable);
    bool IsFullScreen() const;

    // Whether the screen can show direct windows in a window as well as full-screen: always.
    static bool SupportsWindowMode(screen_id id = B_MAIN_SCREEN_ID);

    // Hook for direct access to the screen; never called (see the class comment).
    virtual void DirectConnected(direct_buffer_info* info);

private:
    bool fullScreen = false;
    BRect savedFrame;
};
