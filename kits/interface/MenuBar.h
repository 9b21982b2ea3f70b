#pragma once
// BMenuBar: the row of menu titles along the top of a window.

#include "kits/interface/Menu.h"

#include <memory>

namespace kits::interface {
class MenuTracker;
}

// A menu bar is a view in a window: a click on a title drops its menu down over the window's
// views (see kits/interface/MenuTracker.h), a click on an item there sends the item's message,
// and the first menu bar added to a window becomes its key menu bar, whose items' shortcuts the
// window answers. Hooks and calls as for any view: on the window's thread, window locked.
class BMenuBar : public BMenu {
public:
    // With resizeToFit, the bar takes the height of one line of the menu font (be_plain_font) and,
    // once in a window, the window's width.
    BMenuBar(BRect frame, const char* name,
        uint32 resizingMode = B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP,
        menu_layout layout = B_ITEMS_IN_ROW, bool resizeToFit = true);
    ~BMenuBar() override;

    // Whether one of its menus is open now.
    bool IsTracking() const;
    // Closes any open menu.
    void CloseMenus();

    void AttachedToWindow() override;
    void DetachedFromWindow() override;
    void Draw(BRect updateRect) override;
    void MouseDown(BPoint where) override;

private:
    friend class kits::interface::MenuTracker;

    // Opens the menu of a title, or fires a title item without a submenu.
    void Open(BMenuItem* title);

    std::unique_ptr<kits::interface::MenuTracker> tracker;
};
