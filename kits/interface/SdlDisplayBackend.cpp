// Lock order: a window's lock, then the SDL display's mutex, then SDL's own locks, the X error
// trap's mutex (attaching memory to the server) or a looper's queue mutex (taken by posting). The
// SDL thread never takes a window lock, so a window may wait for it.
#include "kits/interface/SdlDisplayBackend.h"

#include "kits/app/AppDefs.h"
#include "kits/app/Message.h"
#include "kits/app/Messenger.h"
#include "kits/interface/DropExchange.h"
#include "kits/interface/FrameBuffer.h"
#include "kits/interface/InterfaceDefs.h"
#include "kits/interface/SdlEventsPrivate.h"
#include "kits/interface/Window.h"
#include "kits/interface/X11DisplayModes.h"
#include "kits/interface/X11Presenter.h"
#include "kits/kernel/EventSignal.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

namespace kits::interface {

namespace {

// SDL answers a negative number (or a null pointer, passed here as -1) and keeps its reason in
// SDL_GetError; only running out of memory has a status of its own.
status_t SdlStatus(int result)
{
    if (result >= 0)
        return B_OK;
    return std::strcmp(SDL_GetError(), "Out of memory") == 0 ? B_NO_MEMORY : B_ERROR;
}

struct WindowDeleter {
    void operator()(SDL_Window* window) const { SDL_DestroyWindow(window); }
};
// A window's surface belongs to the window, so only the window needs a wrapper.
using WindowPointer = std::unique_ptr<SDL_Window, WindowDeleter>;

struct PixelsDelete {
    void operator()(uint32* pixels) const { delete[] pixels; }
};
using PixelsPointer = std::unique_ptr<uint32[], PixelsDelete>;

// The memory of a desktop window's surface, where presents put a window's pixels straight away.
// The SDL thread publishes it under the backend's mutex and takes it back before anything may
// free or move it: only SDL_GetWindowSurface and SDL_DestroyWindow do, and only on that thread.
// Window surfaces are never RLE-coded, so they need no SDL_LockSurface.
struct SurfaceTarget {
    uint8* pixels = nullptr;
    int32 pitch = 0;
    int32 width = 0;
    int32 height = 0;
    uint32 format = 0;
    // Where the window's pixels start: away from (0, 0) only in full screen.
    int32 offsetX = 0;
    int32 offsetY = 0;

