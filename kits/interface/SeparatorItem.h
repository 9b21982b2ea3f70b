#pragma once
// BSeparatorItem: a line between groups of items in a menu.

#include "kits/interface/MenuItem.h"

// Never enabled, never marked, sends nothing. Owned by its menu like any item.
class BSeparatorItem : public BMenuItem {
public:
    BSeparatorItem();
    ~BSeparatorItem() override;

    void SetEnabled(bool enabled) override;
    void SetMarked(bool marked) override;
};
