#include "kits/interface/SdlEventsPrivate.h"

#include "kits/app/AppDefs.h"
#include "kits/interface/InterfaceDefs.h"

#include <SDL.h>

namespace kits::interface {

namespace {

uint32 Modifiers(SDL_Keymod state)
{
    uint32 modifiers = 0;
    if ((state & KMOD_SHIFT) != 0)
        modifiers |= B_SHIFT_KEY;
    // PC keyboards have no Command key: Control and Alt both give it, as the shortcuts expect,
    // and the logo key is Option.
    if ((state & KMOD_CTRL) != 0)
        modifiers |= B_COMMAND_KEY | B_CONTROL_KEY;
    if ((state & KMOD_ALT) != 0)
        modifiers |= B_COMMAND_KEY;
    if ((state & KMOD_GUI) != 0)
        modifiers |= B_COMMAND_KEY | B_OPTION_KEY;
    if ((state & KMOD_CAPS) != 0)
        modifiers |= B_CAPS_LOCK;
    if ((state & KMOD_NUM) != 0)
        modifiers |= B_NUM_LOCK;
    return modifiers;
}

// The byte of a key that produces no text, or 0.
char SpecialKeyByte(SDL_Keycode key)
{
    switch (key) {
    case SDLK_LEFT:
        return char(B_LEFT_ARROW);
    case SDLK_RIGHT:
        return char(B_RIGHT_ARROW);
    case SDLK_UP:
        return char(B_UP_ARROW);
    case SDLK_DOWN:
        return char(B_DOWN_ARROW);
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return char(B_ENTER);
    case SDLK_ESCAPE:
        return char(B_ESCAPE);
    case SDLK_INSERT:
        return char(B_INSERT);
    case SDLK_DELETE:
        return char(B_DELETE);
    case SDLK_HOME:
        return char(B_HOME);
    case SDLK_END:
        return char(B_END);
    case SDLK_PAGEUP:
        return char(B_PAGE_UP);
    case SDLK_PAGEDOWN:
        return char(B_PAGE_DOWN);
    case SDLK_BACKSPACE:
        return char(B_BACKSPACE);
    case SDLK_TAB:
        return char(B_TAB);
    default:
        return SDLK_F1 <= key && key <= SDLK_F12 ? char(B_FUNCTION_KEY) : 0;
    }
}

int32 ButtonBit(uint8 button)
{
    switch (button) {
    case SDL_BUTTON_LEFT:
        return B_PRIMARY_MOUSE_BUTTON;
    case SDL_BUTTON_RIGHT:
        return B_SECONDARY_MOUSE_BUTTON;
    case SDL_BUTTON_MIDDLE:
        return B_TERTIARY_MOUSE_BUTTON;
    default:
        return 0;
    }
}

int32 Buttons(uint32 state)
{
    int32 buttons = 0;
    if ((state & SDL_BUTTON_LMASK) != 0)
        buttons |= B_PRIMARY_MOUSE_BUTTON;
    if ((state & SDL_BUTTON_RMASK) != 0)
        buttons |= B_SECONDARY_MOUSE_BUTTON;
    if ((state & SDL_BUTTON_MMASK) != 0)
        buttons |= B_TERTIARY_MOUSE_BUTTON;
    return buttons;
}

void AddKeyDown(const SDL_KeyboardEvent& event, std::vector<BMessage>& messages)
{
    const SDL_Keycode key = event.keysym.sym;
    const uint32 modifiers = Modifiers(SDL_Keymod(event.keysym.mod));
    char byte = SpecialKeyByte(key);
    // Text comes as text input; with Command held there is none, so the key itself is sent, as
    // shortcuts want it.
    if (byte == 0 && (modifiers & B_COMMAND_KEY) != 0 && key >= 0x20 && key < 0x7f) {
        byte = char(key);
        if ((modifiers & B_SHIFT_KEY) != 0 && 'a' <= byte && byte <= 'z')
            byte = char(byte - 'a' + 'A');
    }
    if (byte == 0)
        return;
    BMessage& message = messages.emplace_back(B_KEY_DOWN);
    message.AddString("bytes", std::string(1, byte).c_str());
    message.AddInt32("modifiers", int32(modifiers));
    message.AddInt32("key", int32(event.keysym.scancode));
}

void AddTextInput(const SDL_TextInputEvent& event, std::vector<BMessage>& messages)
{
    const uint32 modifiers = Modifiers(SDL_GetModState());
    // Typed with Command held, the key went out as its key press already.
    if ((modifiers & B_COMMAND_KEY) != 0)
        return;
    // One key press per character, each with its UTF-8 bytes.
    const char* text = event.text;
    while (*text != '\0') {
        size_t length = 1;
        while (length < 4 && (uint8(text[length]) & 0xC0) == 0x80)
            length++;
        BMessage& message = messages.emplace_back(B_KEY_DOWN);
        message.AddString("bytes", std::string(text, length).c_str());
        message.AddInt32("modifiers", int32(modifiers));
        text += length;
    }
}

}

uint32 EventWindowId(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_WINDOWEVENT:
        return event.window.windowID;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        return event.button.windowID;
    case SDL_MOUSEMOTION:
        return event.motion.windowID;
    case SDL_KEYDOWN:
        return event.key.windowID;
    case SDL_TEXTINPUT:
        return event.text.windowID;
    default:
        return 0;
    }
}