    // Whether a picture of this size lies wholly on the surface.
    bool Holds(int32 pictureWidth, int32 pictureHeight) const
    {
        return pixels != nullptr && pictureWidth > 0 && pictureHeight > 0
            && offsetX + pictureWidth <= width && offsetY + pictureHeight <= height;
    }
    uint8* At(int32 x, int32 y) const
    {
        return pixels + int64(y + offsetY) * pitch + int64(x + offsetX) * 4;
    }
};

// Copies rows of our RGB32 pixels to a surface of another pitch, converting to its format
// unless it is our own layout (the usual one of a 24-bit desktop); and back.
void CopyToSurface(const uint32* source, int32 sourceWidth, int32 width, int32 rows, uint8* target,
    int32 pitch, uint32 format)
{
    if (format == SDL_PIXELFORMAT_RGB888 || format == SDL_PIXELFORMAT_ARGB8888) {
        for (int32 y = 0; y < rows; y++)
            std::memcpy(
                target + int64(y) * pitch, source + int64(y) * sourceWidth, size_t(width) * 4);
        return;
    }
    (void)SDL_ConvertPixels(
        width, rows, SDL_PIXELFORMAT_ARGB8888, source, sourceWidth * 4, format, target, pitch);
}

void CopyFromSurface(
    const uint8* source, int32 pitch, uint32 format, int32 width, int32 rows, uint32* target)
{
    if (format == SDL_PIXELFORMAT_RGB888 || format == SDL_PIXELFORMAT_ARGB8888) {
        for (int32 y = 0; y < rows; y++)
            std::memcpy(target + int64(y) * width, source + int64(y) * pitch, size_t(width) * 4);
        return;
    }
    (void)SDL_ConvertPixels(
        width, rows, format, source, pitch, SDL_PIXELFORMAT_ARGB8888, target, width * 4);
}

// SDL_Init connects to the display server; one that does not answer in this time is not used.
constexpr auto INIT_TIME_OUT = std::chrono::seconds(10);
// Sizes and positions the user gave that a window may still be catching up with.
constexpr size_t MAX_USER_CHANGES = 64;
// How often the buttons are looked at while a drag left by its window is under way.
constexpr int DRAG_POLL_MILLISECONDS = 15;
// How long a program ending during such a drag waits for the drop; a user holding the button
// longer loses it.
constexpr auto ADOPTED_DRAG_EXIT_WAIT = std::chrono::seconds(30);

int32 PixelExtent(float extent)
{
    return std::clamp(int32(std::ceil(extent)) + 1, 1, MAX_WINDOW_SIZE);
}

// A display mode with timings a monitor could use for the size and rate: the reduced blanking of
// flat panels (160 pixels a line, at least 460 microseconds of lines a frame).
display_mode ModeOf(int width, int height, int refreshRate, color_space space)
{
    const int32 hz = refreshRate > 0 ? refreshRate : 60;
    width = std::clamp(width, 1, 65535 - 160);
    height = std::clamp(height, 1, 60000);
    display_mode mode{};
    display_timing& t = mode.timing;
    t.h_display = uint16(width);
    t.h_sync_start = uint16(width + 48);
    t.h_sync_end = uint16(width + 80);
    t.h_total = uint16(width + 160);
    const double activeShare = std::max(0.5, 1.0 - 460e-6 * hz);
    const int32 vTotal = std::max(height + 10, int32(std::ceil(height / activeShare)));
    t.v_display = uint16(height);
    t.v_sync_start = uint16(height + 3);
    t.v_sync_end = uint16(height + 9);
    t.v_total = uint16(std::min(vTotal, 65535));
    t.pixel_clock = uint32((int64(t.h_total) * t.v_total * hz + 500) / 1000);
    t.flags = B_POSITIVE_HSYNC;
    mode.space = uint32(space);
    mode.virtual_width = uint16(width);
    mode.virtual_height = uint16(height);
    return mode;
}

WindowState StateOf(const BWindow* window)
{
    WindowState state;
    const BRect frame = window->Frame();
    state.title = window->Title();
    state.x = int32(std::lround(frame.left));
    state.y = int32(std::lround(frame.top));
    state.width = PixelExtent(frame.Width());
    state.height = PixelExtent(frame.Height());
    state.shown = !window->IsHidden();
    state.minimized = window->IsMinimized();
    state.resizable = (window->Flags() & B_NOT_RESIZABLE) == 0;
    state.bordered = window->Type() != B_BORDERED_WINDOW && window->Type() != B_UNTYPED_WINDOW;
    float minWidth;
    float maxWidth;
    float minHeight;
    float maxHeight;
    window->GetSizeLimits(&minWidth, &maxWidth, &minHeight, &maxHeight);
    state.minWidth = PixelExtent(minWidth);
    state.maxWidth = std::max(state.minWidth, PixelExtent(maxWidth));
    state.minHeight = PixelExtent(minHeight);
    state.maxHeight = std::max(state.minHeight, PixelExtent(maxHeight));
    return state;
}

// A window as the backend knows it. Created by AddWindow, shared with the SDL thread until both
// have let it go.
struct Record {
    uint64 serial = 0;
    BMessenger messenger;
    // Guarded by the backend's mutex.
    WindowState state;
    // When the window last gained the focus, counted up; 0 if never. The desktop does not tell
    // how its windows are stacked, so the last focused one counts as the front-most.
    uint64 raised = 0;
    bool stateChanged = true;
    bool closeRequested = false;
    // The size of the window's pixels as last presented. The X server reads them straight from
    // the window's own memory, `shared`, when it can (once the desktop window exists, xWindow
    // names it). Otherwise they lie on the surface while it holds a picture of that size, and in
    // `held` otherwise, until the SDL thread has a surface for them again (held is empty when
    // memory ran out).
    int32 pixelsWidth = 0;
    int32 pixelsHeight = 0;
    std::shared_ptr<PixelMemory> shared;
    // Where a window shown directly puts its pixels: its X window (0 when not shown so),
    // whether that is on screen, and where on it the picture starts. Until the SDL thread has
    // put the whole picture after a change of these (wholePending), presents leave the rows to
    // it; after that, they put them themselves.
    unsigned long xWindow = 0;
    bool onScreen = false;
    bool wholePending = true;
    int32 putX = 0;
    int32 putY = 0;
    SurfaceTarget surface;
    PixelsPointer held;
    // The rows not yet shown on the desktop (an empty range when dirtyTop > dirtyBottom).
    int32 dirtyTop = 0;
    int32 dirtyBottom = -1;
    int64 presentsWanted = 0;
    int64 presentsShown = 0;
};

// Copies rows top to bottom of a window's width by height pixels (rows without padding) for
// showing through its surface: onto the surface when it holds the picture, into `held` otherwise
// (all of them, widening the range, when held is new). False when memory ran out: the desktop
// keeps showing the old picture. Called with the backend's mutex held.
bool CopyRows(Record& record, const uint32* pixels, int32 width, int32 height, int32& top,
    int32& bottom)
{
    const SurfaceTarget& target = record.surface;
    if (target.Holds(width, height)) {
        // Straight onto the desktop window's surface: the SDL thread only has to update it.
        CopyToSurface(pixels + int64(top) * width, width, width, bottom - top + 1,
            target.At(0, top), target.pitch, target.format);
        return true;
    }
    if (record.held == nullptr) {
        record.held.reset(new (std::nothrow) uint32[size_t(width) * size_t(height)]);
        if (record.held == nullptr)
            return false;
        top = 0;
        bottom = height - 1;
    }
    // Rows have no padding, so the changed rows are one block.
    std::memcpy(record.held.get() + int64(top) * width, pixels + int64(top) * width,
        size_t(bottom - top + 1) * size_t(width) * sizeof(uint32));
    return true;
}

// What the SDL thread keeps of a record. Touched only on the SDL thread.
struct DesktopWindow {
    std::shared_ptr<Record> record;
    WindowPointer window;
    uint32 id = 0;
    WindowState applied;
    // The record's surface has been taken back: SDL_GetWindowSurface is called again, and the
    // new surface filled.
    bool surfaceStale = true;
    // Where the window's pixels start on the surface: away from (0, 0) only in full screen.
    int32 offsetX = 0;
    int32 offsetY = 0;
    bool presentedOnce = false;
    std::vector<std::pair<int32, int32>> userSizes;
    std::vector<std::pair<int32, int32>> userPositions;
    int32 buttons = 0;
};

// Whether a wanted size or position is one the user gave before the latest: the window has not
// caught up with the user yet, so it must not be pushed back. Forgets the older ones once the
// window reached the latest.
bool IsStale(std::vector<std::pair<int32, int32>>& userChanges,
    std::pair<int32, int32> wanted)
{
    if (userChanges.empty())
        return false;
    if (userChanges.back() == wanted) {
        userChanges.clear();
        return false;
    }
    return std::find(userChanges.begin(), userChanges.end(), wanted) != userChanges.end();
}

void Remember(std::vector<std::pair<int32, int32>>& userChanges, std::pair<int32, int32> value)
{
    if (userChanges.size() == MAX_USER_CHANGES)
        userChanges.erase(userChanges.begin());
    userChanges.push_back(value);
}

}

class SdlDisplayBackend::Shared {
public:
    void Start();
    void Stop();
    // Tells the SDL thread there are requests. Called with lock held.
    void Wake();
    // Wake, with the SDL thread's poll signalled only once lock is released, so that the thread
    // does not wake only to wait for lock. Releases guard.
    void WakeAndUnlock(std::unique_lock<std::mutex>& guard);
    // Waits until no drag is left to finish, at most until the deadline.
    void WaitForAdoptedDrag(std::chrono::steady_clock::time_point deadline);
    // Counts a present that reached the desktop, begun at start. Called with lock held.
    void CountPresent(std::chrono::steady_clock::time_point start);

