#include "channels/qvChannelItem.h"

#include "kits/interface/ListView.h"

BListView* presetList = nullptr;

qvChannelItem::qvChannelItem(const char* name, int32 channel)
    :
    BListItem(0, true),
    name(name),
    channel(channel)
{
}

qvChannelItem::~qvChannelItem() = default;

void qvChannelItem::DrawItem(BView* owner, BRect frame, bool)
{
    if (IsSelected())
        owner->SetLowColor(0, 0, 128);
    else
        owner->SetLowColor(255, 255, 255);
    owner->FillRect(frame, B_SOLID_LOW);
    if (!IsEnabled())
        owner->SetHighColor(128, 128, 128);
    else if (IsSelected())
        owner->SetHighColor(255, 255, 255);
    else
        owner->SetHighColor(0, 0, 0);

    const int32 number = (presetList != nullptr ? presetList->IndexOf(this) : -1) + 1;
    std::string label("P");
    if (number < 10)
        label.append("0");
    label.append(std::to_string(number));
    owner->MovePenTo(frame.left + 10, frame.bottom - 2);
    owner->DrawString(label.c_str());
    owner->MovePenTo(frame.left + 40, frame.bottom - 2);
    owner->DrawString(name.c_str());
}
