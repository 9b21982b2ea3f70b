#include "kits/interface/Menu.h"

#include "kits/app/Message.h"
#include "kits/interface/InterfaceDefs.h"
#include "kits/interface/MenuField.h"
#include "kits/interface/MenuItem.h"
#include "kits/interface/SeparatorItem.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string>

namespace {

// Room around a label in a row, and the columns of an item in a column: the mark, the label,
// the shortcut and the submenu arrow.
constexpr float ROW_PADDING = 8;
constexpr float MARK_COLUMN = 18;
constexpr float SHORTCUT_GAP = 24;
constexpr float ARROW_COLUMN = 14;
constexpr float RIGHT_PADDING = 10;
constexpr float SEPARATOR_HEIGHT = 7;

constexpr rgb_color ROW_BACKGROUND = {219, 219, 219, 255};
constexpr rgb_color COLUMN_BACKGROUND = {240, 240, 240, 255};
constexpr rgb_color BORDER = {120, 120, 120, 255};
constexpr rgb_color SEPARATOR = {160, 160, 160, 255};
constexpr rgb_color HIGHLIGHT = {70, 110, 200, 255};
constexpr rgb_color TEXT = {0, 0, 0, 255};
constexpr rgb_color HIGHLIGHTED_TEXT = {255, 255, 255, 255};
constexpr rgb_color DISABLED_TEXT = {150, 150, 150, 255};

font_height MenuFontHeight()
{
    font_height height;
    be_plain_font->GetHeight(&height);
    return height;
}

// Pixels of one line of menu text with its margins.
float ItemHeight()
{
    const font_height height = MenuFontHeight();
    return std::ceil(height.ascent + height.descent) + 6;
}

// Ctrl and Alt both act as the Command key; the menus show the one Linux users expect.
std::string ShortcutText(const BMenuItem& item)
{
    uint32 modifiers;
    const char shortcut = item.Shortcut(&modifiers);
    if (shortcut == 0)
        return "";
    std::string text = "Ctrl+";
    if ((modifiers & B_SHIFT_KEY) != 0)
        text += "Shift+";
    if (shortcut == '\n')
        text += "Enter";
    else
        text += char(std::toupper(uint8(shortcut)));
    return text;
}

bool IsSeparator(const BMenuItem* item)
{
    return dynamic_cast<const BSeparatorItem*>(item) != nullptr;
}

}

BMenu::BMenu(const char* name, menu_layout layout)
    :
    BView(BRect(0, 0, 0, 0), name, B_FOLLOW_LEFT | B_FOLLOW_TOP, B_WILL_DRAW),
    resizeToFit(true),
    layout(layout)
{
}

BMenu::BMenu(BRect frame, const char* name, uint32 resizingMode, uint32 flags,
    menu_layout layout, bool resizeToFit)
    :
    BView(frame, name, resizingMode, flags),
    resizeToFit(resizeToFit),
    layout(layout)
{
}

BMenu::~BMenu()
{
    // Items ask their menu about itself while they go: let them go before the menu does.
    items.clear();
}

bool BMenu::AddItem(BMenuItem* item)
{
    return InsertItem(item, CountItems());
}

bool BMenu::AddItem(BMenuItem* item, int32 index)
{
    return InsertItem(item, index);
}

bool BMenu::AddItem(BMenu* submenu)
{
    return AddItem(submenu, CountItems());
}

bool BMenu::AddItem(BMenu* submenu, int32 index)
{
    if (submenu == nullptr || submenu->superitem != nullptr || index < 0
        || index > CountItems()) {
        return false;
    }
    return InsertItem(new BMenuItem(submenu), index);
}

bool BMenu::AddSeparatorItem()
{
    return AddItem(new BSeparatorItem);
}

bool BMenu::InsertItem(BMenuItem* item, int32 index)
{
    if (item == nullptr || item->menu != nullptr || index < 0 || index > CountItems())
        return false;
    for (const BMenu* ancestor = this; ancestor != nullptr; ancestor = ancestor->Supermenu()) {
        if (ancestor == item->Submenu())
            return false;
    }
    items.insert(items.begin() + index, std::unique_ptr<BMenuItem>(item));
    item->menu = this;
    if (item->marked && radioMode)
        item->SetMarked(true);
    LayoutItems();
    ItemsChanged();
    return true;
}

