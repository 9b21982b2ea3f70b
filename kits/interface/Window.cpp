// Lock order: the window's lock, then the display's mutex. The window never waits for another
// window's lock.
#include "kits/interface/Window.h"

#include "kits/app/AppDefs.h"
#include "kits/app/Application.h"
#include "kits/app/Message.h"
#include "kits/interface/DisplayBackend.h"
#include "kits/interface/DropExchange.h"
#include "kits/interface/InterfaceDefs.h"
#include "kits/interface/MenuBar.h"
#include "kits/interface/MenuTracker.h"
#include "kits/interface/Screen.h"
#include "kits/interface/Snapshot.h"
#include "kits/interface/View.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

using kits::interface::ClipRegion;
using kits::interface::PixelRect;

namespace {

// Posted to the window itself when something has been invalidated.
constexpr uint32 UPDATE_MESSAGE = FourCC("_UPD");

uint32 WorkspaceSet(uint32 workspaces)
{
    return workspaces == B_CURRENT_WORKSPACE ? 1u << current_workspace() : workspaces;
}

int32 PixelSize(float extent)
{
    return std::max(0, int32(std::ceil(extent)) + 1);
}

// Holds a window's lock for a scope. The lock is recursive, so the calls that take it work the
// same for callers that hold it already.
class WindowLocker {
public:
    explicit WindowLocker(BWindow* window) : window(window), locked(window->Lock()) {}
    ~WindowLocker()
    {
        if (locked)
            window->Unlock();
    }

    WindowLocker(const WindowLocker&) = delete;
    WindowLocker& operator=(const WindowLocker&) = delete;

private:
    BWindow* window;
    bool locked;
};

}

BWindow::BWindow(BRect frame, const char* title, window_type type, uint32 flags,
    uint32 workspaces)
    :
    BLooper(title),
    frame(frame),
    title(title != nullptr ? title : ""),
    type(type),
    flags(flags),
    workspaces(WorkspaceSet(workspaces)),
    buffer(kits::interface::DisplayPixels)
{
    Lock();
    topView = std::make_unique<BView>(Bounds(), "top view", B_FOLLOW_ALL_SIDES, B_WILL_DRAW);
    // A window too large for memory gets an empty buffer and draws nothing.
    (void)buffer.SetSize(PixelSize(frame.Width()), PixelSize(frame.Height()),
        kits::interface::PackColor(255, 255, 255));
    topView->Attach(this);
    kits::interface::Display().AddWindow(this);
    // The display follows the application's cursor from the first window on.
    static std::once_flag cursorFollowed;
    std::call_once(cursorFollowed, [] {
        kits::app::SetCursorListener(
            [](bool hidden) { kits::interface::Display().SetCursorHidden(hidden); });
    });
    InvalidatePixels(buffer.Rect());
    Unlock();
}

BWindow::~BWindow()
{
    // A drag that started here outlives the window: the display finishes it.
    HandOverDrag();
    kits::interface::Display().RemoveWindow(this);
    topView->Detach();
    topView.reset();
}

void BWindow::Show()
{
    WindowLocker locker(this);
    if (hideCount == 0)
        return;
    hideCount--;
    if (hideCount > 0)
        return;
    InvalidatePixels(buffer.Rect());
    kits::interface::Display().WindowChanged(this);
    if (Thread() < 0)
        Run();
}

void BWindow::Hide()
{
    WindowLocker locker(this);
    hideCount++;
    if (hideCount == 1) {
        // A hidden window no longer hears the mouse.
        HandOverDrag();
        kits::interface::Display().WindowChanged(this);
    }
}

bool BWindow::IsHidden() const
{
    return hideCount > 0;
}

void BWindow::Minimize(bool minimize)
{
    WindowLocker locker(this);
    if (minimized == minimize)
        return;
    minimized = minimize;
    if (minimized)
        HandOverDrag();
    kits::interface::Display().WindowChanged(this);
    if (!minimized)
        InvalidatePixels(buffer.Rect());
}

bool BWindow::IsMinimized() const
{
    return minimized;
}

uint32 BWindow::Workspaces() const
{
    return workspaces;
}

void BWindow::SetWorkspaces(uint32 newWorkspaces)
{
    WindowLocker locker(this);
    workspaces = WorkspaceSet(newWorkspaces);
    kits::interface::Display().WindowChanged(this);
}

BRect BWindow::Frame() const
{
    return frame;
}

BRect BWindow::Bounds() const
{
    return BRect(0, 0, frame.Width(), frame.Height());
}

