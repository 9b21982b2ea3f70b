#include "kits/game/DirectWindow.h"

BDirectWindow::BDirectWindow(BRect frame, const char* title, window_type type, uint32 flags,
    uint32 workspaces)
    :
    BWindow(frame, title, type, flags, workspaces)
{
}

BDirectWindow::~BDirectWindow() = default;

status_t BDirectWindow::SetFullScreen(bool enable)
{
    Lock();
    if (enable == fullScreen) {
        Unlock();
        return B_OK;
    }
    fullScreen = enable;
    if (enable) {
        savedFrame = Frame();
        const BRect screen = BScreen(this).Frame();
        float minWidth;
        float maxWidth;
        float minHeight;
        float maxHeight;
        GetSizeLimits(&minWidth, &maxWidth, &minHeight, &maxHeight);
        // The screen decides the size now; the limits come back for when the window is one
        // again.
        SetSizeLimits(0, screen.Width(), 0, screen.Height());
        MoveTo(screen.LeftTop());
        ResizeTo(screen.Width(), screen.Height());
        SetSizeLimits(minWidth, maxWidth, minHeight, maxHeight);
    } else {
        MoveTo(savedFrame.LeftTop());
        ResizeTo(savedFrame.Width(), savedFrame.Height());
    }
    SetDisplayFullScreen(enable);
    Unlock();
    return B_OK;
}

bool BDirectWindow::IsFullScreen() const
{
    return fullScreen;
}

bool BDirectWindow::SupportsWindowMode(screen_id)
{
    return true;
}

void BDirectWindow::DirectConnected(direct_buffer_info*)
{
}