    mutable std::mutex lock;
    // Signalled when SDL is up (or failed), after each present that reached the desktop and
    // when an adopted drag has been delivered.
    std::condition_variable changed;
    // Guarded by lock.
    bool initDone = false;
    status_t initStatus = B_NO_INIT;
    bool sdlRunning = false;
    bool stopping = false;
    bool wakePending = false;
    // How the SDL thread sleeps, and so how Wake reaches it.
    enum class Sleep {
        // On `changed`: it has no desktop window.
        ON_CONDITION,
        // In poll() on the X server's connection and `wakeSignal`.
        ON_X_SERVER,
        // In SDL_WaitEvent, woken by an SDL event (on Wayland).
        ON_SDL,
    };
    Sleep sleep = Sleep::ON_CONDITION;
    kits::kernel::EventSignal wakeSignal;
    // The type of the event that wakes the SDL thread; set before sdlRunning.
    uint32 wakeEventType = SDL_USEREVENT;
    std::vector<display_mode> modes;
    display_mode mode{};
    // The X screen's own modes, set for real; null on Wayland or without RandR. Set before the
    // backend is handed out and safe on any thread by itself.
    std::unique_ptr<X11DisplayModes> x11Modes;
    // Set before the backend is handed out when the X server reads our pixels from memory we
    // share with it; null otherwise. Used with lock held, but for NewPixels.
    std::unique_ptr<X11Presenter> presenter;
    uint64 nextSerial = 1;
    uint64 nextRaise = 1;
    bool cursorHidden = false;
    bool cursorChanged = false;
    std::map<const BWindow*, std::shared_ptr<Record>, std::less<>> windows;
    PresentStatistics statistics;
    // A drag whose window stopped following the mouse, and its offset; the SDL thread watches
    // the buttons until they are released.
    std::unique_ptr<BMessage> adoptedDrag;
    BPoint adoptedOffset;

    std::thread thread;

private:
    void Run();
    // Waits until another thread wakes the SDL thread or an event comes, and handles the events.
    void WaitForWork(bool following);
    void ReadModes();
    // Applies what the windows want; creates and destroys desktop windows. Returns false when
    // the thread is to end.
    bool ServeRequests();
    void Apply(DesktopWindow& desktop, const WindowState& wanted, bool closeRequested);
    void ShowPixels(DesktopWindow& desktop);
    // Puts the whole picture of a direct window whose place changed, or rows presents left to
    // it. Called with lock held through guard; returns with it released.
    void ShowShared(DesktopWindow& desktop, std::unique_lock<std::mutex>& guard);
    // Finds the X window of a new desktop window and whether it shows the pixels directly.
    void ConnectToX(DesktopWindow& desktop);
    // Takes the record's surface back before SDL may change it, keeping the pixels that lie on
    // it in `held`. Called with lock held.
    void TakeSurfaceBack(DesktopWindow& desktop);
    void HandleEvent(const SDL_Event& event);
    void HandleWindowEvent(DesktopWindow& desktop, const SDL_WindowEvent& event);
    // Delivers the adopted drag once no button is held any more.
    void FinishReleasedDrag();
    DesktopWindow* Find(uint32 windowId);
    void Post(const DesktopWindow& desktop, BMessage& message);

    // Touched only on the SDL thread.
    std::map<uint64, DesktopWindow> desktopWindows;
    // The X server's connection, once a desktop window on X11 told it; -1 and null otherwise.
    int displayFd = -1;
    ::Display* x11Display = nullptr;
};

void SdlDisplayBackend::Shared::Start()
{
    thread = std::thread([this] { Run(); });
    std::unique_lock guard(lock);
    if (!changed.wait_until(guard, std::chrono::steady_clock::now() + INIT_TIME_OUT,
            [this] { return initDone; })) {
        // The thread ends by itself once SDL_Init returns; Stop() joins it.
        initStatus = B_TIMED_OUT;
        stopping = true;
    }
}

void SdlDisplayBackend::Shared::Stop()
{
    {
        std::lock_guard guard(lock);
        stopping = true;
        Wake();
    }
    if (thread.joinable())
        thread.join();
}

void SdlDisplayBackend::Shared::Wake()
{
    if (wakePending)
        return;
    wakePending = true;
    changed.notify_all();
    if (!sdlRunning || sleep == Sleep::ON_CONDITION)
        return;
    // On X11, SDL would wake its thread by sending a message to one of our desktop windows from
    // this thread; the X server may destroy that window first, an X error that ends the program.
    if (sleep == Sleep::ON_X_SERVER) {
        wakeSignal.Raise();
        return;
    }
    SDL_Event event{};
    event.type = wakeEventType;
    (void)SdlStatus(SDL_PushEvent(&event));
}

void SdlDisplayBackend::Shared::WakeAndUnlock(std::unique_lock<std::mutex>& guard)
{
    const bool signal = !wakePending && sdlRunning && sleep == Sleep::ON_X_SERVER;
    if (signal)
        wakePending = true;
    else
        Wake();
    guard.unlock();
    if (signal)
        wakeSignal.Raise();
}

void SdlDisplayBackend::Shared::Run()
{
    // Named, so that measurements can tell it from the others.
    pthread_setname_np(pthread_self(), "sdl display");
    // Without a GPU, the window framebuffer through OpenGL costs many times a shared-memory
    // image (the environment variable SDL_FRAMEBUFFER_ACCELERATION still decides first).
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // Interrupting the program stays the shell's business.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // Only the kind of desktop the environment names is tried.
    if (std::getenv("WAYLAND_DISPLAY") == nullptr)
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    else if (std::getenv("DISPLAY") == nullptr)
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "wayland");
    const status_t status = SdlStatus(SDL_Init(SDL_INIT_VIDEO));
    // Known before the backend is handed out: windows size themselves by the screen at once.
    if (status == B_OK) {
        ReadModes();
        if (std::strcmp(SDL_GetCurrentVideoDriver(), "x11") == 0)
            presenter = X11Presenter::Open();
    }
    const uint32 registered = status == B_OK ? SDL_RegisterEvents(1) : uint32(-1);
    {
        std::lock_guard guard(lock);
        if (registered != uint32(-1))
            wakeEventType = registered;
        initStatus = initDone ? initStatus : status;
        initDone = true;
        sdlRunning = status == B_OK && !stopping;
    }
    changed.notify_all();
    if (status != B_OK)
        return;
    while (ServeRequests()) {
        bool following;
        {
            std::lock_guard guard(lock);
            following = adoptedDrag != nullptr;
        }
        WaitForWork(following);
        if (following)
            FinishReleasedDrag();
        std::lock_guard guard(lock);
        statistics.wakeUps++;
    }
    {
        // Records may outlive their desktop windows; their surfaces are guarded by lock.
        std::lock_guard guard(lock);
        sdlRunning = false;
        for (auto& [serial, desktop] : desktopWindows) {
            desktop.record->surface = {};
            desktop.record->shared.reset();
            desktop.record->xWindow = 0;
        }
        desktopWindows.clear();
        if (presenter != nullptr)
            presenter->Release(true);
    }
    SDL_Quit();
}

