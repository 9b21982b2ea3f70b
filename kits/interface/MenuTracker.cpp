#include "kits/interface/MenuTracker.h"

#include "kits/app/AppDefs.h"
#include "kits/app/Message.h"
#include "kits/interface/InterfaceDefs.h"
#include "kits/interface/Menu.h"
#include "kits/interface/MenuBar.h"
#include "kits/interface/MenuItem.h"
#include "kits/interface/SeparatorItem.h"
#include "kits/interface/Window.h"

#include <algorithm>
#include <cctype>

namespace kits::interface {

namespace {

bool IsChoosable(const BMenuItem* item)
{
    return item != nullptr && item->IsEnabled()
        && dynamic_cast<const BSeparatorItem*>(item) == nullptr;
}

// A view's frame in its window's coordinates.
BRect WindowFrameOf(const BView& view, const BWindow& window)
{
    BRect frame = view.Bounds();
    frame.OffsetBy(view.ConvertToScreen(B_ORIGIN) - window.Frame().LeftTop());
    return frame;
}

BMenuItem* FindShortcut(BMenu& menu, char key, uint32 modifiers)
{
    for (int32 i = 0; i < menu.CountItems(); i++) {
        BMenuItem* item = menu.ItemAt(i);
        if (item->Submenu() != nullptr) {
            if (BMenuItem* found = FindShortcut(*item->Submenu(), key, modifiers))
                return found;
            continue;
        }
        uint32 wanted;
        const char shortcut = item->Shortcut(&wanted);
        wanted &= ~uint32(B_COMMAND_KEY);
        if (shortcut != 0 && std::tolower(uint8(shortcut)) == std::tolower(uint8(key))
            && (modifiers & wanted) == wanted && item->IsEnabled()) {
            return item;
        }
    }
    return nullptr;
}

}

MenuDropDown::MenuDropDown(BMenu* menu, BPoint leftTop)
    :
    BView(menu->LaidOutBounds(), "menu drop-down", B_FOLLOW_NONE, B_WILL_DRAW),
    menu(menu)
{
    MoveTo(leftTop);
}

void MenuDropDown::SetHighlighted(const BMenuItem* item)
{
    if (item == highlighted)
        return;
    highlighted = item;
    Invalidate();
}

BMenuItem* MenuDropDown::ItemAt(BPoint point) const
{
    return menu->ItemAtPoint(point);
}

void MenuDropDown::Draw(BRect)
{
    menu->LayoutItems();
    menu->DrawItems(*this, highlighted);
}

MenuTracker::MenuTracker(BWindow* window, BMenuBar* bar, ChoiceFunction choice)
    :
    window(window),
    bar(bar),
    choice(std::move(choice))
{
}

MenuTracker::~MenuTracker()
{
    CloseFrom(0);
}

void MenuTracker::Open(BMenu* menu, BPoint leftTop)
{
    CloseFrom(0);
    auto* view = new MenuDropDown(menu, leftTop);
    // Inside the window where it fits.
    const BRect bounds = window->Bounds();
    const BRect frame = view->Frame();
    view->MoveTo(std::max(0.0f, std::min(frame.left, bounds.right - frame.Width())),
        std::max(0.0f, std::min(frame.top, bounds.bottom - frame.Height())));
    window->AddChild(view);
    levels.push_back(view);
    window->menuTracker = this;
    if (bar != nullptr)
        bar->Invalidate();
}

void MenuTracker::CloseFrom(size_t index)
{
    while (levels.size() > index) {
        MenuDropDown* view = levels.back();
        levels.pop_back();
        window->RemoveChild(view);
        delete view;
    }
    if (levels.empty() && window->menuTracker == this)
        window->menuTracker = nullptr;
}

void MenuTracker::Close()
{
    const bool wasOpen = IsOpen();
    CloseFrom(0);
    if (!wasOpen)
        return;
    if (bar != nullptr)
        bar->Invalidate();
    // Last: the choice function may end this tracker.
    if (choice)
        choice(nullptr);
}

bool MenuTracker::IsOpen() const
{
    return !levels.empty();
}

BMenu* MenuTracker::OpenMenu() const
{
    return levels.empty() ? nullptr : levels.front()->ShownMenu();
}

int32 MenuTracker::CountLevels() const
{
    return int32(levels.size());
}

MenuDropDown* MenuTracker::LevelAt(int32 index) const
{
    return index >= 0 && size_t(index) < levels.size() ? levels[size_t(index)] : nullptr;
}

void MenuTracker::OpenSubmenu(size_t level, BMenuItem* item)
{
    if (levels.size() > level + 1 && levels[level + 1]->ShownMenu() == item->Submenu())
        return;
    CloseFrom(level + 1);
    const BRect parent = levels[level]->Frame();
    auto* view = new MenuDropDown(item->Submenu(),
        BPoint(parent.right + 1, parent.top + item->Frame().top - 1));
    // Beside its parent level: on the right where it fits, else on the left, else as far right
    // as the window allows.
    const BRect bounds = window->Bounds();
    const BRect frame = view->Frame();
    if (frame.right > bounds.right) {
        const float left = parent.left - frame.Width() - 1;
        view->MoveTo(left >= 0 ? left : std::max(0.0f, bounds.right - frame.Width()),
            frame.top);
    }
    window->AddChild(view);
    levels.push_back(view);
}

void MenuTracker::Choose(BMenuItem* item)
{
    if (item->Menu() != nullptr && item->Menu()->IsRadioMode())
        item->SetMarked(true);
    CloseFrom(0);
    if (bar != nullptr)
        bar->Invalidate();
    // Last: the choice function may end this tracker.
    if (choice)
        choice(item);
}

int32 MenuTracker::LevelAtPoint(BPoint where, BPoint& local) const
{
    for (size_t i = levels.size(); i-- > 0;) {
        if (levels[i]->Frame().Contains(where)) {
            local = where - levels[i]->Frame().LeftTop();
            return int32(i);
        }
    }
    return -1;
}

bool MenuTracker::FilterInput(BMessage* message)
{
    if (!IsOpen())
        return false;
    switch (message->what) {
    case B_MOUSE_DOWN:
    case B_MOUSE_MOVED: {
        BPoint where;
        if (message->FindPoint("where", &where) != B_OK)
            return message->what == B_MOUSE_DOWN;
        BPoint local;
        const int32 level = LevelAtPoint(where, local);
        if (level < 0) {
            if (bar != nullptr && !bar->IsHidden()
                && WindowFrameOf(*bar, *window).Contains(where)) {
                if (message->what == B_MOUSE_MOVED) {
                    BMenuItem* title = bar->ItemAtPoint(bar->ConvertFromScreen(where
                        + window->Frame().LeftTop()));
                    if (title != nullptr && title->Submenu() != nullptr
                        && title->Submenu() != OpenMenu() && title->IsEnabled()) {
                        bar->Open(title);
                    }
                    return true;
                }
                // The bar itself switches or closes its menus.
                return false;
            }
            if (message->what == B_MOUSE_DOWN)
                Close();
            return message->what == B_MOUSE_DOWN;
        }
        MenuDropDown* view = levels[size_t(level)];
        BMenuItem* item = view->ItemAt(local);
        if (!IsChoosable(item)) {
            if (message->what == B_MOUSE_MOVED) {
                view->SetHighlighted(nullptr);
            }
            return true;
        }
        view->SetHighlighted(item);
        if (item->Submenu() != nullptr)
            OpenSubmenu(size_t(level), item);
        else if (message->what == B_MOUSE_DOWN)
            Choose(item);
        else
            CloseFrom(size_t(level) + 1);
        return true;
    }
    case B_KEY_DOWN: {
        const char* bytes = nullptr;
        if (message->FindString("bytes", &bytes) == B_OK)
            HandleKey(bytes);
        return true;
    }
    case B_WINDOW_ACTIVATED: {
        bool active;
        if (message->FindBool("active", &active) == B_OK && !active)
            Close();
        return false;
    }
    default:
        return false;
    }
}

bool MenuTracker::HandleKey(const char* bytes)
{
    MenuDropDown* view = levels.back();
    BMenu* menu = view->ShownMenu();
    const BMenuItem* current = view->Highlighted();
    switch (uint8(bytes[0])) {
    case B_ESCAPE:
        Close();
        return true;
    case B_UP_ARROW:
    case B_DOWN_ARROW: {
        const int32 count = menu->CountItems();
        const int32 step = uint8(bytes[0]) == B_DOWN_ARROW ? 1 : count - 1;
        int32 index = current != nullptr ? menu->IndexOf(const_cast<BMenuItem*>(current))
            : (step == 1 ? count - 1 : 0);
        for (int32 tried = 0; tried < count; tried++) {
            index = (index + step) % count;
            if (IsChoosable(menu->ItemAt(index))) {
                view->SetHighlighted(menu->ItemAt(index));
                break;
            }
        }
        return true;
    }
    case B_LEFT_ARROW:
        if (levels.size() > 1)
            CloseFrom(levels.size() - 1);
        return true;
    case B_RIGHT_ARROW:
    case B_ENTER:
    case B_SPACE: {
        BMenuItem* item = const_cast<BMenuItem*>(current);
        if (!IsChoosable(item))
            return true;
        if (item->Submenu() != nullptr)
            OpenSubmenu(levels.size() - 1, item);
        else if (uint8(bytes[0]) != B_RIGHT_ARROW)
            Choose(item);
        return true;
    }
    default:
        return true;
    }
}

bool InvokeShortcut(BMenu& menu, const BMessage& key)
{
    const char* bytes = nullptr;
    int32 modifiers = 0;
    if (key.FindString("bytes", &bytes) != B_OK || bytes[0] == '\0'
        || key.FindInt32("modifiers", &modifiers) != B_OK
        || (uint32(modifiers) & B_COMMAND_KEY) == 0 || !menu.IsEnabled()) {
        return false;
    }
    BMenuItem* item = FindShortcut(menu, bytes[0], uint32(modifiers));
    return item != nullptr && item->Invoke() == B_OK;
}

}
