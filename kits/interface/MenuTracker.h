#pragma once
// MenuTracker: the open menus of a menu bar or pop-up and the input they take; kit-private.

#include "kits/interface/View.h"

#include <functional>
#include <vector>

class BMenu;
class BMenuBar;
class BMenuItem;
class BMessage;
class BWindow;

namespace kits::interface {

// A view that shows a menu as a column; owned by the window's view tree while it is open.
class MenuDropDown : public BView {
public:
    // leftTop in window coordinates.
    MenuDropDown(BMenu* menu, BPoint leftTop);

    BMenu* ShownMenu() const { return menu; }
    const BMenuItem* Highlighted() const { return highlighted; }
    void SetHighlighted(const BMenuItem* item);
    // The item under point, in this view's coordinates; null if none.
    BMenuItem* ItemAt(BPoint point) const;

    void Draw(BRect updateRect) override;

private:
    BMenu* menu;
    const BMenuItem* highlighted = nullptr;
};

// Keeps the menus opened from one menu bar (or one pop-up) in one window: the first level below
// the bar title, then each submenu opened from it to the right. While menus are open the window
// hands every mouse press, pointer move and key press to FilterInput first. Lives on the
// window's thread, with the window locked; the drop-down views are owned by the window.
class MenuTracker {
public:
    // Called with the chosen item after the menus have closed, or with null when they close
    // without a choice.
    using ChoiceFunction = std::function<void(BMenuItem*)>;

    MenuTracker(BWindow* window, BMenuBar* bar, ChoiceFunction choice);
    ~MenuTracker();
    MenuTracker(const MenuTracker&) = delete;
    MenuTracker& operator=(const MenuTracker&) = delete;

    // Opens menu at leftTop (window coordinates), closing whatever is open.
    void Open(BMenu* menu, BPoint leftTop);
    // Closes all levels; the choice function hears null if anything was open.
    void Close();
    bool IsOpen() const;
    // The top level's menu, or null.
    BMenu* OpenMenu() const;
    int32 CountLevels() const;
    MenuDropDown* LevelAt(int32 index) const;

    // True when the message was for the menus and has been handled; false lets the window
    // handle it as usual (a press on the menu bar, for one).
    bool FilterInput(BMessage* message);

private:
    // Closes the levels from index on.
    void CloseFrom(size_t index);
    void OpenSubmenu(size_t level, BMenuItem* item);
    void Choose(BMenuItem* item);
    // The level under a window point and the point in its coordinates; -1 if none.
    int32 LevelAtPoint(BPoint where, BPoint& local) const;
    bool HandleKey(const char* bytes);

    BWindow* window;
    BMenuBar* bar;
    ChoiceFunction choice;
    std::vector<MenuDropDown*> levels;
};

// Invokes the enabled item of menu (or of its submenus) whose shortcut is the key of a
// B_KEY_DOWN message held with the Command key and the item's other modifiers. True when an item
// was invoked.
bool InvokeShortcut(BMenu& menu, const BMessage& key);

}