void SdlDisplayBackend::Shared::ConnectToX(DesktopWindow& desktop)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(desktop.window.get(), &info) || info.subsystem != SDL_SYSWM_X11)
        return;
    x11Display = info.info.x11.display;
    if (displayFd < 0 && wakeSignal.Fd() >= 0)
        displayFd = ConnectionNumber(x11Display);
    const ::Window xWindow = info.info.x11.window;
    if (presenter == nullptr || !X11Presenter::CanShow(x11Display, xWindow))
        return;
    // What the picture does not cover (beside it in full screen) is black, and the server
    // clears it so by itself.
    XSetWindowBackground(x11Display, xWindow, BlackPixel(x11Display, DefaultScreen(x11Display)));
    // Sent before the presenter's connection draws on the window.
    XFlush(x11Display);
    std::lock_guard guard(lock);
    desktop.record->xWindow = xWindow;
    desktop.record->wholePending = true;
}

void SdlDisplayBackend::Shared::CountPresent(std::chrono::steady_clock::time_point start)
{
    statistics.presents++;
    statistics.microseconds += std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start).count();
}

void SdlDisplayBackend::Shared::WaitForWork(bool following)
{
    SDL_Event event;
    Sleep how;
    {
        std::unique_lock guard(lock);
        // Without a desktop window SDL would look for events every millisecond.
        sleep = desktopWindows.empty() ? Sleep::ON_CONDITION
            : displayFd >= 0           ? Sleep::ON_X_SERVER
                                       : Sleep::ON_SDL;
        how = sleep;
        if (how == Sleep::ON_CONDITION) {
            // Unbounded unless a drag left by its window is followed (its release may happen
            // outside our windows, where no event tells of it): every request sets wakePending
            // under lock and notifies.
            auto woken = [this] { return wakePending || stopping; };
            if (following)
                changed.wait_for(guard, std::chrono::milliseconds(DRAG_POLL_MILLISECONDS), woken);
            else
                changed.wait(guard, woken);
            return;
        }
        if (wakePending || stopping) {
            guard.unlock();
            while (SDL_PollEvent(&event) != 0)
                HandleEvent(event);
            return;
        }
    }
    const int timeout = following ? DRAG_POLL_MILLISECONDS : -1;
    if (how == Sleep::ON_X_SERVER) {
        // Pumping sends what we asked of the X server and empties Xlib's queue, so whatever
        // comes next makes the connection readable. Nothing calls X between it and the poll.
        while (SDL_PollEvent(&event) != 0)
            HandleEvent(event);
        pollfd descriptors[2] = {{displayFd, POLLIN, 0}, {wakeSignal.Fd(), POLLIN, 0}};
        const bool ready = poll(descriptors, 2, timeout) > 0;
        if (ready && descriptors[1].revents != 0)
            wakeSignal.Clear();
        // Woken only by another thread, there is nothing to pump: the next wait pumps anyway.
        if (ready && descriptors[0].revents == 0)
            return;
    } else if (SDL_WaitEventTimeout(&event, timeout) != 0) {
        HandleEvent(event);
    }
    while (SDL_PollEvent(&event) != 0)
        HandleEvent(event);
}

void SdlDisplayBackend::Shared::FinishReleasedDrag()
{
    int x = 0;
    int y = 0;
    if (SDL_GetGlobalMouseState(&x, &y) != 0)
        return;
    std::unique_ptr<BMessage> drag;
    BPoint offset;
    {
        std::lock_guard guard(lock);
        drag = std::move(adoptedDrag);
        offset = adoptedOffset;
    }
    // Without the mutex: delivering asks where the windows are and may wait for other programs.
    if (drag != nullptr)
        DeliverDrop(std::move(*drag), BPoint(float(x), float(y)), offset);
    changed.notify_all();
}

void SdlDisplayBackend::Shared::WaitForAdoptedDrag(std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock guard(lock);
    changed.wait_until(guard, deadline, [this] { return adoptedDrag == nullptr || !sdlRunning; });
}

void SdlDisplayBackend::Shared::ReadModes()
{
    SDL_DisplayMode desktop;
    if (SdlStatus(SDL_GetDesktopDisplayMode(0, &desktop)) != B_OK)
        return;
    const color_space space = SpaceOfDepth(SDL_BITSPERPIXEL(desktop.format));
    std::vector<display_mode> found;
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; i++) {
        SDL_DisplayMode sdlMode;
        if (SdlStatus(SDL_GetDisplayMode(0, i, &sdlMode)) != B_OK)
            continue;
        const display_mode candidate = ModeOf(sdlMode.w, sdlMode.h, sdlMode.refresh_rate, space);
        // SDL lists a size once per pixel format; the desktop's depth is the only one there is.
        const bool known = std::any_of(found.begin(), found.end(), [&](const display_mode& m) {
            return std::memcmp(&m, &candidate, sizeof m) == 0;
        });
        if (!known)
            found.push_back(candidate);
    }
    const display_mode current = ModeOf(desktop.w, desktop.h, desktop.refresh_rate, space);
    if (found.empty())
        found.push_back(current);
    std::lock_guard guard(lock);
    modes = std::move(found);
    mode = current;
}

