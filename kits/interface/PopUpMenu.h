#pragma once
// BPopUpMenu: a menu that opens where it is asked to and answers with the item chosen.

#include "kits/interface/Menu.h"

// A pop-up is owned by whoever creates it and is changed by one thread at a time. Go shows it in
// a small window of its own at a point of the screen; the synchronous form blocks its caller
// until the user chooses or closes the menu, so the caller's window (if any) draws nothing
// meanwhile. Tests answer pop-ups without a display through
// kits/interface/PopUpMenuTestHooks.h.
class BPopUpMenu : public BMenu {
public:
    // labelFromMarked asks a field showing the menu to show the marked item's label.
    explicit BPopUpMenu(const char* name, bool radioMode = true, bool labelFromMarked = true,
        menu_layout layout = B_ITEMS_IN_COLUMN);
    ~BPopUpMenu() override;

    // Opens the menu with its top-left at screenWhere. Synchronous (async false): returns the
    // chosen item (still owned by the menu), or null when the menu closed without a choice;
    // with deliversMessage the item is invoked too. Asynchronous: returns null at once and
    // invokes the chosen item later; the menu must then outlive the choice. openAnyway opens
    // an empty menu too (otherwise an empty menu returns null at once).
    BMenuItem* Go(BPoint screenWhere, bool deliversMessage = false, bool openAnyway = false,
        bool async = false);

    bool IsLabelFromMarked() const;
    void SetLabelFromMarked(bool on);

private:
    bool labelFromMarked;
};
