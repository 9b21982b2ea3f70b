// Lock order: the exit registry's mutex, then a connection's mutex, then the error trap's mutex.
// No window lock is ever taken here.
#include "kits/interface/X11DisplayModes.h"

#include "kits/interface/DisplayBackend.h"
#include "kits/interface/X11Private.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace kits::interface {

namespace {

struct ResourcesFree {
    void operator()(XRRScreenResources* resources) const { XRRFreeScreenResources(resources); }
};
struct OutputInfoFree {
    void operator()(XRROutputInfo* info) const { XRRFreeOutputInfo(info); }
};
struct CrtcInfoFree {
    void operator()(XRRCrtcInfo* info) const { XRRFreeCrtcInfo(info); }
};
using Resources = std::unique_ptr<XRRScreenResources, ResourcesFree>;
using OutputInfo = std::unique_ptr<XRROutputInfo, OutputInfoFree>;
using CrtcInfo = std::unique_ptr<XRRCrtcInfo, CrtcInfoFree>;

// The screen's size in millimetres is only a hint; 96 dots per inch is the server's default.
constexpr double MILLIMETRES_PER_PIXEL = 25.4 / 96;

display_mode ModeOf(const XRRModeInfo& info, color_space space)
{
    display_mode mode{};
    display_timing& t = mode.timing;
    t.pixel_clock = uint32(info.dotClock / 1000);
    t.h_display = uint16(info.width);
    t.h_sync_start = uint16(info.hSyncStart);
    t.h_sync_end = uint16(info.hSyncEnd);
    t.h_total = uint16(info.hTotal);
    t.v_display = uint16(info.height);
    t.v_sync_start = uint16(info.vSyncStart);
    t.v_sync_end = uint16(info.vSyncEnd);
    t.v_total = uint16(info.vTotal);
    if ((info.modeFlags & RR_HSyncPositive) != 0)
        t.flags |= B_POSITIVE_HSYNC;
    if ((info.modeFlags & RR_VSyncPositive) != 0)
        t.flags |= B_POSITIVE_VSYNC;
    if ((info.modeFlags & RR_Interlace) != 0)
        t.flags |= B_TIMING_INTERLACED;
    mode.space = uint32(space);
    mode.virtual_width = t.h_display;
    mode.virtual_height = t.v_display;
    return mode;
}

// Whether the server's mode has these timings; its name and id say nothing.
bool SameTiming(const XRRModeInfo& info, const display_timing& timing)
{
    const display_timing t = ModeOf(info, B_RGB32).timing;
    const uint32 compared = B_POSITIVE_HSYNC | B_POSITIVE_VSYNC | B_TIMING_INTERLACED;
    return t.pixel_clock == timing.pixel_clock && t.h_display == timing.h_display
        && t.h_sync_start == timing.h_sync_start && t.h_sync_end == timing.h_sync_end
        && t.h_total == timing.h_total && t.v_display == timing.v_display
        && t.v_sync_start == timing.v_sync_start && t.v_sync_end == timing.v_sync_end
        && t.v_total == timing.v_total && (t.flags & compared) == (timing.flags & compared);
}

bool HasName(const XRRScreenResources& resources, const std::string& name)
{
    for (int i = 0; i < resources.nmode; i++) {
        const XRRModeInfo& info = resources.modes[i];
        if (std::string(info.name, info.nameLength) == name)
            return true;
    }
    return false;
}

// The live objects whose modes are put back when the process exits. Never destroyed, so that
// it outlives every static object an exit handler might meet.
std::mutex exitLock;
std::vector<X11DisplayModes*>& ExitRegistry()
{
    static auto* registry = new std::vector<X11DisplayModes*>;
    return *registry;
}

void RestoreAtExit()
{
    std::lock_guard guard(exitLock);
    for (X11DisplayModes* modes : ExitRegistry())
        (void)modes->RestoreFirstMode();
}

}

struct X11DisplayModes::Connection {
    std::unique_ptr<::Display, DisplayClose> display;
    Window root = None;
    RROutput output = None;
    color_space space = B_RGB32;

    mutable std::mutex lock;
    // Guarded by lock.
    std::optional<display_mode> firstMode;
    int firstWidth = 0;
    int firstHeight = 0;
    // Modes made here that the output may still list.
    std::vector<RRMode> created;
    // The mode in effect as last read: a display asks for it once a frame, and the server's
    // notices of changes say when to read it again.
    display_mode shown{};
    // Guarded by exitLock.
    bool registered = false;