bool SdlDisplayBackend::Shared::ServeRequests()
{
    struct Wanted {
        std::shared_ptr<Record> record;
        WindowState state;
        bool stateChanged;
        bool closeRequested;
    };
    std::vector<Wanted> wanted;
    std::optional<bool> cursor;
    {
        std::lock_guard guard(lock);
        wakePending = false;
        if (stopping)
            return false;
        if (cursorChanged)
            cursor = cursorHidden;
        cursorChanged = false;
        for (const auto& [window, record] : windows) {
            wanted.push_back({record, record->state, record->stateChanged,
                record->closeRequested});
            record->stateChanged = false;
            record->closeRequested = false;
        }
    }
    if (cursor)
        SDL_ShowCursor(*cursor ? SDL_DISABLE : SDL_ENABLE);
    // Windows that went away lose their desktop windows.
    {
        // Records may outlive their desktop windows; their surfaces are guarded by lock.
        std::lock_guard guard(lock);
        for (auto it = desktopWindows.begin(); it != desktopWindows.end();) {
            const bool alive = std::any_of(wanted.begin(), wanted.end(),
                [&](const Wanted& w) { return w.record->serial == it->first; });
            if (!alive)
                it->second.record->surface = {};
            it = alive ? std::next(it) : desktopWindows.erase(it);
        }
    }
    for (Wanted& w : wanted) {
        auto found = desktopWindows.find(w.record->serial);
        if (found == desktopWindows.end()) {
            const WindowState& s = w.state;
            uint32 flags = SDL_WINDOW_HIDDEN;
            if (s.resizable)
                flags |= SDL_WINDOW_RESIZABLE;
            if (!s.bordered)
                flags |= SDL_WINDOW_BORDERLESS;
            WindowPointer window(SDL_CreateWindow(s.title.c_str(), s.x, s.y, s.width,
                s.height, flags));
            // A window the desktop refuses is not shown; its window works on without it.
            if (window == nullptr)
                continue;
            DesktopWindow desktop;
            desktop.record = w.record;
            desktop.id = SDL_GetWindowID(window.get());
            desktop.window = std::move(window);
            desktop.applied.title = s.title;
            desktop.applied.x = s.x;
            desktop.applied.y = s.y;
            desktop.applied.width = s.width;
            desktop.applied.height = s.height;
            desktop.applied.minWidth = -1;
            found = desktopWindows.emplace(w.record->serial, std::move(desktop)).first;
            ConnectToX(found->second);
            w.stateChanged = true;
        }
        if (w.stateChanged || w.closeRequested)
            Apply(found->second, w.state, w.closeRequested);
        ShowPixels(found->second);
    }
    return true;
}

