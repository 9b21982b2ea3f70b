#pragma once
// BMenu: a list of items, shown as a row in a menu bar or as a column that drops down.

#include "kits/interface/View.h"

#include <memory>
#include <vector>

class BMenuField;
class BMenuItem;

namespace kits::interface {
class MenuDropDown;
class MenuTracker;
}

enum menu_layout {
    B_ITEMS_IN_ROW = 0,
    B_ITEMS_IN_COLUMN = 1,
    B_ITEMS_IN_MATRIX = 2,
};

// A menu owns its items (and through them its submenus). A menu in a column is shown by its
// menu bar or by BPopUpMenu::Go when opened; a menu is a view too, and a menu bar is one that
// sits in a window. Menus are changed on the thread of the window they are shown in, with that
// window locked, like any view. Item frames are laid out in the menu's own coordinates: a row
// from the left edge, a column from the top.
class BMenu : public BView {
public:
    explicit BMenu(const char* name, menu_layout layout = B_ITEMS_IN_COLUMN);
    // Deletes the items.
    ~BMenu() override;

    // Takes ownership of item and appends it, or inserts it before index (0 to CountItems()).
    // False, with the caller keeping the item, for a null item, one already in a menu, or an
    // index out of range.
    bool AddItem(BMenuItem* item);
    bool AddItem(BMenuItem* item, int32 index);
    // Appends an item that opens submenu, labelled with the submenu's name; takes ownership.
    bool AddItem(BMenu* submenu);
    bool AddItem(BMenu* submenu, int32 index);
    bool AddSeparatorItem();
    // Takes the item out; the caller owns it then. Null (or false) when it is not there.
    BMenuItem* RemoveItem(int32 index);
    bool RemoveItem(BMenuItem* item);

    BMenuItem* ItemAt(int32 index) const;
    int32 CountItems() const;
    // -1 when not in this menu (submenus are not searched).
    int32 IndexOf(BMenuItem* item) const;
    int32 IndexOf(BMenu* submenu) const;
    // The first item, here or in a submenu, depth first, with that label or command; null if
    // none.
    BMenuItem* FindItem(const char* label) const;
    BMenuItem* FindItem(uint32 command) const;
    // The first marked item of this menu; null if none.
    BMenuItem* FindMarked() const;

    // In radio mode exactly one item at most is marked: marking one unmarks the rest, and
    // choosing an item marks it.
    void SetRadioMode(bool on);
    bool IsRadioMode() const;
    // A disabled menu draws its items grey and none of them fires, by click or shortcut. A menu
    // is enabled when it is itself and the menu holding it (if any) is too.
    void SetEnabled(bool enabled);
    bool IsEnabled() const;

    menu_layout Layout() const;
    // The menu that holds this menu's item, and that item; null for a top menu.
    BMenu* Supermenu() const;
    BMenuItem* Superitem() const;

    void Draw(BRect updateRect) override;

protected:
    // For BMenuBar.
    BMenu(BRect frame, const char* name, uint32 resizingMode, uint32 flags, menu_layout layout,
        bool resizeToFit);

    // The size the items need, laid out in this menu's layout: for a column, the width of the
    // widest item and the sum of the heights; for a row, the sum of widths and one item height.
    BRect LaidOutBounds();
    // Sets every item's frame for the current labels, font and bounds.
    void LayoutItems();
    // Redraws this menu where it is shown, the menu bar title of a submenu, and the field
    // showing the menu.
    void ItemsChanged();
    // The item whose frame holds point (menu coordinates), separators included; null if none.
    BMenuItem* ItemAtPoint(BPoint point) const;
    // Draws the items into view (which may be this menu or the drop-down showing it), with
    // highlighted (or null) drawn as under the pointer.
    void DrawItems(BView& view, const BMenuItem* highlighted);

    bool resizeToFit;

private:
    friend class BMenuField;
    friend class BMenuItem;
    friend class kits::interface::MenuDropDown;
    friend class kits::interface::MenuTracker;

    bool InsertItem(BMenuItem* item, int32 index);

    menu_layout layout;
    bool radioMode = false;
    bool enabled = true;
    BMenuItem* superitem = nullptr;
    // The field that shows this menu and follows its marks, for a field's menu; not owned.
    BMenuField* field = nullptr;
    std::vector<std::unique_ptr<BMenuItem>> items;
};