std::vector<BMessage> InputMessages(const SDL_Event& event, BPoint origin, int32& buttons)
{
    std::vector<BMessage> messages;
    switch (event.type) {
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        const int32 bit = ButtonBit(event.button.button);
        if (bit == 0)
            break;
        const bool down = event.type == SDL_MOUSEBUTTONDOWN;
        buttons = down ? buttons | bit : buttons & ~bit;
        BMessage& message = messages.emplace_back(down ? B_MOUSE_DOWN : B_MOUSE_UP);
        message.AddPoint("where",
            BPoint(float(event.button.x) - origin.x, float(event.button.y) - origin.y));
        message.AddInt32("buttons", buttons);
        message.AddInt32("modifiers", int32(Modifiers(SDL_GetModState())));
        if (down)
            message.AddInt32("clicks", event.button.clicks);
        break;
    }
    case SDL_MOUSEMOTION: {
        BMessage& message = messages.emplace_back(B_MOUSE_MOVED);
        message.AddPoint("where",
            BPoint(float(event.motion.x) - origin.x, float(event.motion.y) - origin.y));
        message.AddInt32("buttons", Buttons(event.motion.state));
        message.AddInt32("modifiers", int32(Modifiers(SDL_GetModState())));
        break;
    }
    case SDL_KEYDOWN:
        AddKeyDown(event.key, messages);
        break;
    case SDL_TEXTINPUT:
        AddTextInput(event.text, messages);
        break;
    default:
        break;
    }
    return messages;
}

std::optional<BMessage> WindowEventMessage(const SDL_WindowEvent& event, WindowState& applied)
{
    switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
        return BMessage(B_QUIT_REQUESTED);
    case SDL_WINDOWEVENT_MOVED: {
        if (applied.fullScreen || (event.data1 == applied.x && event.data2 == applied.y))
            return std::nullopt;
        applied.x = event.data1;
        applied.y = event.data2;
        BMessage message(B_WINDOW_MOVED);
        message.AddPoint("where", BPoint(float(event.data1), float(event.data2)));
        return message;
    }
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
        if (applied.fullScreen
            || (event.data1 == applied.width && event.data2 == applied.height))
            return std::nullopt;
        applied.width = event.data1;
        applied.height = event.data2;
        BMessage message(B_WINDOW_RESIZED);
        message.AddInt32("width", event.data1 - 1);
        message.AddInt32("height", event.data2 - 1);
        return message;
    }
    case SDL_WINDOWEVENT_MINIMIZED:
    case SDL_WINDOWEVENT_RESTORED: {
        const bool minimized = event.event == SDL_WINDOWEVENT_MINIMIZED;
        if (minimized == applied.minimized)
            return std::nullopt;
        applied.minimized = minimized;
        BMessage message(B_MINIMIZE);
        message.AddBool("minimize", minimized);
        return message;
    }
    case SDL_WINDOWEVENT_FOCUS_GAINED:
    case SDL_WINDOWEVENT_FOCUS_LOST: {
        BMessage message(B_WINDOW_ACTIVATED);
        message.AddBool("active", event.event == SDL_WINDOWEVENT_FOCUS_GAINED);
        return message;
    }
    default:
        return std::nullopt;
    }
}

}
