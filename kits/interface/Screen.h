#pragma once
// BScreen: the display's frame, colour space, display modes and vertical retrace.

#include "kits/interface/GraphicsDefs.h"
#include "kits/kernel/Rect.h"
#include "kits/kernel/OS.h"

class BWindow;

struct screen_id {
    int32 id;
    bool operator==(const screen_id&) const = default;
};

inline constexpr screen_id B_MAIN_SCREEN_ID = {0};

// Flags of display_timing.
enum : uint32 {
    B_BLANK_PEDESTAL = 1u << 27,
    B_TIMING_INTERLACED = 1u << 28,
    B_POSITIVE_HSYNC = 1u << 29,
    B_POSITIVE_VSYNC = 1u << 30,
    B_SYNC_ON_GREEN = 1u << 31,
};

// The timing of a display mode, in the old platform's layout. pixel_clock is in kHz; the others
// count pixels (h_*) and lines (v_*). The refresh rate in Hz is
// pixel_clock * 1000 / (h_total * v_total).
struct display_timing {
    uint32 pixel_clock;
    uint16 h_display;
    uint16 h_sync_start;
    uint16 h_sync_end;
    uint16 h_total;
    uint16 v_display;
    uint16 v_sync_start;
    uint16 v_sync_end;
    uint16 v_total;
    uint32 flags;
};

// A display mode: its timing, colour space (a color_space code) and the size of the desktop it
// shows, with the desktop's visible corner.
struct display_mode {
    display_timing timing;
    uint32 space;
    uint16 virtual_width;
    uint16 virtual_height;
    uint16 h_display_start;
    uint16 v_display_start;
    uint32 flags;
};

// The one screen there is. Any thread may use a BScreen; each call reads or changes the display
// at once (no lock of a window is taken or needed). Frame() and ColorSpace() follow the current
// display mode.
class BScreen {
public:
    explicit BScreen(screen_id id = B_MAIN_SCREEN_ID);
    // The screen the window is on; the main screen for a null window too.
    explicit BScreen(BWindow* window);

    // False for any screen but the main one; every other call then fails with B_ERROR or
    // answers empty values.
    bool IsValid() const;
    screen_id ID() const;
    // B_ERROR: there is no other screen.
    status_t SetToNext();

    color_space ColorSpace() const;
    // (0, 0, virtual_width - 1, virtual_height - 1) of the current mode.
    BRect Frame() const;

    status_t GetMode(display_mode* mode) const;
    // B_BAD_VALUE, with the mode unchanged, for a mode the display cannot show: a colour space
    // other than B_CMAP8, B_RGB15, B_RGB16 and B_RGB32, display sizes, sync starts and totals out
    // of order, a zero pixel clock or a desktop smaller than the display. A sync pulse ending
    // beyond its total is cut short at the total; read back what took effect with GetMode.
    // B_NOT_ALLOWED, with the mode unchanged, where the display lets no program set modes (a
    // Wayland desktop). There is no default mode kept apart from the current one, so makeDefault
    // adds nothing.
    status_t SetMode(display_mode* mode, bool makeDefault = false);
    // The modes the display offers. *list is allocated with malloc and the caller frees it with
    // free(); *count is its length.
    status_t GetModeList(display_mode** list, uint32* count) const;

    // Waits for the next vertical retrace, which recurs at the current mode's refresh rate from
    // a fixed moment, and returns B_OK then. When the next retrace lies further away than
    // timeout microseconds, it waits for the time-out and returns B_TIMED_OUT.
    status_t WaitForRetrace();
    status_t WaitForRetrace(bigtime_t timeout);

private:
    screen_id id;
};