BMenuItem* BMenu::RemoveItem(int32 index)
{
    if (index < 0 || index >= CountItems())
        return nullptr;
    BMenuItem* item = items[size_t(index)].release();
    items.erase(items.begin() + index);
    item->menu = nullptr;
    LayoutItems();
    ItemsChanged();
    return item;
}

bool BMenu::RemoveItem(BMenuItem* item)
{
    return RemoveItem(IndexOf(item)) != nullptr;
}

BMenuItem* BMenu::ItemAt(int32 index) const
{
    if (index < 0 || index >= CountItems())
        return nullptr;
    return items[size_t(index)].get();
}

int32 BMenu::CountItems() const
{
    return int32(items.size());
}

int32 BMenu::IndexOf(BMenuItem* item) const
{
    for (size_t i = 0; i < items.size(); i++) {
        if (items[i].get() == item)
            return int32(i);
    }
    return -1;
}

int32 BMenu::IndexOf(BMenu* submenu) const
{
    for (size_t i = 0; i < items.size(); i++) {
        if (submenu != nullptr && items[i]->Submenu() == submenu)
            return int32(i);
    }
    return -1;
}

BMenuItem* BMenu::FindItem(const char* label) const
{
    if (label == nullptr)
        return nullptr;
    for (const auto& item : items) {
        if (!IsSeparator(item.get()) && std::strcmp(item->Label(), label) == 0)
            return item.get();
        if (item->Submenu() != nullptr) {
            if (BMenuItem* found = item->Submenu()->FindItem(label); found != nullptr)
                return found;
        }
    }
    return nullptr;
}

BMenuItem* BMenu::FindItem(uint32 command) const
{
    for (const auto& item : items) {
        if (item->Message() != nullptr && item->Command() == command)
            return item.get();
        if (item->Submenu() != nullptr) {
            if (BMenuItem* found = item->Submenu()->FindItem(command); found != nullptr)
                return found;
        }
    }
    return nullptr;
}

BMenuItem* BMenu::FindMarked() const
{
    for (const auto& item : items) {
        if (item->IsMarked())
            return item.get();
    }
    return nullptr;
}

void BMenu::SetRadioMode(bool on)
{
    radioMode = on;
    if (!on)
        return;
    // Keep the first marked item only.
    bool seen = false;
    for (auto& item : items) {
        if (item->marked && seen)
            item->marked = false;
        seen = seen || item->marked;
    }
    ItemsChanged();
}

bool BMenu::IsRadioMode() const
{
    return radioMode;
}

void BMenu::SetEnabled(bool enable)
{
    enabled = enable;
    ItemsChanged();
}

bool BMenu::IsEnabled() const
{
    return enabled
        && (superitem == nullptr || superitem->menu == nullptr || superitem->IsEnabled());
}

menu_layout BMenu::Layout() const
{
    return layout;
}

BMenu* BMenu::Supermenu() const
{
    return superitem != nullptr ? superitem->menu : nullptr;
}

BMenuItem* BMenu::Superitem() const
{
    return superitem;
}

void BMenu::LayoutItems()
{
    const font_height height = MenuFontHeight();
    if (layout == B_ITEMS_IN_ROW) {
        const float bottom = std::max(Bounds().bottom,
            std::ceil(height.ascent + height.descent) + 5);
        float x = 0;
        for (auto& item : items) {
            const float width = std::ceil(be_plain_font->StringWidth(item->Label()))
                + 2 * ROW_PADDING;
            item->frame = BRect(x, 0, x + width - 1, bottom);
            x += width;
        }
        return;
    }
    float labelWidth = 0;
    float shortcutWidth = 0;
    bool hasSubmenu = false;
    for (const auto& item : items) {
        labelWidth = std::max(labelWidth, std::ceil(be_plain_font->StringWidth(item->Label())));
        shortcutWidth = std::max(shortcutWidth,
            std::ceil(be_plain_font->StringWidth(ShortcutText(*item).c_str())));
        hasSubmenu = hasSubmenu || item->Submenu() != nullptr;
    }
    const float width = MARK_COLUMN + labelWidth + (shortcutWidth > 0 ? SHORTCUT_GAP : 0)
        + shortcutWidth + (hasSubmenu ? ARROW_COLUMN : 0) + RIGHT_PADDING;
    // One pixel of border all round.
    float y = 1;
    for (auto& item : items) {
        const float itemHeight = IsSeparator(item.get()) ? SEPARATOR_HEIGHT : ItemHeight();
        item->frame = BRect(1, y, width, y + itemHeight - 1);
        y += itemHeight;
    }
}

