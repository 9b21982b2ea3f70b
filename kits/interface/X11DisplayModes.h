#pragma once
// X11DisplayModes: the display modes of an X server's screen, read and set through RandR.

#include "kits/interface/Screen.h"

#include <memory>
#include <vector>

namespace kits::interface {

// The modes of the X screen's primary output (or its first connected one), on a connection of
// its own to the server that DISPLAY names. A mode that the output does not list is created
// under a name of its own and added to it; modes are matched by their timings, never by name,
// as two modes with the same timings are one to the screen. Modes it created are destroyed
// once the output no longer shows them. Every member may be called from any thread; a mutex
// serialises the connection, and Xlib's error handler is replaced only around its own calls
// (errors of other connections go on to the handler that was there).
//
// The mode in effect before the first change is put back when the object is destroyed and when
// the process exits, so a program that ends without leaving full-screen does not leave the
// user's screen in a mode fitted to a TV signal.
class X11DisplayModes {
public:
    // Null when DISPLAY names no reachable server, the server lacks RandR 1.2, no connected
    // output drives a CRTC, or the output's mode has no timings (as on Xvfb).
    static std::unique_ptr<X11DisplayModes> Open();
    ~X11DisplayModes();

    X11DisplayModes(const X11DisplayModes&) = delete;
    X11DisplayModes& operator=(const X11DisplayModes&) = delete;

    // The output's modes in the server's order, each in the screen's colour space on a desktop
    // of its own size.
    std::vector<display_mode> ModeList() const;
    // What the output's CRTC shows, read again only after the server has told of a change, so
    // that asking once a frame costs no round trip; the desktop is the size of the X screen.
    display_mode CurrentMode() const;
    // Shows the mode on the output, growing or shrinking the X screen to hold every CRTC.
    // B_BAD_VALUE for a mode the display cannot show (see BScreen::SetMode; sync ends beyond
    // their totals are cut short) or one in another colour space than the screen's, which X
    // cannot change; B_ERROR when the server refuses it, which may leave the output in the mode
    // it had.
    [[nodiscard]] status_t SetMode(const display_mode& mode);
    // Puts back the mode and screen size in effect before the first SetMode; B_OK when there
    // is nothing to put back.
    [[nodiscard]] status_t RestoreFirstMode();

private:
    struct Connection;
    explicit X11DisplayModes(std::unique_ptr<Connection> connection);

    std::unique_ptr<Connection> connection;
};

}