void SdlDisplayBackend::Shared::Apply(DesktopWindow& desktop, const WindowState& wanted,
    bool closeRequested)
{
    SDL_Window* window = desktop.window.get();
    WindowState& applied = desktop.applied;
    {
        std::lock_guard guard(lock);
        TakeSurfaceBack(desktop);
    }
    if (wanted.title != applied.title)
        SDL_SetWindowTitle(window, wanted.title.c_str());
    if (wanted.minWidth != applied.minWidth || wanted.maxWidth != applied.maxWidth
        || wanted.minHeight != applied.minHeight || wanted.maxHeight != applied.maxHeight) {
        SDL_SetWindowMinimumSize(window, wanted.minWidth, wanted.minHeight);
        SDL_SetWindowMaximumSize(window, wanted.maxWidth, wanted.maxHeight);
    }
    if (wanted.fullScreen != applied.fullScreen) {
        SDL_SetWindowFullscreen(window, wanted.fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
        applied.fullScreen = wanted.fullScreen;
        desktop.surfaceStale = true;
        {
            std::lock_guard guard(lock);
            desktop.record->wholePending = true;
        }
        if (!wanted.fullScreen) {
            // Back in its frame, wherever the desktop put it meanwhile.
            SDL_SetWindowSize(window, wanted.width, wanted.height);
            SDL_SetWindowPosition(window, wanted.x, wanted.y);
            applied.width = wanted.width;
            applied.height = wanted.height;
            applied.x = wanted.x;
            applied.y = wanted.y;
        }
    }
    // Applied keeps the size and position the desktop window has; a wanted one the user has
    // moved on from is left alone. A full-screen window keeps the desktop's.
    const bool resized = !wanted.fullScreen
        && (wanted.width != applied.width || wanted.height != applied.height);
    const bool sizeStale = IsStale(desktop.userSizes, {wanted.width, wanted.height});
    if (resized && !sizeStale) {
        SDL_SetWindowSize(window, wanted.width, wanted.height);
        desktop.surfaceStale = true;
        std::lock_guard guard(lock);
        desktop.record->wholePending = true;
        applied.width = wanted.width;
        applied.height = wanted.height;
    }
    const bool moved = !wanted.fullScreen && (wanted.x != applied.x || wanted.y != applied.y);
    const bool positionStale = IsStale(desktop.userPositions, {wanted.x, wanted.y});
    if (moved && !positionStale) {
        SDL_SetWindowPosition(window, wanted.x, wanted.y);
        applied.x = wanted.x;
        applied.y = wanted.y;
    }
    if (wanted.shown != applied.shown) {
        if (wanted.shown)
            SDL_ShowWindow(window);
        else
            SDL_HideWindow(window);
    }
    if (wanted.shown && wanted.minimized != applied.minimized) {
        if (wanted.minimized)
            SDL_MinimizeWindow(window);
        else
            SDL_RestoreWindow(window);
    }
    applied.title = wanted.title;
    applied.shown = wanted.shown;
    applied.minimized = wanted.minimized;
    {
        // Shown again, it is to be put there whole, whatever the server tells of it.
        std::lock_guard guard(lock);
        const bool onScreen = applied.shown && !applied.minimized;
        if (onScreen && !desktop.record->onScreen)
            desktop.record->wholePending = true;
        desktop.record->onScreen = onScreen;
    }
    applied.minWidth = wanted.minWidth;
    applied.maxWidth = wanted.maxWidth;
    applied.minHeight = wanted.minHeight;
    applied.maxHeight = wanted.maxHeight;
    if (closeRequested) {
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.windowID = desktop.id;
        event.window.event = SDL_WINDOWEVENT_CLOSE;
        (void)SdlStatus(SDL_PushEvent(&event));
    }
}

void SdlDisplayBackend::Shared::ShowPixels(DesktopWindow& desktop)
{
    SDL_Window* window = desktop.window.get();
    if (!desktop.applied.shown || desktop.applied.minimized)
        return;
    const auto start = std::chrono::steady_clock::now();
    Record& record = *desktop.record;
    SurfaceTarget& target = record.surface;
    // Held while the surface is read and updated too: presents write into it.
    std::unique_lock guard(lock);
    if (record.shared != nullptr) {
        ShowShared(desktop, guard);
        return;
    }
    bool whole = false;
    if (desktop.surfaceStale) {
        SDL_Surface* surface = SDL_GetWindowSurface(window);
        if (surface == nullptr)
            return;
        desktop.surfaceStale = false;
        whole = true;
        desktop.offsetX = 0;
        desktop.offsetY = 0;
        if (desktop.applied.fullScreen) {
            desktop.offsetX = std::max(0, (surface->w - record.pixelsWidth) / 2);
            desktop.offsetY = std::max(0, (surface->h - record.pixelsHeight) / 2);
            (void)SdlStatus(SDL_FillRect(surface, nullptr, 0));
        }
        target = {static_cast<uint8*>(surface->pixels), surface->pitch, surface->w, surface->h,
            surface->format->format, desktop.offsetX, desktop.offsetY};
        record.dirtyTop = 0;
        record.dirtyBottom = record.pixelsHeight - 1;
    }
    // What lies in `held` is copied over: all of it onto a new surface that holds the picture,
    // which then keeps it, or the changed rows that fit onto one too small for it.
    const int32 top = std::max(record.dirtyTop, 0);
    const int32 bottom = std::min(
        {record.dirtyBottom, record.pixelsHeight - 1, target.height - target.offsetY - 1});
    const int32 width = std::min(record.pixelsWidth, target.width - target.offsetX);
    if (record.held != nullptr && top <= bottom && width > 0) {
        CopyToSurface(record.held.get() + int64(top) * record.pixelsWidth, record.pixelsWidth,
            width, bottom - top + 1, target.At(0, top), target.pitch, target.format);
        if (target.Holds(record.pixelsWidth, record.pixelsHeight))
            record.held.reset();
    }
    const int64 presents = record.presentsWanted;
    record.dirtyTop = 0;
    record.dirtyBottom = -1;
    if (!whole && (top > bottom || width <= 0)) {
        record.presentsShown = presents;
        return;
    }
    SDL_Rect rect = {target.offsetX, top + target.offsetY, width, bottom - top + 1};
    if (whole)
        rect = {0, 0, target.width, target.height};
    (void)SdlStatus(SDL_UpdateWindowSurfaceRects(window, &rect, 1));
    desktop.presentedOnce = true;
    record.presentsShown = presents;
    CountPresent(start);
    guard.unlock();
    changed.notify_all();
}

void SdlDisplayBackend::Shared::ShowShared(DesktopWindow& desktop,
    std::unique_lock<std::mutex>& guard)
{
    const auto start = std::chrono::steady_clock::now();
    Record& record = *desktop.record;
    const int32 width = record.pixelsWidth;
    const int32 height = record.pixelsHeight;
    int32 top = std::max(record.dirtyTop, 0);
    int32 bottom = std::min(record.dirtyBottom, height - 1);
    desktop.offsetX = 0;
    desktop.offsetY = 0;
    if (desktop.applied.fullScreen) {
        int windowWidth = 0;
        int windowHeight = 0;
        SDL_GetWindowSize(desktop.window.get(), &windowWidth, &windowHeight);
        desktop.offsetX = std::max(0, (windowWidth - width) / 2);
        desktop.offsetY = std::max(0, (windowHeight - height) / 2);
    }
    record.putX = desktop.offsetX;
    record.putY = desktop.offsetY;
    if (record.wholePending) {
        top = 0;
        bottom = height - 1;
        // The server has made, resized or cleared the window as SDL asked before the picture
        // comes from the other connection.
        XSync(x11Display, False);
    }
    const int64 presents = record.presentsWanted;
    record.dirtyTop = 0;
    record.dirtyBottom = -1;
    if (top > bottom) {
        record.presentsShown = presents;
        guard.unlock();
        return;
    }
    const std::shared_ptr<PixelMemory> memory = record.shared;
    if (presenter->Put(record.xWindow, memory, width, height, top, bottom, record.putX,
            record.putY)
        != B_OK) {
        // The server would not take the memory: the window is shown through its surface, from
        // a copy of the pixels.
        record.xWindow = 0;
        record.shared.reset();
        record.held.reset();
        top = 0;
        bottom = height - 1;
        if (CopyRows(record, memory->Pixels(), width, height, top, bottom)) {
            record.dirtyTop = top;
            record.dirtyBottom = bottom;
        }
        guard.unlock();
        ShowPixels(desktop);
        return;
    }
    presenter->Release();
    record.wholePending = false;
    desktop.presentedOnce = true;
    record.presentsShown = presents;
    CountPresent(start);
    guard.unlock();
    changed.notify_all();
}

void SdlDisplayBackend::Shared::TakeSurfaceBack(DesktopWindow& desktop)
{
    desktop.surfaceStale = true;
    Record& record = *desktop.record;
    SurfaceTarget& target = record.surface;
    const int32 width = record.pixelsWidth;
    const int32 height = record.pixelsHeight;
    if (target.Holds(width, height)) {
        record.held.reset(new (std::nothrow) uint32[size_t(width) * size_t(height)]);
        // Out of memory: the desktop shows the window's pixels again once it presents them.
        if (record.held != nullptr)
            CopyFromSurface(
                target.At(0, 0), target.pitch, target.format, width, height, record.held.get());
    }
    target = {};
}

DesktopWindow* SdlDisplayBackend::Shared::Find(uint32 windowId)
{
    for (auto& [serial, desktop] : desktopWindows) {
        if (desktop.id == windowId)
            return &desktop;
    }
    return nullptr;
}

void SdlDisplayBackend::Shared::Post(const DesktopWindow& desktop, BMessage& message)
{
    message.AddInt64("when", system_time());
    // A window that is gone drops the message.
    (void)desktop.record->messenger.SendMessage(&message);
}

void SdlDisplayBackend::Shared::HandleEvent(const SDL_Event& event)
{
    const uint32 windowId = EventWindowId(event);
    DesktopWindow* desktop = windowId != 0 ? Find(windowId) : nullptr;
    if (desktop == nullptr)
        return;
    if (event.type == SDL_WINDOWEVENT) {
        HandleWindowEvent(*desktop, event.window);
        return;
    }
    const BPoint origin(float(desktop->offsetX), float(desktop->offsetY));
    for (BMessage& message : InputMessages(event, origin, desktop->buttons))
        Post(*desktop, message);
}

void SdlDisplayBackend::Shared::HandleWindowEvent(DesktopWindow& desktop,
    const SDL_WindowEvent& event)
{
    switch (event.event) {
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
        // SDL makes a new surface on the next SDL_GetWindowSurface; the old one stays until then.
        // A window shown directly was cleared by the server.
        std::lock_guard guard(lock);
        TakeSurfaceBack(desktop);
        desktop.record->wholePending = true;
        break;
    }
    case SDL_WINDOWEVENT_FOCUS_GAINED: {
        std::lock_guard guard(lock);
        desktop.record->raised = nextRaise++;
        break;
    }
    case SDL_WINDOWEVENT_EXPOSED: {
        // Put again from the window's pixels (on the next round), or from the surface, which
        // still holds them.
        std::lock_guard guard(lock);
        if (desktop.record->xWindow != 0)
            desktop.record->wholePending = true;
        else if (desktop.presentedOnce && !desktop.surfaceStale)
            (void)SdlStatus(SDL_UpdateWindowSurface(desktop.window.get()));
        return;
    }
    default:
        break;
    }
    std::optional<BMessage> message = WindowEventMessage(event, desktop.applied);
    if (!message.has_value())
        return;
    // Remembered so that the window, still catching up with the user, is not pushed back.
    if (message->what == B_WINDOW_MOVED)
        Remember(desktop.userPositions, {desktop.applied.x, desktop.applied.y});
    else if (message->what == B_WINDOW_RESIZED)
        Remember(desktop.userSizes, {desktop.applied.width, desktop.applied.height});
    Post(desktop, *message);
}

