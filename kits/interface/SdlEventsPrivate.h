#pragma once
// The translation of SDL's events into the messages a window of the desktop display receives.

#include "kits/app/Message.h"
#include "kits/kernel/Point.h"
#include "kits/kernel/SupportDefs.h"

#include <optional>
#include <string>
#include <vector>

union SDL_Event;
struct SDL_WindowEvent;

namespace kits::interface {

// A desktop window is at most this large in either direction; larger size limits mean none.
constexpr int32 MAX_WINDOW_SIZE = 16384;

// What a window wants its desktop window to be, read with the window locked; also what the SDL
// thread last made of it, in desktop pixels.
struct WindowState {
    std::string title;
    int32 x = 0;
    int32 y = 0;
    int32 width = 1;
    int32 height = 1;
    bool shown = false;
    bool minimized = false;
    bool resizable = true;
    bool bordered = true;
    int32 minWidth = 1;
    int32 maxWidth = MAX_WINDOW_SIZE;
    int32 minHeight = 1;
    int32 maxHeight = MAX_WINDOW_SIZE;
    bool fullScreen = false;
};

// The SDL id of the desktop window a window, key, text or mouse event is addressed to; 0 for
// any other event.
uint32 EventWindowId(const SDL_Event& event);

// The messages of a key, text or mouse event, without their "when": B_KEY_DOWN, B_MOUSE_DOWN,
// B_MOUSE_UP and B_MOUSE_MOVED as SdlDisplayBackend.h lists them. Mouse positions are taken
// relative to `origin`, where the window's pixels start in its desktop window; `buttons` holds
// the buttons pressed in that window and is updated by button events. Called on the SDL thread.
std::vector<BMessage> InputMessages(const SDL_Event& event, BPoint origin, int32& buttons);

// The message of a window event that tells news: B_QUIT_REQUESTED for the close box,
// B_WINDOW_MOVED, B_WINDOW_RESIZED and B_MINIMIZE for a change the user made to `applied` (moves
// and sizes are ignored in full screen), which is updated to it, and B_WINDOW_ACTIVATED. Nothing
// for any other event.
std::optional<BMessage> WindowEventMessage(const SDL_WindowEvent& event, WindowState& applied);

}
