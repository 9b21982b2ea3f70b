#pragma once
// BMenuField: a labelled box that shows a pop-up menu's choice and opens the menu on a click.

#include "kits/interface/View.h"

#include <memory>
#include <string>

class BMenu;
class BMenuItem;

namespace kits::interface {
class MenuTracker;
}

// The label stands left of the divider, the box right of it shows the label of MenuItem(): the
// menu's name at first, and the marked item's label whenever the menu is a BPopUpMenu in
// label-from-marked mode, whether the mark was set by the user or by code. A click on the box,
// or Space, Enter or the down arrow with the focus, opens the menu below it in the window (see
// kits/interface/MenuTracker.h); choosing an item marks it in a radio-mode menu and sends the
// item's message, to the field's window when the item has no target. Hooks and calls as for any
// view: on the window's thread, window locked.
class BMenuField : public BView {
public:
    // Takes ownership of menu. With fixedSize the box fills the frame right of the divider;
    // otherwise it is as wide as its text needs, within the frame.
    BMenuField(BRect frame, const char* name, const char* label, BMenu* menu, bool fixedSize,
        uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
        uint32 flags = B_WILL_DRAW | B_NAVIGABLE);
    BMenuField(BRect frame, const char* name, const char* label, BMenu* menu,
        uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
        uint32 flags = B_WILL_DRAW | B_NAVIGABLE);
    ~BMenuField() override;

    BMenu* Menu() const;
    // The item whose label the box shows and whose submenu is Menu(); owned by the field.
    BMenuItem* MenuItem() const;
    void SetLabel(const char* label);
    const char* Label() const;
    // Where the box begins, in view coordinates: the label's width and a gap by default.
    void SetDivider(float divider);
    float Divider() const;
    // A disabled field is drawn grey, does not open and is left out of keyboard navigation.
    void SetEnabled(bool enabled);
    bool IsEnabled() const;
    // The box, in view coordinates.
    BRect MenuFrame() const;

    void AttachedToWindow() override;
    void DetachedFromWindow() override;
    void Draw(BRect updateRect) override;
    void MouseDown(BPoint where) override;
    void KeyDown(const char* bytes, int32 numBytes) override;
    void MakeFocus(bool focus = true) override;

private:
    friend class BMenu;

    // The menu's items or marks changed: the shown label follows.
    void MenuChanged();
    void OpenMenu();

    std::string label;
    float divider;
    bool dividerSet = false;
    bool fixedSize;
    bool enabled = true;
    // Whether the flags asked for keyboard navigation, which enabling gives back.
    bool navigable;
    // Owns the menu; destroyed after the tracker, which may show it.
    std::unique_ptr<BMenuItem> menuItem;
    std::unique_ptr<kits::interface::MenuTracker> tracker;
};
