#pragma once
// Test hooks: answers BPopUpMenu::Go without showing anything.

#include "kits/kernel/Point.h"

#include <functional>

class BMenuItem;
class BPopUpMenu;

namespace kits::interface {

// Given the menu and the screen point it was to open at, the item to choose (any item of the
// menu or of its submenus, still owned by the menu) or null to close without a choice. Called
// on the thread that calls Go; must not call Go again.
using PopUpResponder = std::function<BMenuItem*(BPopUpMenu* menu, BPoint screenWhere)>;

// While a responder is set, every Go asks it instead of opening a window; an empty function
// removes it. Any thread may set it; it takes effect for the next Go.
void SetPopUpResponder(PopUpResponder responder);

}
