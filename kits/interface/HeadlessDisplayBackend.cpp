// Lock order: a window's lock, then the headless display's mutex, then a looper's queue mutex
// (taken by posting). The display never takes a window lock.
#include "kits/interface/HeadlessDisplayBackend.h"

#include "kits/app/AppDefs.h"
#include "kits/app/Message.h"
#include "kits/interface/DropExchange.h"
#include "kits/interface/Window.h"

#include <algorithm>

namespace kits::interface {

namespace {

constexpr display_mode MakeMode(uint32 pixelClock, uint16 hDisplay, uint16 hSyncStart,
    uint16 hSyncEnd, uint16 hTotal, uint16 vDisplay, uint16 vSyncStart, uint16 vSyncEnd,
    uint16 vTotal, uint32 timingFlags, color_space space)
{
    return display_mode{{pixelClock, hDisplay, hSyncStart, hSyncEnd, hTotal, vDisplay,
                            vSyncStart, vSyncEnd, vTotal, timingFlags},
        uint32(space), hDisplay, vDisplay, 0, 0, 0};
}

// The VESA timings at 60 Hz of the three sizes the program offers full-screen.
constexpr display_mode MODE_640 = MakeMode(25175, 640, 656, 752, 800, 480, 490, 492, 525, 0,
    B_RGB32);
constexpr display_mode MODE_800 = MakeMode(40000, 800, 840, 968, 1056, 600, 601, 605, 628,
    B_POSITIVE_HSYNC | B_POSITIVE_VSYNC, B_RGB32);
constexpr display_mode MODE_1024 = MakeMode(65000, 1024, 1048, 1184, 1344, 768, 771, 777, 806, 0,
    B_RGB32);

constexpr int32 MAX_SCREEN_SIZE = 4096;

display_mode WithSpace(display_mode mode, color_space space)
{
    mode.space = uint32(space);
    return mode;
}

std::vector<display_mode> StandardModes()
{
    return {MODE_640, WithSpace(MODE_640, B_RGB16), MODE_800, WithSpace(MODE_800, B_RGB16),
        MODE_1024, WithSpace(MODE_1024, B_RGB16)};
}

bigtime_t RealNow()
{
    return system_time();
}

void RealSleepUntil(bigtime_t time)
{
    snooze_until(time, B_SYSTEM_TIMEBASE);
}

}

HeadlessDisplayBackend::HeadlessDisplayBackend()
    :
    mode(MODE_1024),
    now(RealNow),
    sleepUntil(RealSleepUntil)
{
}

std::vector<display_mode> HeadlessDisplayBackend::ModeList() const
{
    return StandardModes();
}

display_mode HeadlessDisplayBackend::CurrentMode() const
{
    std::lock_guard guard(lock);
    return mode;
}

status_t HeadlessDisplayBackend::SetMode(const display_mode& newMode)
{
    // As a driver would, pull the end of each sync pulse back inside the total, so that a total
    // shortened to fill the screen still gives a mode.
    display_mode adjusted = newMode;
    display_timing& t = adjusted.timing;
    t.h_sync_end = std::clamp(t.h_sync_end, t.h_sync_start, std::max(t.h_sync_start, t.h_total));
    t.v_sync_end = std::clamp(t.v_sync_end, t.v_sync_start, std::max(t.v_sync_start, t.v_total));
    if (!IsShowableMode(adjusted))
        return B_BAD_VALUE;
    std::lock_guard guard(lock);
    mode = adjusted;
    return B_OK;
}

status_t HeadlessDisplayBackend::WaitForRetrace(bigtime_t timeout)
{
    int64 period;
    NowFunction clock;
    SleepUntilFunction sleep;
    {
        std::lock_guard guard(lock);
        period = RetracePeriodNanoseconds(mode);
        clock = now;
        sleep = sleepUntil;
    }
    const bigtime_t start = clock();
    const bigtime_t next = NextRetrace(start, period);
    // Saturating: an infinite time-out must not wrap around.
    const bigtime_t limit = timeout > B_INFINITE_TIMEOUT - std::max<bigtime_t>(start, 0)
        ? B_INFINITE_TIMEOUT
        : start + std::max<bigtime_t>(timeout, 0);
    if (next > limit) {
        if (limit > start)
            sleep(limit);
        return B_TIMED_OUT;
    }
    sleep(next);
    return B_OK;
}

int32 HeadlessDisplayBackend::CurrentWorkspace() const
{
    std::lock_guard guard(lock);
    return workspace;
}

void HeadlessDisplayBackend::AddWindow(BWindow* window)
{
    WindowRecord record;
    record.messenger = BMessenger(window);
    record.frame = window->Frame();
    record.workspaces = window->Workspaces();
    std::lock_guard guard(lock);
    presents.emplace(window, 0);
    windows[window] = record;
}

void HeadlessDisplayBackend::RemoveWindow(BWindow* window)
{
    std::lock_guard guard(lock);
    presents.erase(window);
    fullScreenWindows.erase(window);
    windows.erase(window);
    if (grab == window)
        grab = nullptr;
}

void HeadlessDisplayBackend::SetFullScreen(BWindow* window, bool fullScreen)
{
    std::lock_guard guard(lock);
    if (fullScreen)
        fullScreenWindows.insert(window);
    else
        fullScreenWindows.erase(window);
}

void HeadlessDisplayBackend::SetCursorHidden(bool hidden)
{
    std::lock_guard guard(lock);
    cursorHidden = hidden;
}

bool HeadlessDisplayBackend::IsFullScreen(const BWindow* window) const
{
    std::lock_guard guard(lock);
    return fullScreenWindows.contains(window);
}

bool HeadlessDisplayBackend::IsCursorHidden() const
{
    std::lock_guard guard(lock);
    return cursorHidden;
}

void HeadlessDisplayBackend::WindowChanged(BWindow* window)
{
    // Read here, with the window locked by the caller; the mouse needs no window lock then.
    const BRect frame = window->Frame();
    const bool onScreen = !window->IsHidden() && !window->IsMinimized();
    const uint32 workspaces = window->Workspaces();
    std::lock_guard guard(lock);
    auto found = windows.find(window);
    if (found == windows.end())
        return;
    WindowRecord& record = found->second;
    if (onScreen && !record.onScreen)
        record.raised = nextRaise++;
    record.frame = frame;
    record.onScreen = onScreen;
    record.workspaces = workspaces;
}

const HeadlessDisplayBackend::WindowRecord* HeadlessDisplayBackend::FrontWindowAt(
    BPoint screenPoint) const
{
    const WindowRecord* front = nullptr;
    for (const auto& [window, record] : windows) {
        if (!record.onScreen || (record.workspaces & (1u << workspace)) == 0
            || !record.frame.Contains(screenPoint)) {
            continue;
        }
        if (front == nullptr || record.raised > front->raised)
            front = &record;
    }
    return front;
}

BMessenger HeadlessDisplayBackend::WindowAt(BPoint screenPoint) const
{
    std::lock_guard guard(lock);
    const WindowRecord* front = FrontWindowAt(screenPoint);
    return front != nullptr ? front->messenger : BMessenger();
}

std::string HeadlessDisplayBackend::DropExchangeName() const
{
    return "headless";
}

void HeadlessDisplayBackend::PostMouse(const WindowRecord& record, uint32 what,
    BPoint screenPoint, int32 buttons)
{
    BMessage message(what);
    message.AddInt64("when", system_time());
    message.AddPoint("where", screenPoint - record.frame.LeftTop());
    message.AddInt32("buttons", buttons);
    message.AddInt32("modifiers", 0);
    if (what == B_MOUSE_DOWN)
        message.AddInt32("clicks", 1);
    // A window that is gone drops it.
    (void)record.messenger.SendMessage(&message);
}

status_t HeadlessDisplayBackend::PressMouse(BPoint screenPoint, int32 buttons)
{
    if (buttons == 0)
        return B_BAD_VALUE;
    std::lock_guard guard(lock);
    const WindowRecord* target = nullptr;
    if (grab != nullptr) {
        target = &windows.at(grab);
    } else {
        target = FrontWindowAt(screenPoint);
        if (target == nullptr)
            return B_NAME_NOT_FOUND;
        for (auto& [window, record] : windows) {
            if (&record == target) {
                grab = window;
                record.raised = nextRaise++;
            }
        }
    }
    heldButtons |= buttons;
    PostMouse(*target, B_MOUSE_DOWN, screenPoint, heldButtons);
    return B_OK;
}

void HeadlessDisplayBackend::MoveMouse(BPoint screenPoint)
{
    std::lock_guard guard(lock);
    const WindowRecord* target = grab != nullptr ? &windows.at(grab) : FrontWindowAt(screenPoint);
    if (target != nullptr)
        PostMouse(*target, B_MOUSE_MOVED, screenPoint, heldButtons);
}

void HeadlessDisplayBackend::ReleaseMouse(BPoint screenPoint)
{
    std::unique_ptr<BMessage> drag;
    BPoint offset;
    {
        std::lock_guard guard(lock);
        const WindowRecord* target = grab != nullptr ? &windows.at(grab)
                                                     : FrontWindowAt(screenPoint);
        heldButtons = 0;
        grab = nullptr;
        if (target != nullptr)
            PostMouse(*target, B_MOUSE_UP, screenPoint, 0);
        drag = std::move(adoptedDrag);
        offset = adoptedOffset;
    }
    // Without the mutex: delivering asks the display where windows are.
    if (drag != nullptr)
        DeliverDrop(std::move(*drag), screenPoint, offset);
}

void HeadlessDisplayBackend::AdoptDrag(const BMessage& message, BPoint offset)
{
    auto drag = std::make_unique<BMessage>(message);
    std::lock_guard guard(lock);
    adoptedDrag = std::move(drag);
    adoptedOffset = offset;
}

void HeadlessDisplayBackend::Present(BWindow* window, const FrameBuffer&, const PixelRect&)
{
    std::lock_guard guard(lock);
    auto found = presents.find(window);
    if (found != presents.end())
        found->second++;
}

status_t HeadlessDisplayBackend::SetCurrentWorkspace(int32 newWorkspace)
{
    if (newWorkspace < 0 || newWorkspace > 31)
        return B_BAD_VALUE;
    std::lock_guard guard(lock);
    const int32 old = workspace;
    workspace = newWorkspace;
    if (old == newWorkspace)
        return B_OK;
    // Windows leave the list in their destructors under this mutex, so each is alive here;
    // posting takes only its queue mutex.
    for (const auto& [window, count] : presents) {
        BMessage deactivated(B_WORKSPACE_ACTIVATED);
        deactivated.AddInt32("workspace", old);
        deactivated.AddBool("active", false);
        window->PostMessage(&deactivated);
        BMessage activated(B_WORKSPACE_ACTIVATED);
        activated.AddInt32("workspace", newWorkspace);
        activated.AddBool("active", true);
        window->PostMessage(&activated);
    }
    return B_OK;
}

status_t HeadlessDisplayBackend::SetScreen(color_space space, int32 width, int32 height)
{
    if (width <= 0 || height <= 0 || width > MAX_SCREEN_SIZE || height > MAX_SCREEN_SIZE)
        return B_BAD_VALUE;
    display_mode screen = MODE_1024;
    bool offered = false;
    for (const display_mode& candidate : StandardModes()) {
        if (candidate.timing.h_display == width && candidate.timing.v_display == height) {
            screen = candidate;
            offered = true;
            break;
        }
    }
    if (!offered) {
        const display_timing& base = MODE_1024.timing;
        display_timing& t = screen.timing;
        t.h_display = uint16(width);
        t.h_sync_start = uint16(width + (base.h_sync_start - base.h_display));
        t.h_sync_end = uint16(width + (base.h_sync_end - base.h_display));
        t.h_total = uint16(width + (base.h_total - base.h_display));
        t.v_display = uint16(height);
        t.v_sync_start = uint16(height + (base.v_sync_start - base.v_display));
        t.v_sync_end = uint16(height + (base.v_sync_end - base.v_display));
        t.v_total = uint16(height + (base.v_total - base.v_display));
        t.pixel_clock = uint32(int64(t.h_total) * t.v_total * 60 / 1000);
    }
    screen.space = uint32(space);
    screen.virtual_width = uint16(width);
    screen.virtual_height = uint16(height);
    std::lock_guard guard(lock);
    mode = screen;
    return B_OK;
}

void HeadlessDisplayBackend::SetClock(NowFunction newNow, SleepUntilFunction newSleepUntil)
{
    std::lock_guard guard(lock);
    now = newNow ? std::move(newNow) : NowFunction(RealNow);
    sleepUntil = newSleepUntil ? std::move(newSleepUntil) : SleepUntilFunction(RealSleepUntil);
}

int64 HeadlessDisplayBackend::PresentCount(const BWindow* window) const
{
    std::lock_guard guard(lock);
    auto found = presents.find(window);
    return found == presents.end() ? 0 : found->second;
}

void HeadlessDisplayBackend::Reset()
{
    std::lock_guard guard(lock);
    mode = MODE_1024;
    workspace = 0;
    now = RealNow;
    sleepUntil = RealSleepUntil;
    heldButtons = 0;
    grab = nullptr;
    adoptedDrag.reset();
}

HeadlessDisplayBackend& HeadlessDisplay()
{
    // Never destroyed: windows may leave it while the program exits.
    static HeadlessDisplayBackend* display = new HeadlessDisplayBackend;
    return *display;
}

}
