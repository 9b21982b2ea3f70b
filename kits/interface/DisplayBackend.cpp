#include "kits/interface/DisplayBackend.h"

#include "kits/interface/HeadlessDisplayBackend.h"
#include "kits/interface/SdlDisplayBackend.h"

#include <cstdlib>
#include <cstring>

namespace kits::interface {

DisplayBackend& Display()
{
    // Chosen once: every window of the process must live on the same display.
    static DisplayBackend& display = []() -> DisplayBackend& {
        const char* headless = std::getenv("OVELIN_HEADLESS");
        if (headless != nullptr && std::strcmp(headless, "1") == 0)
            return HeadlessDisplay();
        if (SdlDisplayBackend* desktop = SdlDisplay())
            return *desktop;
        return HeadlessDisplay();
    }();
    return display;
}

std::shared_ptr<PixelMemory> DisplayPixels(size_t count)
{
    return Display().NewPixels(count);
}

color_space SpaceOfDepth(int depth)
{
    switch (depth) {
    case 8:
        return B_CMAP8;
    case 15:
        return B_RGB15;
    case 16:
        return B_RGB16;
    default:
        return B_RGB32;
    }
}

int64 RetracePeriodNanoseconds(const display_mode& mode)
{
    const int64 pixels = int64(mode.timing.h_total) * mode.timing.v_total;
    if (mode.timing.pixel_clock == 0 || pixels == 0)
        return 0;
    // pixel_clock counts kHz: a frame of pixels lasts pixels / (pixel_clock * 1000) seconds.
    return (pixels * 1000000 + mode.timing.pixel_clock / 2) / mode.timing.pixel_clock;
}

bigtime_t NextRetrace(bigtime_t now, int64 periodNanoseconds)
{
    if (periodNanoseconds <= 0)
        return now;
    // In nanoseconds, which a 64-bit product of microseconds could overflow.
    const __int128 nowNanoseconds = __int128(now) * 1000;
    __int128 tick = nowNanoseconds / periodNanoseconds;
    if (nowNanoseconds < 0 && nowNanoseconds % periodNanoseconds != 0)
        tick--;
    tick++;
    // The first whole microsecond at or after the tick, which lies after now.
    const __int128 nanoseconds = tick * periodNanoseconds;
    bigtime_t next = bigtime_t(nanoseconds / 1000);
    if (__int128(next) * 1000 < nanoseconds)
        next++;
    return next;
}

bool IsShowableMode(const display_mode& mode)
{
    const display_timing& t = mode.timing;
    switch (mode.space) {
    case B_CMAP8:
    case B_RGB15:
    case B_RGB16:
    case B_RGB32:
        break;
    default:
        return false;
    }
    return t.pixel_clock > 0 && t.h_display > 0 && t.h_display <= t.h_sync_start
        && t.h_sync_start <= t.h_sync_end && t.h_sync_end <= t.h_total && t.v_display > 0
        && t.v_display <= t.v_sync_start && t.v_sync_start <= t.v_sync_end
        && t.v_sync_end <= t.v_total && mode.virtual_width >= t.h_display
        && mode.virtual_height >= t.v_display;
}

}