SdlDisplayBackend::SdlDisplayBackend()
    :
    shared(std::make_unique<Shared>())
{
    shared->Start();
    // SDL runs on X11 unless the environment names a Wayland desktop (see Run).
    if (InitCheck() == B_OK && std::getenv("WAYLAND_DISPLAY") == nullptr)
        shared->x11Modes = X11DisplayModes::Open();
}

SdlDisplayBackend::~SdlDisplayBackend()
{
    Shutdown();
}

status_t SdlDisplayBackend::InitCheck() const
{
    std::lock_guard guard(shared->lock);
    return shared->initStatus;
}

void SdlDisplayBackend::Shutdown()
{
    shared->Stop();
}

std::vector<display_mode> SdlDisplayBackend::ModeList() const
{
    if (shared->x11Modes != nullptr)
        return shared->x11Modes->ModeList();
    std::lock_guard guard(shared->lock);
    return shared->modes;
}

display_mode SdlDisplayBackend::CurrentMode() const
{
    if (shared->x11Modes != nullptr)
        return shared->x11Modes->CurrentMode();
    std::lock_guard guard(shared->lock);
    return shared->mode;
}

status_t SdlDisplayBackend::SetMode(const display_mode& newMode)
{
    if (shared->x11Modes != nullptr)
        return shared->x11Modes->SetMode(newMode);
    display_mode adjusted = newMode;
    display_timing& t = adjusted.timing;
    t.h_sync_end = std::clamp(t.h_sync_end, t.h_sync_start, std::max(t.h_sync_start, t.h_total));
    t.v_sync_end = std::clamp(t.v_sync_end, t.v_sync_start, std::max(t.v_sync_start, t.v_total));
    if (!IsShowableMode(adjusted))
        return B_BAD_VALUE;
    // The desktop keeps its resolution, which a full-screen window then fills: see the class
    // comment.
    return B_NOT_ALLOWED;
}

status_t SdlDisplayBackend::WaitForRetrace(bigtime_t)
{
    // The desktop tells of no retrace, and a present reaches it whenever the SDL thread hands it
    // over: a wait here would only hold the drawing thread, and the window lock it holds.
    return B_ERROR;
}

int32 SdlDisplayBackend::CurrentWorkspace() const
{
    return 0;
}

void SdlDisplayBackend::AddWindow(BWindow* window)
{
    auto record = std::make_shared<Record>();
    record->messenger = BMessenger(window);
    record->state = StateOf(window);
    std::lock_guard guard(shared->lock);
    record->serial = shared->nextSerial++;
    shared->windows[window] = std::move(record);
    shared->Wake();
}

void SdlDisplayBackend::RemoveWindow(BWindow* window)
{
    std::lock_guard guard(shared->lock);
    shared->windows.erase(window);
    shared->Wake();
}

void SdlDisplayBackend::WindowChanged(BWindow* window)
{
    WindowState state = StateOf(window);
    std::lock_guard guard(shared->lock);
    auto found = shared->windows.find(window);
    if (found == shared->windows.end())
        return;
    state.fullScreen = found->second->state.fullScreen;
    found->second->state = std::move(state);
    found->second->stateChanged = true;
    shared->Wake();
}

BMessenger SdlDisplayBackend::WindowAt(BPoint screenPoint) const
{
    std::lock_guard guard(shared->lock);
    const Record* front = nullptr;
    for (const auto& [window, record] : shared->windows) {
        const WindowState& state = record->state;
        if (!state.shown || state.minimized)
            continue;
        const BRect frame(float(state.x), float(state.y), float(state.x + state.width - 1),
            float(state.y + state.height - 1));
        if (!frame.Contains(screenPoint))
            continue;
        if (front == nullptr || record->raised > front->raised
            || (record->raised == front->raised && record->serial > front->serial)) {
            front = record.get();
        }
    }
    return front != nullptr ? front->messenger : BMessenger();
}

