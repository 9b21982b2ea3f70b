#pragma once
// BWindow: a looper with a tree of views drawn into a frame buffer of its own.

#include "kits/app/Looper.h"
#include "kits/interface/ClipRegion.h"
#include "kits/interface/FrameBuffer.h"
#include "kits/kernel/Rect.h"

#include <memory>
#include <string>
#include <vector>

class BMenuBar;
class BMessage;
class BView;

namespace kits::interface {
class MenuTracker;
}

enum window_type {
    B_UNTYPED_WINDOW = 0,
    B_TITLED_WINDOW = 1,
    B_MODAL_WINDOW = 3,
    B_DOCUMENT_WINDOW = 11,
    B_BORDERED_WINDOW = 20,
    B_FLOATING_WINDOW = 21,
};

// Window flags.
enum : uint32 {
    B_NOT_MOVABLE = 0x00000001,
    B_NOT_RESIZABLE = 0x00000002,
    B_NOT_H_RESIZABLE = 0x00000004,
    B_NOT_V_RESIZABLE = 0x00000008,
    B_WILL_ACCEPT_FIRST_CLICK = 0x00000010,
    B_NOT_CLOSABLE = 0x00000020,
    B_NOT_ZOOMABLE = 0x00000040,
    B_AVOID_FRONT = 0x00000080,
    B_OUTLINE_RESIZE = 0x00001000,
    B_AVOID_FOCUS = 0x00002000,
    B_NOT_MINIMIZABLE = 0x00004000,
    B_ASYNCHRONOUS_CONTROLS = 0x00080000,
    B_QUIT_ON_WINDOW_CLOSE = 0x00100000,
};

// Workspace sets: one bit per workspace.
enum : uint32 {
    B_CURRENT_WORKSPACE = 0,
    B_ALL_WORKSPACES = 0xffffffff,
};

// A window is created hidden, with its views drawn into an RGB32 frame buffer of its content size
// that the display presents. The first Show() starts its thread; from then on it owns itself as
// any looper does (BLooper::Quit deletes it), and an application object quits it when it ends.
// Hooks (FrameMoved, FrameResized, WorkspaceActivated, Zoom, the views' hooks) run with the
// window locked: on the window's thread for posted events, on the caller's thread for calls like
// ResizeTo. The calls that change the window (Show, Hide, Minimize, SetWorkspaces, MoveTo,
// MoveBy, ResizeTo, ResizeBy, SetSizeLimits, SetTitle, AddChild, RemoveChild, UpdateIfNeeded)
// take the lock themselves, waiting for it as Lock() does; every other call, the getters
// included, is made with the window locked.
//
// Lock order: a window's lock before the display's mutex; the main window locks another window
// only while holding its own; a thread drawing video takes its render lock before the window
// lock, with a time-out.
class BWindow : public BLooper {
public:
    // frame: the content area in screen coordinates. workspaces: a set of workspace bits, or
    // B_CURRENT_WORKSPACE for the workspace shown now.
    BWindow(BRect frame, const char* title, window_type type, uint32 flags,
        uint32 workspaces = B_CURRENT_WORKSPACE);
    // Detaches and deletes the views. Runs with the window locked (BLooper::Quit).
    ~BWindow() override;

    // Show and Hide nest like a view's; Show() on a shown window does nothing. The first
    // Show() runs the window's thread.
    virtual void Show();
    virtual void Hide();
    bool IsHidden() const;
    // Minimised windows keep their place in Show/Hide nesting; they are simply not on screen.
    virtual void Minimize(bool minimize);
    bool IsMinimized() const;
    uint32 Workspaces() const;
    void SetWorkspaces(uint32 workspaces);

    // The content area in screen coordinates.
    BRect Frame() const;
    // (0, 0, frame width, frame height).
    BRect Bounds() const;
    void MoveTo(BPoint where);
    void MoveTo(float x, float y);
    void MoveBy(float dx, float dy);
    // Sizes are clamped to the size limits. The frame buffer is reallocated (emptied when memory
    // runs out, so that nothing is drawn), the views follow their resizing modes, and the whole
    // window is redrawn. FrameResized is called when the size changed.
    void ResizeTo(float width, float height);
    void ResizeBy(float dWidth, float dHeight);
    // Limits for the bounds width and height; by default 0 to 32768.
    void SetSizeLimits(float minWidth, float maxWidth, float minHeight, float maxHeight);
    void GetSizeLimits(float* minWidth, float* maxWidth, float* minHeight,
        float* maxHeight) const;

    void SetTitle(const char* title);
    const char* Title() const;
    window_type Type() const;
    uint32 Flags() const;