    // The helpers below are called with lock held.
    Resources GetResources() const
    {
        return Resources(XRRGetScreenResourcesCurrent(display.get(), root));
    }
    std::pair<int, int> ScreenSize() const;
    display_mode Current() const;
    // Reads the mode in effect into shown.
    void Refresh();
    // Refreshes shown when the server has told of changes since.
    void Follow();
    // Sets the screen's size, keeping the hint in millimetres at 96 dots per inch.
    void SetScreenSize(int width, int height) const;
    status_t Show(const display_mode& mode);
    RRMode Create(const XRRScreenResources& resources, const display_timing& timing);
    // Destroys the modes made here that no CRTC shows.
    void ForgetUnused();
};

std::pair<int, int> X11DisplayModes::Connection::ScreenSize() const
{
    Window rootReturn;
    int x = 0;
    int y = 0;
    unsigned int width = 0;
    unsigned int height = 0;
    unsigned int border = 0;
    unsigned int depth = 0;
    if (XGetGeometry(display.get(), root, &rootReturn, &x, &y, &width, &height, &border, &depth)
        == 0) {
        return {0, 0};
    }
    return {int(width), int(height)};
}

display_mode X11DisplayModes::Connection::Current() const
{
    display_mode mode{};
    Resources resources = GetResources();
    if (resources == nullptr)
        return mode;
    OutputInfo info(XRRGetOutputInfo(display.get(), resources.get(), output));
    if (info == nullptr || info->crtc == None)
        return mode;
    CrtcInfo crtc(XRRGetCrtcInfo(display.get(), resources.get(), info->crtc));
    if (crtc == nullptr)
        return mode;
    for (int i = 0; i < resources->nmode; i++) {
        if (resources->modes[i].id == crtc->mode)
            mode = ModeOf(resources->modes[i], space);
    }
    const auto [width, height] = ScreenSize();
    mode.virtual_width = uint16(std::clamp(width, 0, 65535));
    mode.virtual_height = uint16(std::clamp(height, 0, 65535));
    return mode;
}

void X11DisplayModes::Connection::Refresh()
{
    ErrorTrap trap(display.get());
    shown = Current();
    // A CRTC or output that went away meanwhile leaves an empty mode until the next notice.
    (void)trap.Finish();
}

void X11DisplayModes::Connection::Follow()
{
    ::Display* d = display.get();
    if (XPending(d) == 0)
        return;
    while (XPending(d) > 0) {
        XEvent event;
        XNextEvent(d, &event);
    }
    Refresh();
}

void X11DisplayModes::Connection::SetScreenSize(int width, int height) const
{
    XRRSetScreenSize(display.get(), root, width, height, int(width * MILLIMETRES_PER_PIXEL + 0.5),
        int(height * MILLIMETRES_PER_PIXEL + 0.5));
}

RRMode X11DisplayModes::Connection::Create(
    const XRRScreenResources& resources, const display_timing& timing)
{
    // Creating a name that exists is an error: the name carries the process and a count, and
    // is checked against the server's list.
    static std::atomic<uint32> serial = 0;
    std::string name;
    do {
        name = std::to_string(timing.h_display) + "x" + std::to_string(timing.v_display)
            + "_ovelin_" + std::to_string(getpid()) + "_" + std::to_string(serial++);
    } while (HasName(resources, name));
    XRRModeInfo info{};
    info.width = timing.h_display;
    info.height = timing.v_display;
    info.dotClock = static_cast<unsigned long>(timing.pixel_clock) * 1000;
    info.hSyncStart = timing.h_sync_start;
    info.hSyncEnd = timing.h_sync_end;
    info.hTotal = timing.h_total;
    info.vSyncStart = timing.v_sync_start;
    info.vSyncEnd = timing.v_sync_end;
    info.vTotal = timing.v_total;
    info.modeFlags = ((timing.flags & B_POSITIVE_HSYNC) != 0 ? RR_HSyncPositive : RR_HSyncNegative)
        | ((timing.flags & B_POSITIVE_VSYNC) != 0 ? RR_VSyncPositive : RR_VSyncNegative)
        | ((timing.flags & B_TIMING_INTERLACED) != 0 ? RR_Interlace : 0);
    info.name = name.data();
    info.nameLength = static_cast<unsigned int>(name.size());
    const RRMode id = XRRCreateMode(display.get(), root, &info);
    if (id != None)
        created.push_back(id);
    return id;
}