BRect BMenu::LaidOutBounds()
{
    LayoutItems();
    if (layout == B_ITEMS_IN_ROW) {
        const font_height height = MenuFontHeight();
        const float right = items.empty() ? 0 : items.back()->frame.right;
        return BRect(0, 0, right, std::ceil(height.ascent + height.descent) + 5);
    }
    float right = MARK_COLUMN + RIGHT_PADDING;
    float bottom = 1;
    for (const auto& item : items) {
        right = std::max(right, item->frame.right);
        bottom = item->frame.bottom + 1;
    }
    return BRect(0, 0, right + 1, bottom);
}

BMenuItem* BMenu::ItemAtPoint(BPoint point) const
{
    for (const auto& item : items) {
        if (item->frame.Contains(point))
            return item.get();
    }
    return nullptr;
}

void BMenu::ItemsChanged()
{
    for (BMenu* menu = this; menu != nullptr; menu = menu->Supermenu()) {
        if (menu->Window() != nullptr)
            menu->Invalidate();
        if (menu->field != nullptr)
            menu->field->MenuChanged();
    }
}

void BMenu::Draw(BRect)
{
    LayoutItems();
    DrawItems(*this, nullptr);
}

void BMenu::DrawItems(BView& view, const BMenuItem* highlighted)
{
    const font_height height = MenuFontHeight();
    const bool row = layout == B_ITEMS_IN_ROW;
    view.SetFont(be_plain_font);
    view.SetHighColor(row ? ROW_BACKGROUND : COLUMN_BACKGROUND);
    view.FillRect(view.Bounds());
    if (!row) {
        view.SetHighColor(BORDER);
        view.StrokeRect(view.Bounds());
    }
    for (const auto& item : items) {
        const BRect frame = item->frame;
        if (IsSeparator(item.get())) {
            const float middle = std::floor((frame.top + frame.bottom) / 2);
            view.SetHighColor(SEPARATOR);
            view.FillRect(BRect(frame.left + 4, middle, frame.right - 4, middle));
            continue;
        }
        const bool enabledItem = item->IsEnabled();
        const bool lit = item.get() == highlighted && enabledItem;
        if (lit) {
            view.SetHighColor(HIGHLIGHT);
            view.FillRect(frame);
        }
        view.SetHighColor(!enabledItem ? DISABLED_TEXT : lit ? HIGHLIGHTED_TEXT : TEXT);
        const float baseline = frame.top + 3 + std::round(height.ascent);
        view.DrawString(item->Label(),
            BPoint(frame.left + (row ? ROW_PADDING : MARK_COLUMN), baseline));
        if (row)
            continue;
        if (item->IsMarked()) {
            const float middle = std::floor((frame.top + frame.bottom) / 2);
            view.FillRect(BRect(frame.left + 5, middle - 3, frame.left + 11, middle + 3));
        }
        float right = frame.right - RIGHT_PADDING;
        if (item->Submenu() != nullptr) {
            view.DrawString(">", BPoint(right - view.StringWidth(">"), baseline));
            right -= ARROW_COLUMN;
        }
        const std::string shortcut = ShortcutText(*item);
        if (!shortcut.empty())
            view.DrawString(shortcut.c_str(), BPoint(right - view.StringWidth(shortcut.c_str()),
                baseline));
    }
}