void BWindow::MoveTo(BPoint where)
{
    WindowLocker locker(this);
    if (where == frame.LeftTop())
        return;
    frame.OffsetTo(where);
    kits::interface::Display().WindowChanged(this);
    FrameMoved(where);
}

void BWindow::MoveTo(float x, float y)
{
    MoveTo(BPoint(x, y));
}

void BWindow::MoveBy(float dx, float dy)
{
    WindowLocker locker(this);
    MoveTo(frame.left + dx, frame.top + dy);
}

void BWindow::ResizeTo(float width, float height)
{
    WindowLocker locker(this);
    width = std::clamp(width, minWidth, std::max(minWidth, maxWidth));
    height = std::clamp(height, minHeight, std::max(minHeight, maxHeight));
    if (width == frame.Width() && height == frame.Height())
        return;
    ResizeContent(width, height);
    FrameResized(width, height);
}

void BWindow::ResizeContent(float width, float height)
{
    frame.right = frame.left + width;
    frame.bottom = frame.top + height;
    // The old pixels are of no use at another size: everything is drawn again.
    (void)buffer.SetSize(PixelSize(width), PixelSize(height), kits::interface::PackColor(
        topView->ViewColor().red, topView->ViewColor().green, topView->ViewColor().blue));
    invalid.MakeEmpty();
    topView->SetFrame(Bounds());
    InvalidatePixels(buffer.Rect());
    kits::interface::Display().WindowChanged(this);
}

void BWindow::ResizeBy(float dWidth, float dHeight)
{
    WindowLocker locker(this);
    ResizeTo(frame.Width() + dWidth, frame.Height() + dHeight);
}

void BWindow::SetSizeLimits(float newMinWidth, float newMaxWidth, float newMinHeight,
    float newMaxHeight)
{
    WindowLocker locker(this);
    minWidth = newMinWidth;
    maxWidth = newMaxWidth;
    minHeight = newMinHeight;
    maxHeight = newMaxHeight;
    kits::interface::Display().WindowChanged(this);
}

void BWindow::GetSizeLimits(float* outMinWidth, float* outMaxWidth, float* outMinHeight,
    float* outMaxHeight) const
{
    if (outMinWidth != nullptr)
        *outMinWidth = minWidth;
    if (outMaxWidth != nullptr)
        *outMaxWidth = maxWidth;
    if (outMinHeight != nullptr)
        *outMinHeight = minHeight;
    if (outMaxHeight != nullptr)
        *outMaxHeight = maxHeight;
}

void BWindow::SetTitle(const char* newTitle)
{
    WindowLocker locker(this);
    title = newTitle != nullptr ? newTitle : "";
    SetName(title.c_str());
    kits::interface::Display().WindowChanged(this);
}

const char* BWindow::Title() const
{
    return title.c_str();
}

window_type BWindow::Type() const
{
    return type;
}

uint32 BWindow::Flags() const
{
    return flags;
}

void BWindow::AddChild(BView* child, BView* before)
{
    WindowLocker locker(this);
    topView->AddChild(child, before);
}

bool BWindow::RemoveChild(BView* child)
{
    WindowLocker locker(this);
    return topView->RemoveChild(child);
}

int32 BWindow::CountChildren() const
{
    return topView->CountChildren();
}

BView* BWindow::ChildAt(int32 index) const
{
    return topView->ChildAt(index);
}

BView* BWindow::FindView(const char* name) const
{
    return topView->FindView(name);
}

BView* BWindow::CurrentFocus() const
{
    return focus;
}

void BWindow::SetKeyMenuBar(BMenuBar* bar)
{
    keyMenuBar = bar;
}

BMenuBar* BWindow::KeyMenuBar() const
{
    return keyMenuBar;
}

void BWindow::SetFocus(BView* view)
{
    focus = view;
    SetPreferredHandler(view);
}

void BWindow::InvalidatePixels(const PixelRect& rect)
{
    const PixelRect inside = rect.Intersection(buffer.Rect());
    if (inside.IsEmpty())
        return;
    invalid.Include(inside);
    if (!updatePosted) {
        updatePosted = true;
        PostMessage(UPDATE_MESSAGE);
    }
}

void BWindow::UpdateIfNeeded()
{
    WindowLocker locker(this);
    // A Draw hook that asks for an update gets it after the current one.
    if (updating || invalid.IsEmpty())
        return;
    ClipRegion region;
    std::swap(region, invalid);
    updating = true;
    DrawTree(topView.get(), region);
    updating = false;
    if (IsOnScreen())
        kits::interface::Display().Present(this, buffer, region.Bounds());
}