    // The views of the window are the children of a top view that fills it; AddChild takes
    // ownership as BView::AddChild does, RemoveChild gives it back.
    void AddChild(BView* child, BView* before = nullptr);
    bool RemoveChild(BView* child);
    int32 CountChildren() const;
    BView* ChildAt(int32 index) const;
    BView* FindView(const char* name) const;
    // The view that gets key presses, or null.
    BView* CurrentFocus() const;
    // The menu bar whose items' shortcuts the window answers before the focus view sees a key:
    // the first BMenuBar added to the window, or null. Not owned.
    void SetKeyMenuBar(BMenuBar* bar);
    BMenuBar* KeyMenuBar() const;

    // Draws what has been invalidated now, on the calling thread, and presents it. Otherwise the
    // window's thread does so soon after an invalidation.
    void UpdateIfNeeded();

    // Writes the frame buffer as an 8-bit RGB PNG file at a path of the host.
    // B_NO_INIT for an empty buffer; B_IO_ERROR (or an errno status) when writing fails.
    status_t WriteSnapshot(const char* hostPath) const;
    // What the views drew, for snapshots and tests.
    const kits::interface::FrameBuffer& ContentBuffer() const;

    // Handles the window's own events (updates, workspace switches, zooming, minimising, moves
    // and resizes made on the desktop, Tab and Shift+Tab moving the focus between B_NAVIGABLE
    // views, other key presses for the focus view, mouse buttons and moves for the view under
    // the pointer or the one that had the press, the end of a drag, dropped messages for the
    // view under their drop point) and passes every other message on as a looper does. Mouse messages carry "where" (BPoint, window coordinates) and "buttons"
    // (int32, those still held).
    // B_QUIT_REQUESTED that QuitRequested() accepts quits the window, and the application with
    // it under B_QUIT_ON_WINDOW_CLOSE.
    void DispatchMessage(BMessage* message, BHandler* handler) override;

    // Hooks. newPosition is the content area's new top-left on screen.
    virtual void FrameMoved(BPoint newPosition);
    virtual void FrameResized(float newWidth, float newHeight);
    virtual void WorkspaceActivated(int32 workspace, bool active);
    // The zoom button: by default the window moves to origin and takes the size given (the
    // screen's).
    virtual void Zoom(BPoint origin, float width, float height);

protected:
    // Tells the display that the window now covers the whole screen without a border, or is
    // back in its frame; the caller has set the frame. With the window locked.
    void SetDisplayFullScreen(bool fullScreen);

private:
    friend class BView;
    friend class kits::interface::MenuTracker;

    // Adds rect (window coordinates) to what the next update redraws.
    void InvalidatePixels(const kits::interface::PixelRect& rect);
    // Clears and draws view and its descendants where they meet region.
    void DrawTree(BView* view, const kits::interface::ClipRegion& region);
    // After drawing outside an update: presents the changed pixels.
    void DrawingDone(const kits::interface::PixelRect& changed);
    bool IsOnScreen() const;
    void SetFocus(BView* view);
    void ResizeContent(float width, float height);
    // Mouse input outside the menus.
    void MouseInput(BMessage* message);
    // Keeps a copy of message as the one being dragged; offset as BMessage::DropPoint gives it.
    void StartDrag(const BMessage& message, BPoint offset);
    // Delivers the dragged message where the buttons went up (screen coordinates).
    void EndDrag(BPoint screenWhere);
    // The window stops following the mouse: a drag under way goes to the display.
    void HandOverDrag();
    // Gives a dropped message to the view under its drop point.
    void DeliverDropped(BMessage* message);
    // Tab and Shift+Tab move the focus to the next or previous shown B_NAVIGABLE view, in the
    // order of the view tree; true when the key did so.
    bool NavigationKey(const BMessage& key);
    static void CollectNavigable(BView* view, std::vector<BView*>& navigable);

    BRect frame;
    std::string title;
    const window_type type;
    const uint32 flags;
    uint32 workspaces;
    int32 hideCount = 1;
    bool minimized = false;
    float minWidth = 0;
    float maxWidth = 32768;
    float minHeight = 0;
    float maxHeight = 32768;
    kits::interface::FrameBuffer buffer;
    std::unique_ptr<BView> topView;
    BView* focus = nullptr;
    BMenuBar* keyMenuBar = nullptr;
    // The open menus, which take the input first; null while none is open.
    kits::interface::MenuTracker* menuTracker = nullptr;
    // The view that had the last press, while buttons are held; it gets the moves and the
    // release. Cleared when it leaves the window.
    BView* mouseView = nullptr;
    // The pointer's last position in window coordinates.
    BPoint lastMouse;
    // The message being dragged, and the pointer's offset from the dragged rectangle.
    std::unique_ptr<BMessage> dragMessage;
    BPoint dragOffset;
    // What the next update draws, in window coordinates.
    kits::interface::ClipRegion invalid;
    bool updatePosted = false;
    // The view whose Draw runs, and the region it may draw on; drawing is clipped to it.
    BView* drawingView = nullptr;
    kits::interface::ClipRegion drawingRegion;
    bool updating = false;
};