void SdlDisplayBackend::AdoptDrag(const BMessage& message, BPoint offset)
{
    auto drag = std::make_unique<BMessage>(message);
    {
        std::lock_guard guard(shared->lock);
        if (!shared->sdlRunning)
            return;
        shared->adoptedDrag = std::move(drag);
        shared->adoptedOffset = offset;
        shared->Wake();
    }
    // The window usually goes because its program ends, as the viewer does when its picture is
    // dragged out: the program then waits at its exit, for a while, until the drag is dropped.
    static std::once_flag exitWait;
    std::call_once(exitWait, [] {
        std::atexit([] {
            if (SdlDisplayBackend* display = SdlDisplay())
                display->shared->WaitForAdoptedDrag(
                    std::chrono::steady_clock::now() + ADOPTED_DRAG_EXIT_WAIT);
        });
    });
}

std::string SdlDisplayBackend::DropExchangeName() const
{
    if (const char* wayland = std::getenv("WAYLAND_DISPLAY"); wayland != nullptr)
        return std::string("wayland-") + wayland;
    if (const char* x11 = std::getenv("DISPLAY"); x11 != nullptr)
        return std::string("x11-") + x11;
    return "desktop";
}

std::shared_ptr<PixelMemory> SdlDisplayBackend::NewPixels(size_t count)
{
    if (shared->presenter != nullptr) {
        if (std::shared_ptr<PixelMemory> memory = X11Presenter::NewPixels(count))
            return memory;
    }
    return HeapPixels(count);
}

void SdlDisplayBackend::Present(BWindow* window, const FrameBuffer& buffer,
    const PixelRect& changed)
{
    std::unique_lock guard(shared->lock);
    auto found = shared->windows.find(window);
    if (found == shared->windows.end() || !shared->sdlRunning)
        return;
    Record& record = *found->second;
    const int32 width = buffer.Width();
    const int32 height = buffer.Height();
    int32 top = std::max(changed.top, 0);
    int32 bottom = std::min(changed.bottom, height - 1);
    const std::shared_ptr<PixelMemory>& memory = buffer.Memory();
    const bool direct
        = record.xWindow != 0 && memory != nullptr && X11Presenter::IsShared(*memory);
    if (direct != (record.shared != nullptr) || (direct && memory != record.shared)) {
        // Other memory, or shown another way: none of the rows shown before count.
        record.pixelsWidth = -1;
        record.shared = direct ? memory : nullptr;
    }
    if (width != record.pixelsWidth || height != record.pixelsHeight) {
        // A new size: the rows kept are of no use, all of the new ones are taken.
        record.held.reset();
        record.pixelsWidth = std::max(width, 0);
        record.pixelsHeight = std::max(height, 0);
        record.dirtyTop = 0;
        record.dirtyBottom = -1;
        top = 0;
        bottom = height - 1;
    }
    if (width <= 0 || height <= 0 || top > bottom)
        return;
    if (direct && record.onScreen && !record.wholePending) {
        // The server reads the rows from the window's own memory at once; the SDL thread need
        // not wake.
        const auto start = std::chrono::steady_clock::now();
        if (shared->presenter->Put(record.xWindow, memory, width, height, top, bottom,
                record.putX, record.putY)
            == B_OK) {
            shared->presenter->Release();
            record.presentsShown = ++record.presentsWanted;
            shared->CountPresent(start);
            return;
        }
        // Refused: the SDL thread tries once more, and shows the window another way then.
        record.wholePending = true;
    }
    if (!direct && !CopyRows(record, buffer.Pixels(), width, height, top, bottom))
        return;
    if (record.dirtyTop > record.dirtyBottom) {
        record.dirtyTop = top;
        record.dirtyBottom = bottom;
    } else {
        record.dirtyTop = std::min(record.dirtyTop, top);
        record.dirtyBottom = std::max(record.dirtyBottom, bottom);
    }
    record.presentsWanted++;
    shared->WakeAndUnlock(guard);
}

void SdlDisplayBackend::SetFullScreen(BWindow* window, bool fullScreen)
{
    WindowState state = StateOf(window);
    state.fullScreen = fullScreen;
    std::lock_guard guard(shared->lock);
    auto found = shared->windows.find(window);
    if (found == shared->windows.end())
        return;
    found->second->state = std::move(state);
    found->second->stateChanged = true;
    shared->Wake();
}

void SdlDisplayBackend::SetCursorHidden(bool hidden)
{
    std::lock_guard guard(shared->lock);
    shared->cursorHidden = hidden;
    shared->cursorChanged = true;
    shared->Wake();
}

status_t SdlDisplayBackend::SimulateCloseBox(const BWindow* window)
{
    std::lock_guard guard(shared->lock);
    auto found = shared->windows.find(window);
    if (found == shared->windows.end())
        return B_BAD_VALUE;
    found->second->closeRequested = true;
    shared->Wake();
    return B_OK;
}

status_t SdlDisplayBackend::WaitUntilShown(const BWindow* window, bigtime_t timeout)
{
    std::unique_lock guard(shared->lock);
    auto found = shared->windows.find(window);
    if (found == shared->windows.end())
        return B_BAD_VALUE;
    std::shared_ptr<Record> record = found->second;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::microseconds(timeout);
    const bool shown = shared->changed.wait_until(guard, deadline,
        [&] {
            return record->presentsWanted > 0 && record->presentsShown == record->presentsWanted;
        });
    if (!shown)
        return B_TIMED_OUT;
    // SDL syncs as it updates a surface; what was put needs a round trip.
    if (shared->presenter != nullptr)
        shared->presenter->Sync();
    return B_OK;
}

SdlDisplayBackend::PresentStatistics SdlDisplayBackend::Statistics() const
{
    std::lock_guard guard(shared->lock);
    return shared->statistics;
}

SdlDisplayBackend* SdlDisplay()
{
    // Joins the SDL thread when static objects are destroyed; the backend itself stays.
    struct Stopper {
        SdlDisplayBackend* display = nullptr;
        ~Stopper()
        {
            if (display != nullptr)
                display->Shutdown();
        }
    };
    static Stopper stopper{[]() -> SdlDisplayBackend* {
        if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr)
            return nullptr;
        auto display = std::make_unique<SdlDisplayBackend>();
        if (display->InitCheck() != B_OK)
            return nullptr;
        return display.release();
    }()};
    return stopper.display;
}

}
