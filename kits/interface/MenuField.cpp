#include "kits/interface/MenuField.h"

#include "kits/interface/ControlPrivate.h"
#include "kits/interface/InterfaceDefs.h"
#include "kits/interface/Menu.h"
#include "kits/interface/MenuItem.h"
#include "kits/interface/MenuTracker.h"
#include "kits/interface/PopUpMenu.h"
#include "kits/interface/Window.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float TEXT_INSET = 6;
// Room for the arrow at the box's right end.
constexpr float ARROW_ROOM = 14;

float LabelDivider(const std::string& label)
{
    return !label.empty() ? std::ceil(be_plain_font->StringWidth(label.c_str())) + 6 : 0;
}

}

BMenuField::BMenuField(BRect frame, const char* name, const char* label, BMenu* menu,
    bool fixedSize, uint32 resizingMode, uint32 flags)
    :
    BView(frame, name, resizingMode, flags),
    label(label != nullptr ? label : ""),
    divider(LabelDivider(this->label)),
    fixedSize(fixedSize),
    navigable((flags & B_NAVIGABLE) != 0),
    menuItem(std::make_unique<BMenuItem>(menu))
{
    if (menu != nullptr) {
        menu->field = this;
        MenuChanged();
    }
}

BMenuField::BMenuField(BRect frame, const char* name, const char* label, BMenu* menu,
    uint32 resizingMode, uint32 flags)
    :
    BMenuField(frame, name, label, menu, false, resizingMode, flags)
{
}

BMenuField::~BMenuField()
{
    tracker.reset();
    if (Menu() != nullptr)
        Menu()->field = nullptr;
}

BMenu* BMenuField::Menu() const
{
    return menuItem->Submenu();
}

BMenuItem* BMenuField::MenuItem() const
{
    return menuItem.get();
}

void BMenuField::SetLabel(const char* newLabel)
{
    label = newLabel != nullptr ? newLabel : "";
    if (!dividerSet)
        divider = LabelDivider(label);
    Invalidate();
}

const char* BMenuField::Label() const
{
    return label.c_str();
}

void BMenuField::SetDivider(float newDivider)
{
    divider = newDivider;
    dividerSet = true;
    Invalidate();
}

float BMenuField::Divider() const
{
    return divider;
}

void BMenuField::SetEnabled(bool enable)
{
    if (enable == enabled)
        return;
    enabled = enable;
    if (navigable)
        SetFlags(enabled ? Flags() | B_NAVIGABLE : Flags() & ~uint32(B_NAVIGABLE));
    if (Menu() != nullptr)
        Menu()->SetEnabled(enable);
    if (!enabled) {
        if (tracker != nullptr)
            tracker->Close();
        if (IsFocus())
            MakeFocus(false);
    }
    Invalidate();
}

bool BMenuField::IsEnabled() const
{
    return enabled;
}

BRect BMenuField::MenuFrame() const
{
    BRect box = Bounds();
    box.left = std::min(divider, box.right);
    if (!fixedSize) {
        const float needed = std::ceil(StringWidth(menuItem->Label())) + TEXT_INSET + ARROW_ROOM;
        box.right = std::min(box.right, box.left + needed);
    }
    return box;
}

void BMenuField::MenuChanged()
{
    auto* popUp = dynamic_cast<BPopUpMenu*>(Menu());
    if (popUp != nullptr && popUp->IsLabelFromMarked()) {
        if (BMenuItem* marked = popUp->FindMarked())
            menuItem->SetLabel(marked->Label());
    }
    Invalidate();
}

void BMenuField::AttachedToWindow()
{
    if (Parent() != nullptr)
        SetViewColor(Parent()->ViewColor());
    tracker = std::make_unique<kits::interface::MenuTracker>(Window(), nullptr,
        [this](BMenuItem* item) {
            Invalidate();
            if (item != nullptr)
                (void)item->Invoke();
        });
}

void BMenuField::DetachedFromWindow()
{
    tracker.reset();
}

void BMenuField::Draw(BRect)
{
    BFont font;
    GetFont(&font);
    font_height height;
    font.GetHeight(&height);
    const BRect bounds = Bounds();
    const float baseline = std::floor(
        (bounds.Height() + 1 - (height.ascent + height.descent)) / 2 + height.ascent);
    const rgb_color text
        = enabled ? kits::interface::TEXT_COLOR : kits::interface::DISABLED_TEXT_COLOR;
    SetHighColor(text);
    if (!label.empty())
        DrawString(label.c_str(), BPoint(0, baseline));

    const BRect box = MenuFrame();
    SetHighColor(kits::interface::PANEL_COLOR);
    FillRect(box);
    kits::interface::StrokeRaised(*this, box);
    if (IsFocus()) {
        SetHighColor(kits::interface::NAVIGATION_COLOR);
        StrokeLine(BPoint(box.left + 2, box.bottom - 2), BPoint(box.right - 2, box.bottom - 2));
    }
    SetHighColor(text);
    DrawString(menuItem->Label(), BPoint(box.left + TEXT_INSET, baseline));
    // A small arrow pointing down says that a menu opens here.
    const float middle = std::floor((box.top + box.bottom) / 2);
    const float right = box.right - 5;
    FillTriangle(BPoint(right - 6, middle - 1), BPoint(right, middle - 1),
        BPoint(right - 3, middle + 2));
}

void BMenuField::OpenMenu()
{
    if (tracker == nullptr || Menu() == nullptr || !enabled)
        return;
    const BRect box = MenuFrame();
    tracker->Open(Menu(),
        ConvertToScreen(BPoint(box.left, box.bottom + 1)) - Window()->Frame().LeftTop());
}

void BMenuField::MouseDown(BPoint where)
{
    if (!enabled)
        return;
    MakeFocus();
    if (MenuFrame().Contains(where))
        OpenMenu();
}

void BMenuField::KeyDown(const char* bytes, int32 numBytes)
{
    if (numBytes == 1
        && (bytes[0] == B_SPACE || bytes[0] == B_ENTER || uint8(bytes[0]) == B_DOWN_ARROW)) {
        OpenMenu();
        return;
    }
    BView::KeyDown(bytes, numBytes);
}

void BMenuField::MakeFocus(bool focus)
{
    if (focus == IsFocus() || (focus && !enabled))
        return;
    BView::MakeFocus(focus);
    Invalidate();
}