void BWindow::DrawTree(BView* view, const ClipRegion& region)
{
    if (view->IsHiddenItself())
        return;
    ClipRegion clip = view->VisibleRegion();
    clip.IntersectWith(region);
    if (!clip.IsEmpty()) {
        const rgb_color color = view->ViewColor();
        const uint32 fill = kits::interface::PackColor(color.red, color.green, color.blue);
        for (const PixelRect& rect : clip.Rects())
            buffer.Fill(rect, fill);
        if ((view->Flags() & B_WILL_DRAW) != 0) {
            drawingView = view;
            drawingRegion = clip;
            BRect update = kits::interface::ToRect(clip.Bounds());
            update.OffsetBy(BPoint() - (view->ParentOrigin() + view->Frame().LeftTop()));
            view->Draw(update);
            drawingView = nullptr;
            drawingRegion.MakeEmpty();
        }
    }
    // By index: Draw may have changed the tree.
    for (int32 i = 0; i < view->CountChildren(); i++)
        DrawTree(view->ChildAt(i), region);
}

void BWindow::DrawingDone(const PixelRect& changed)
{
    // During an update, the update presents everything at its end.
    if (!updating && IsOnScreen())
        kits::interface::Display().Present(this, buffer, changed.Intersection(buffer.Rect()));
}

bool BWindow::IsOnScreen() const
{
    return hideCount == 0 && !minimized;
}

status_t BWindow::WriteSnapshot(const char* hostPath) const
{
    return kits::interface::WriteSnapshot(buffer, hostPath);
}

const kits::interface::FrameBuffer& BWindow::ContentBuffer() const
{
    return buffer;
}

void BWindow::StartDrag(const BMessage& message, BPoint offset)
{
    dragMessage = std::make_unique<BMessage>(message);
    dragOffset = offset;
}

void BWindow::EndDrag(BPoint screenWhere)
{
    std::unique_ptr<BMessage> dropped = std::move(dragMessage);
    kits::interface::DeliverDrop(std::move(*dropped), screenWhere, dragOffset);
}

void BWindow::HandOverDrag()
{
    mouseView = nullptr;
    if (dragMessage == nullptr)
        return;
    kits::interface::Display().AdoptDrag(*dragMessage, dragOffset);
    dragMessage.reset();
}

void BWindow::DeliverDropped(BMessage* message)
{
    const BPoint where = message->DropPoint() - frame.LeftTop();
    BView* view = topView->ViewAt(where);
    if (view == nullptr)
        view = topView.get();
    BView::DeliverDropped(view, message);
}

void BWindow::MouseInput(BMessage* message)
{
    BPoint where;
    if (message->FindPoint("where", &where) != B_OK)
        return;
    lastMouse = where;
    int32 buttons = 0;
    (void)message->FindInt32("buttons", &buttons);
    if (message->what == B_MOUSE_DOWN) {
        BView* view = topView->ViewAt(where);
        if (view == nullptr || view == topView.get())
            return;
        mouseView = view;
        view->MouseDown(where - (view->ParentOrigin() + view->Frame().LeftTop()));
        return;
    }
    BView* view = mouseView;
    uint32 transit = B_INSIDE_VIEW;
    if (view != nullptr) {
        if (!view->WindowFrame().Contains(where))
            transit = B_OUTSIDE_VIEW;
    } else {
        view = topView->ViewAt(where);
        if (view == topView.get())
            view = nullptr;
    }
    if (message->what == B_MOUSE_MOVED) {
        if (view != nullptr) {
            view->MouseMoved(where - (view->ParentOrigin() + view->Frame().LeftTop()), transit,
                dragMessage.get());
        }
        return;
    }
    // The hook may start a drag; it ends with this release only once every button is up.
    if (view != nullptr)
        view->MouseUp(where - (view->ParentOrigin() + view->Frame().LeftTop()));
    if (buttons != 0)
        return;
    mouseView = nullptr;
    if (dragMessage != nullptr)
        EndDrag(where + frame.LeftTop());
}

