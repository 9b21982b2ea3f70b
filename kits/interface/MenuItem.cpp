#include "kits/interface/MenuItem.h"

#include "kits/app/Handler.h"
#include "kits/app/Looper.h"
#include "kits/app/Message.h"
#include "kits/interface/Menu.h"
#include "kits/interface/MenuField.h"
#include "kits/interface/Window.h"

BMenuItem::BMenuItem(const char* label, BMessage* message, char shortcut, uint32 modifiers)
    :
    label(label != nullptr ? label : ""),
    message(message),
    shortcut(shortcut),
    modifiers(modifiers)
{
}

BMenuItem::BMenuItem(BMenu* submenu, BMessage* message)
    :
    label(submenu != nullptr ? submenu->Name() : ""),
    message(message),
    submenu(submenu),
    shortcut(0),
    modifiers(0)
{
    if (submenu != nullptr)
        submenu->superitem = this;
}

BMenuItem::~BMenuItem() = default;

void BMenuItem::SetLabel(const char* newLabel)
{
    label = newLabel != nullptr ? newLabel : "";
    if (menu != nullptr) {
        menu->LayoutItems();
        menu->ItemsChanged();
    }
}

const char* BMenuItem::Label() const
{
    return label.c_str();
}

BMenu* BMenuItem::Submenu() const
{
    return submenu.get();
}

BMenu* BMenuItem::Menu() const
{
    return menu;
}

void BMenuItem::SetMarked(bool mark)
{
    if (mark && menu != nullptr && menu->IsRadioMode()) {
        for (int32 i = 0; i < menu->CountItems(); i++) {
            BMenuItem* other = menu->ItemAt(i);
            if (other != this)
                other->marked = false;
        }
    }
    marked = mark;
    if (menu != nullptr)
        menu->ItemsChanged();
}

bool BMenuItem::IsMarked() const
{
    return marked;
}

void BMenuItem::SetEnabled(bool enable)
{
    enabled = enable;
    if (menu != nullptr)
        menu->ItemsChanged();
}

bool BMenuItem::IsEnabled() const
{
    return enabled && (submenu == nullptr || submenu->enabled)
        && (menu == nullptr || menu->IsEnabled());
}

char BMenuItem::Shortcut(uint32* outModifiers) const
{
    if (outModifiers != nullptr)
        *outModifiers = modifiers;
    return shortcut;
}

void BMenuItem::SetShortcut(char newShortcut, uint32 newModifiers)
{
    shortcut = newShortcut;
    modifiers = newModifiers;
    if (menu != nullptr) {
        menu->LayoutItems();
        menu->ItemsChanged();
    }
}

BMessage* BMenuItem::Message() const
{
    return message.get();
}

uint32 BMenuItem::Command() const
{
    return message != nullptr ? message->what : 0;
}

void BMenuItem::SetMessage(BMessage* newMessage)
{
    message.reset(newMessage);
}

status_t BMenuItem::SetTarget(BHandler* handler)
{
    status_t result;
    BMessenger messenger(handler, nullptr, &result);
    if (result != B_OK)
        return result;
    return SetTarget(messenger);
}

status_t BMenuItem::SetTarget(const BMessenger& messenger)
{
    target = messenger;
    hasTarget = true;
    return B_OK;
}

status_t BMenuItem::Invoke(BMessage* with)
{
    if (!IsEnabled())
        return B_NOT_ALLOWED;
    BMessage* send = with != nullptr ? with : message.get();
    if (send == nullptr)
        return B_BAD_VALUE;
    if (hasTarget)
        return target.SendMessage(send);
    BMenu* root = menu;
    while (root != nullptr && root->Supermenu() != nullptr)
        root = root->Supermenu();
    BWindow* window = root != nullptr ? root->Window() : nullptr;
    // A field's menu is shown by the field, in the field's window.
    if (window == nullptr && root != nullptr && root->field != nullptr)
        window = root->field->Window();
    if (window == nullptr)
        return B_BAD_HANDLER;
    return window->PostMessage(send);
}

BRect BMenuItem::Frame() const
{
    return frame;
}