status_t X11DisplayModes::Connection::Show(const display_mode& mode)
{
    ::Display* d = display.get();
    ErrorTrap trap(d);
    Resources resources = GetResources();
    if (resources == nullptr)
        return B_ERROR;
    OutputInfo info(XRRGetOutputInfo(d, resources.get(), output));
    if (info == nullptr || info->crtc == None)
        return B_ERROR;
    CrtcInfo crtc(XRRGetCrtcInfo(d, resources.get(), info->crtc));
    if (crtc == nullptr)
        return B_ERROR;

    RRMode id = None;
    for (int i = 0; i < resources->nmode && id == None; i++) {
        if (SameTiming(resources->modes[i], mode.timing))
            id = resources->modes[i].id;
    }
    if (id == None)
        id = Create(*resources, mode.timing);
    if (id == None)
        return B_ERROR;
    if (std::find(info->modes, info->modes + info->nmode, id) == info->modes + info->nmode)
        XRRAddOutputMode(d, output, id);

    // The screen must hold every CRTC: this one in its new mode, the others as they are.
    const bool turned = (crtc->rotation & (RR_Rotate_90 | RR_Rotate_270)) != 0;
    int width = crtc->x + (turned ? mode.timing.v_display : mode.timing.h_display);
    int height = crtc->y + (turned ? mode.timing.h_display : mode.timing.v_display);
    for (int i = 0; i < resources->ncrtc; i++) {
        if (resources->crtcs[i] == info->crtc)
            continue;
        CrtcInfo other(XRRGetCrtcInfo(d, resources.get(), resources->crtcs[i]));
        if (other != nullptr && other->mode != None) {
            width = std::max(width, other->x + int(other->width));
            height = std::max(height, other->y + int(other->height));
        }
    }
    int minWidth = 0;
    int minHeight = 0;
    int maxWidth = 0;
    int maxHeight = 0;
    if (XRRGetScreenSizeRange(d, root, &minWidth, &minHeight, &maxWidth, &maxHeight) != 0) {
        width = std::clamp(width, minWidth, std::max(minWidth, maxWidth));
        height = std::clamp(height, minHeight, std::max(minHeight, maxHeight));
    }
    // Grown first, so that the CRTC fits at every step; shrunk once it shows the new mode.
    auto [screenWidth, screenHeight] = ScreenSize();
    if (width > screenWidth || height > screenHeight) {
        screenWidth = std::max(width, screenWidth);
        screenHeight = std::max(height, screenHeight);
        SetScreenSize(screenWidth, screenHeight);
    }
    // Adding the mode and growing the screen may have moved the configuration on.
    resources = GetResources();
    if (resources == nullptr)
        return B_ERROR;
    const Status set = XRRSetCrtcConfig(d, resources.get(), info->crtc, CurrentTime, crtc->x,
        crtc->y, id, crtc->rotation, crtc->outputs, crtc->noutput);
    if (set != RRSetConfigSuccess) {
        (void)trap.Finish();
        return B_ERROR;
    }
    if (width != screenWidth || height != screenHeight)
        SetScreenSize(width, height);
    return trap.Finish();
}

void X11DisplayModes::Connection::ForgetUnused()
{
    if (created.empty())
        return;
    ::Display* d = display.get();
    ErrorTrap trap(d);
    Resources resources = GetResources();
    if (resources == nullptr)
        return;
    std::vector<RRMode> shown;
    for (int i = 0; i < resources->ncrtc; i++) {
        CrtcInfo crtc(XRRGetCrtcInfo(d, resources.get(), resources->crtcs[i]));
        if (crtc != nullptr && crtc->mode != None)
            shown.push_back(crtc->mode);
    }
    std::erase_if(created, [&](RRMode id) {
        if (std::find(shown.begin(), shown.end(), id) != shown.end())
            return false;
        XRRDeleteOutputMode(d, output, id);
        XRRDestroyMode(d, id);
        return true;
    });
    // A mode the server refuses to destroy stays behind unused; nothing depends on it.
    (void)trap.Finish();
}

X11DisplayModes::X11DisplayModes(std::unique_ptr<Connection> connection)
    :
    connection(std::move(connection))
{
}

X11DisplayModes::~X11DisplayModes()
{
    {
        std::lock_guard guard(exitLock);
        std::erase(ExitRegistry(), this);
    }
    (void)RestoreFirstMode();
}