void BWindow::DispatchMessage(BMessage* message, BHandler* handler)
{
    // A dropped message is never a command to the window, whatever its code.
    if (message->WasDropped()) {
        DeliverDropped(message);
        return;
    }
    if (menuTracker != nullptr && menuTracker->FilterInput(message))
        return;
    // Input goes where the pointer or the focus is, whichever handler it was addressed to; menu
    // shortcuts come before the focus view.
    if (message->what == B_KEY_DOWN) {
        if (keyMenuBar != nullptr && kits::interface::InvokeShortcut(*keyMenuBar, *message))
            return;
        if (NavigationKey(*message))
            return;
        auto* view = dynamic_cast<BView*>(handler);
        if (view == nullptr)
            view = focus;
        const char* bytes = nullptr;
        if (view != nullptr && message->FindString("bytes", &bytes) == B_OK)
            view->KeyDown(bytes, int32(std::strlen(bytes)));
        return;
    }
    if (message->what == B_MOUSE_DOWN || message->what == B_MOUSE_MOVED
        || message->what == B_MOUSE_UP) {
        MouseInput(message);
        return;
    }
    if (handler != this) {
        BLooper::DispatchMessage(message, handler);
        return;
    }
    switch (message->what) {
    case UPDATE_MESSAGE:
        updatePosted = false;
        UpdateIfNeeded();
        return;
    case B_WORKSPACE_ACTIVATED: {
        int32 workspace;
        bool active;
        if (message->FindInt32("workspace", &workspace) == B_OK
            && message->FindBool("active", &active) == B_OK) {
            WorkspaceActivated(workspace, active);
        }
        return;
    }
    case B_ZOOM: {
        const BRect screen = BScreen(this).Frame();
        Zoom(screen.LeftTop(), screen.Width(), screen.Height());
        return;
    }
    // The user moved or resized the window on the desktop.
    case B_WINDOW_MOVED: {
        BPoint where;
        if (message->FindPoint("where", &where) == B_OK)
            MoveTo(where);
        return;
    }
    case B_WINDOW_RESIZED: {
        int32 width;
        int32 height;
        if (message->FindInt32("width", &width) == B_OK
            && message->FindInt32("height", &height) == B_OK) {
            ResizeTo(float(width), float(height));
            // A size the limits refused leaves the frame as it was; the display shows that again.
            kits::interface::Display().WindowChanged(this);
        }
        return;
    }
    case B_MINIMIZE: {
        bool minimize;
        if (message->FindBool("minimize", &minimize) == B_OK)
            Minimize(minimize);
        return;
    }
    case B_QUIT_REQUESTED:
        if (QuitRequested()) {
            if ((flags & B_QUIT_ON_WINDOW_CLOSE) != 0)
                be_app_messenger.SendMessage(B_QUIT_REQUESTED);
            Quit();
        }
        return;
    default:
        BLooper::DispatchMessage(message, handler);
        return;
    }
}

bool BWindow::NavigationKey(const BMessage& key)
{
    const char* bytes = nullptr;
    int32 modifiers = 0;
    (void)key.FindInt32("modifiers", &modifiers);
    if (key.FindString("bytes", &bytes) != B_OK || bytes[0] != B_TAB || bytes[1] != '\0'
        || (uint32(modifiers) & (B_COMMAND_KEY | B_CONTROL_KEY | B_OPTION_KEY)) != 0) {
        return false;
    }
    std::vector<BView*> navigable;
    CollectNavigable(topView.get(), navigable);
    if (navigable.empty())
        return false;
    const bool backward = (uint32(modifiers) & B_SHIFT_KEY) != 0;
    const auto current = std::find(navigable.begin(), navigable.end(), focus);
    size_t next;
    if (current == navigable.end())
        next = backward ? navigable.size() - 1 : 0;
    else if (backward)
        next = (size_t(current - navigable.begin()) + navigable.size() - 1) % navigable.size();
    else
        next = (size_t(current - navigable.begin()) + 1) % navigable.size();
    navigable[next]->MakeFocus();
    return true;
}

void BWindow::CollectNavigable(BView* view, std::vector<BView*>& navigable)
{
    if (view->IsHiddenItself())
        return;
    if ((view->Flags() & B_NAVIGABLE) != 0)
        navigable.push_back(view);
    for (int32 i = 0; i < view->CountChildren(); i++)
        CollectNavigable(view->ChildAt(i), navigable);
}

void BWindow::SetDisplayFullScreen(bool fullScreen)
{
    kits::interface::Display().SetFullScreen(this, fullScreen);
}

void BWindow::FrameMoved(BPoint)
{
}

void BWindow::FrameResized(float, float)
{
}

void BWindow::WorkspaceActivated(int32, bool)
{
}

void BWindow::Zoom(BPoint origin, float width, float height)
{
    MoveTo(origin);
    ResizeTo(width, height);
}
