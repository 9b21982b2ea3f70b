#include "kits/interface/Control.h"

#include "kits/app/Message.h"
#include "kits/interface/ControlPrivate.h"
#include "kits/interface/Window.h"

BControl::BControl(BRect frame, const char* name, const char* label, BMessage* message,
    uint32 resizingMode, uint32 flags)
    :
    BView(frame, name, resizingMode, flags),
    label(label != nullptr ? label : ""),
    navigable((flags & B_NAVIGABLE) != 0)
{
    (void)SetMessage(message);
}

BControl::~BControl() = default;

void BControl::SetLabel(const char* newLabel)
{
    label = newLabel != nullptr ? newLabel : "";
    Invalidate();
}

const char* BControl::Label() const
{
    return label.c_str();
}

void BControl::SetValue(int32 newValue)
{
    if (newValue == value)
        return;
    value = newValue;
    Invalidate();
}

void BControl::SetValueNoUpdate(int32 newValue)
{
    value = newValue;
}

int32 BControl::Value() const
{
    return value;
}

void BControl::SetEnabled(bool enable)
{
    if (enable == enabled)
        return;
    enabled = enable;
    if (navigable)
        SetFlags(enabled ? Flags() | B_NAVIGABLE : Flags() & ~uint32(B_NAVIGABLE));
    if (!enabled && IsFocus())
        MakeFocus(false);
    Invalidate();
}

bool BControl::IsEnabled() const
{
    return enabled;
}

rgb_color BControl::TextColor() const
{
    return enabled ? kits::interface::TEXT_COLOR : kits::interface::DISABLED_TEXT_COLOR;
}

status_t BControl::Invoke(BMessage* with)
{
    if (!enabled)
        return B_NOT_ALLOWED;
    const BMessage* source = with != nullptr ? with : Message();
    if (source == nullptr)
        return B_BAD_VALUE;
    BMessage message(*source);
    kits::interface::AddInvokeFields(message, this);
    return BInvoker::Invoke(&message);
}

void BControl::MakeFocus(bool focus)
{
    if (focus == IsFocus() || (focus && !enabled))
        return;
    BView::MakeFocus(focus);
    Invalidate();
}

void BControl::AttachedToWindow()
{
    if (Parent() != nullptr)
        SetViewColor(Parent()->ViewColor());
    if (!HasTarget())
        (void)SetTarget(Window());
}