std::unique_ptr<X11DisplayModes> X11DisplayModes::Open()
{
    auto connection = std::make_unique<Connection>();
    connection->display.reset(XOpenDisplay(nullptr));
    ::Display* d = connection->display.get();
    if (d == nullptr)
        return nullptr;
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XRRQueryExtension(d, &eventBase, &errorBase) || !XRRQueryVersion(d, &major, &minor)
        || major < 1 || (major == 1 && minor < 2)) {
        return nullptr;
    }
    const int screen = DefaultScreen(d);
    connection->root = RootWindow(d, screen);
    connection->space = SpaceOfDepth(DefaultDepth(d, screen));
    ErrorTrap trap(d);
    Resources resources = connection->GetResources();
    if (resources == nullptr)
        return nullptr;
    // The primary output, or else the first connected one that drives a CRTC.
    const RROutput primary = XRRGetOutputPrimary(d, connection->root);
    for (int i = -1; i < resources->noutput && connection->output == None; i++) {
        const RROutput candidate = i < 0 ? primary : resources->outputs[i];
        if (candidate == None)
            continue;
        OutputInfo info(XRRGetOutputInfo(d, resources.get(), candidate));
        if (info != nullptr && info->connection == RR_Connected && info->crtc != None)
            connection->output = candidate;
    }
    if (trap.Finish() != B_OK || connection->output == None)
        return nullptr;
    XRRSelectInput(d, connection->root,
        RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
    connection->Refresh();
    const display_timing& current = connection->shown.timing;
    if (current.pixel_clock == 0 || current.h_total == 0 || current.v_total == 0)
        return nullptr;
    return std::unique_ptr<X11DisplayModes>(new X11DisplayModes(std::move(connection)));
}

std::vector<display_mode> X11DisplayModes::ModeList() const
{
    std::lock_guard guard(connection->lock);
    std::vector<display_mode> modes;
    ::Display* d = connection->display.get();
    // An output that went away meanwhile lists nothing.
    ErrorTrap trap(d);
    Resources resources = connection->GetResources();
    if (resources == nullptr)
        return modes;
    OutputInfo info(XRRGetOutputInfo(d, resources.get(), connection->output));
    if (info == nullptr)
        return modes;
    for (int m = 0; m < info->nmode; m++) {
        for (int i = 0; i < resources->nmode; i++) {
            if (resources->modes[i].id == info->modes[m])
                modes.push_back(ModeOf(resources->modes[i], connection->space));
        }
    }
    return modes;
}

display_mode X11DisplayModes::CurrentMode() const
{
    std::lock_guard guard(connection->lock);
    connection->Follow();
    return connection->shown;
}

status_t X11DisplayModes::SetMode(const display_mode& mode)
{
    display_mode adjusted = mode;
    display_timing& t = adjusted.timing;
    t.h_sync_end = std::clamp(t.h_sync_end, t.h_sync_start, std::max(t.h_sync_start, t.h_total));
    t.v_sync_end = std::clamp(t.v_sync_end, t.v_sync_start, std::max(t.v_sync_start, t.v_total));
    if (!IsShowableMode(adjusted) || adjusted.space != uint32(connection->space))
        return B_BAD_VALUE;
    status_t status;
    {
        std::lock_guard guard(connection->lock);
        connection->Follow();
        if (!connection->firstMode.has_value()) {
            connection->firstMode = connection->shown;
            std::tie(connection->firstWidth, connection->firstHeight) = connection->ScreenSize();
        }
        status = connection->Show(adjusted);
        connection->ForgetUnused();
        connection->Refresh();
        // Back in the first mode: nothing is left to put back at the end.
        const display_timing& first = connection->firstMode->timing;
        if (status == B_OK && std::memcmp(&first, &adjusted.timing, sizeof first) == 0
            && connection->ScreenSize()
                == std::pair(connection->firstWidth, connection->firstHeight)) {
            connection->firstMode.reset();
        }
    }
    // Registered without the connection's mutex: the exit handler takes the registry's first.
    std::lock_guard guard(exitLock);
    if (!connection->registered) {
        connection->registered = true;
        ExitRegistry().push_back(this);
        static std::once_flag atExit;
        std::call_once(atExit, [] { std::atexit(RestoreAtExit); });
    }
    return status;
}

status_t X11DisplayModes::RestoreFirstMode()
{
    std::lock_guard guard(connection->lock);
    if (!connection->firstMode.has_value())
        return B_OK;
    status_t status = connection->Show(*connection->firstMode);
    const auto [width, height] = connection->ScreenSize();
    if (width != connection->firstWidth || height != connection->firstHeight) {
        ErrorTrap trap(connection->display.get());
        connection->SetScreenSize(connection->firstWidth, connection->firstHeight);
        if (const status_t sized = trap.Finish(); status == B_OK)
            status = sized;
    }
    connection->ForgetUnused();
    connection->Refresh();
    connection->firstMode.reset();
    return status;
}

}
