#pragma once
// DisplayBackend: where the interface kit meets the display; private to the kit.

#include "kits/app/Messenger.h"
#include "kits/interface/ClipRegion.h"
#include "kits/interface/FrameBuffer.h"
#include "kits/interface/Screen.h"

#include <string>
#include <vector>

class BMessage;
class BWindow;

namespace kits::interface {

// The display the windows are shown on: its modes, retrace and workspaces, and the place where a
// window's frame buffer is presented. One backend serves the whole process (Display()); every
// member may be called from any thread, and each backend guards its own state with its own mutex,
// which is never held while a window lock is taken.
class DisplayBackend {
public:
    virtual ~DisplayBackend() = default;

    // The modes offered, in the order GetModeList reports them.
    virtual std::vector<display_mode> ModeList() const = 0;
    virtual display_mode CurrentMode() const = 0;
    // B_BAD_VALUE (and nothing changed) for a mode the display cannot show.
    [[nodiscard]] virtual status_t SetMode(const display_mode& mode) = 0;
    // See BScreen::WaitForRetrace.
    [[nodiscard]] virtual status_t WaitForRetrace(bigtime_t timeout) = 0;

    // The workspace shown now, from 0.
    virtual int32 CurrentWorkspace() const = 0;

    // A window comes into being and goes away; between the two the backend may post messages
    // to it. Called by the window with its lock held (RemoveWindow from its destructor).
    virtual void AddWindow(BWindow* window) = 0;
    virtual void RemoveWindow(BWindow* window) = 0;
    // Its frame, title, visibility or minimised state changed. Called with the window locked.
    virtual void WindowChanged(BWindow* window) = 0;
    // Memory for a window's pixels (see PixelSource); a display may hand out memory it shows
    // without copying it. Any thread.
    virtual std::shared_ptr<PixelMemory> NewPixels(size_t count) { return HeapPixels(count); }
    // Shows what the views drew; `changed` bounds the pixels that differ from the last present.
    // Called with the window locked; the buffer is valid only during the call, its Memory() as
    // long as the display keeps it.
    virtual void Present(BWindow* window, const FrameBuffer& buffer, const PixelRect& changed) = 0;
    // The window covers the whole screen without a border (true) or is back in its own frame
    // (false); its frame has been set to match already. Called with the window locked. A display
    // that cannot do this ignores it.
    virtual void SetFullScreen(BWindow*, bool) {}
    // The mouse pointer is hidden over the program's windows (true) or shown (false). Called on
    // any thread, without a window lock. A display without a pointer ignores it.
    virtual void SetCursorHidden(bool) {}
    // The front-most window of this process that is on screen (shown, not minimised, on the
    // current workspace) and covers screenPoint; an invalid messenger when none does. Any
    // thread, without taking a window lock.
    virtual BMessenger WindowAt(BPoint screenPoint) const = 0;
    // Names this display among the user's, so that drops pass only between processes that
    // show their windows on the same one. Any thread.
    virtual std::string DropExchangeName() const = 0;
    // Takes over a drag whose window can no longer follow the mouse (it was hidden, minimised
    // or destroyed while the buttons were held): the display delivers the message where the
    // buttons are released (see DeliverDrop), replacing any drag it held before. Called with
    // the window locked.
    virtual void AdoptDrag(const BMessage& message, BPoint offset) = 0;
};

// The process's display, chosen on the first call: the desktop's (SdlDisplay()) when one is
// reachable and OVELIN_HEADLESS is not "1", the headless one otherwise. Never destroyed, so
// windows may still reach it while the program exits.
DisplayBackend& Display();
// Memory for a window's pixels from the process's display.
std::shared_ptr<PixelMemory> DisplayPixels(size_t count);

// The refresh period of a mode in nanoseconds; 0 for a mode without a pixel clock or totals.
int64 RetracePeriodNanoseconds(const display_mode& mode);
// The first retrace strictly after `now` (microseconds), for retraces at multiples of the period
// from time 0.
bigtime_t NextRetrace(bigtime_t now, int64 periodNanoseconds);
// Whether a mode can be shown at all: see BScreen::SetMode.
bool IsShowableMode(const display_mode& mode);
// The colour space of a screen with this many bits per pixel.
color_space SpaceOfDepth(int depth);

}
