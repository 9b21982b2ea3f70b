#pragma once
// Free functions of the interface kit that describe the desktop.

#include "kits/interface/GraphicsDefs.h"
#include "kits/kernel/SupportDefs.h"

// The workspace shown now, from 0. Any thread may ask.
int32 current_workspace();

// The parts of the desktop whose colours ui_color answers.
enum color_which {
    B_PANEL_BACKGROUND_COLOR = 1,
    B_MENU_BACKGROUND_COLOR = 2,
};

// The system's colour for a part of the desktop: panels are (216, 216, 216), menus and the menu
// bar (219, 219, 219), all opaque; a value outside the list gets black. Any thread may ask.
rgb_color ui_color(color_which which);

// Bytes of the keys that produce no text, as a key press's "bytes" carries them.
enum : uint8 {
    B_HOME = 0x01,
    B_END = 0x04,
    B_INSERT = 0x05,
    B_BACKSPACE = 0x08,
    B_TAB = 0x09,
    B_ENTER = 0x0a,
    B_RETURN = 0x0a,
    B_PAGE_UP = 0x0b,
    B_PAGE_DOWN = 0x0c,
    B_FUNCTION_KEY = 0x10,
    B_ESCAPE = 0x1b,
    B_LEFT_ARROW = 0x1c,
    B_RIGHT_ARROW = 0x1d,
    B_UP_ARROW = 0x1e,
    B_DOWN_ARROW = 0x1f,
    B_SPACE = 0x20,
    B_DELETE = 0x7f,
};

// Modifier keys held, as bits of a message's "modifiers".
enum : uint32 {
    B_SHIFT_KEY = 0x00000001,
    B_COMMAND_KEY = 0x00000002,
    B_CONTROL_KEY = 0x00000004,
    B_CAPS_LOCK = 0x00000008,
    B_SCROLL_LOCK = 0x00000010,
    B_NUM_LOCK = 0x00000020,
    B_OPTION_KEY = 0x00000040,
    B_MENU_KEY = 0x00000080,
};

// Mouse buttons, as bits of a message's "buttons".
enum : int32 {
    B_PRIMARY_MOUSE_BUTTON = 0x01,
    B_SECONDARY_MOUSE_BUTTON = 0x02,
    B_TERTIARY_MOUSE_BUTTON = 0x04,
};
