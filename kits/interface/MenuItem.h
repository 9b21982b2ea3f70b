#pragma once
// BMenuItem: one entry of a menu, which sends a message or opens a submenu.

#include "kits/app/Messenger.h"
#include "kits/kernel/Rect.h"

#include <memory>
#include <string>

class BHandler;
class BMenu;
class BMessage;

namespace kits::interface {
class MenuTracker;
}

// An item belongs to at most one menu, which owns it and deletes it. It is changed and invoked
// on the thread of the window its menu is shown in, with that window locked (or by the one thread
// that owns a menu outside any window).
class BMenuItem {
public:
    // Takes ownership of message (which may be null). shortcut is a character that, pressed with
    // the Command key and the modifiers given, invokes the item; 0 for none.
    BMenuItem(const char* label, BMessage* message, char shortcut = 0, uint32 modifiers = 0);
    // An item that opens submenu, labelled with its name; takes ownership of both.
    explicit BMenuItem(BMenu* submenu, BMessage* message = nullptr);
    virtual ~BMenuItem();

    BMenuItem(const BMenuItem&) = delete;
    BMenuItem& operator=(const BMenuItem&) = delete;

    void SetLabel(const char* label);
    const char* Label() const;
    // The menu this item opens, or null.
    BMenu* Submenu() const;
    // The menu this item is in, or null.
    BMenu* Menu() const;

    // In a menu in radio mode, marking an item unmarks the others.
    virtual void SetMarked(bool marked);
    bool IsMarked() const;
    // An item is enabled when it is itself, its submenu (if any) is, and its menu (and that
    // menu's menus) are too.
    virtual void SetEnabled(bool enabled);
    bool IsEnabled() const;
    // The shortcut character; *modifiers, when given, gets the modifiers besides Command.
    char Shortcut(uint32* modifiers = nullptr) const;
    void SetShortcut(char shortcut, uint32 modifiers);

    // The message the item sends, still owned by the item; null if none.
    BMessage* Message() const;
    // Its what, 0 without a message.
    uint32 Command() const;
    // Takes ownership of message and deletes the one before.
    void SetMessage(BMessage* message);
    // Where the message goes: a handler (in a looper) or a messenger. Without a target, the
    // window the menu is shown in receives it. B_BAD_HANDLER for a handler in no looper.
    status_t SetTarget(BHandler* handler);
    status_t SetTarget(const BMessenger& messenger);

    // Posts a copy of message (or of the item's own message) to the target. B_NOT_ALLOWED for a
    // disabled item, B_BAD_VALUE without a message, B_BAD_HANDLER without a target and outside
    // a window, or the result of posting.
    virtual status_t Invoke(BMessage* message = nullptr);

    // Where the menu laid the item out, in its menu's coordinates.
    BRect Frame() const;

private:
    friend class BMenu;
    friend class kits::interface::MenuTracker;

    std::string label;
    std::unique_ptr<BMessage> message;
    std::unique_ptr<BMenu> submenu;
    BMenu* menu = nullptr;
    char shortcut;
    uint32 modifiers;
    bool marked = false;
    bool enabled = true;
    bool hasTarget = false;
    BMessenger target;
    BRect frame;
};
