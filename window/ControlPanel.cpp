#include "window/ControlPanel.h"

#include "kits/app/Looper.h"
#include "kits/interface/InterfaceDefs.h"
#include "kits/interface/Window.h"
#include "window/Commands.h"

namespace {

// The command a key byte stands for, or 0 for none.
uint32 CommandForKey(uint8 key)
{
    switch (key) {
    case '+':
        return MSG_CHANNEL_UP;
    case '-':
        return MSG_CHANNEL_DOWN;
    case B_UP_ARROW:
        return MSG_VOLUME_UP;
    case B_DOWN_ARROW:
        return MSG_VOLUME_DOWN;
    case B_INSERT:
        return MSG_BRIGHTNESS_UP;
    case B_DELETE:
        return MSG_BRIGHTNESS_DOWN;
    case B_HOME:
        return MSG_CONTRAST_UP;
    case B_END:
        return MSG_CONTRAST_DOWN;
    case B_PAGE_UP:
        return MSG_SATURATION_UP;
    case B_PAGE_DOWN:
        return MSG_SATURATION_DOWN;
    default:
        return 0;
    }
}

// The flags the panel's drawing relies on: B_WILL_DRAW and B_FULL_UPDATE_ON_RESIZE among them.
constexpr uint32 PANEL_FLAGS = 0xa1000000;

}

ControlPanel::ControlPanel(BRect frame)
    :
    BView(frame, "ControlPanel", B_FOLLOW_LEFT | B_FOLLOW_TOP_BOTTOM, PANEL_FLAGS)
{
    SetViewColor(192, 192, 192, 0);
}

void ControlPanel::SetStationNumber(int32 number)
{
    stationNumber = number;
    Invalidate();
}

int32 ControlPanel::StationNumber() const
{
    return stationNumber;
}

void ControlPanel::KeyDown(const char* bytes, int32 numBytes)
{
    BWindow* window = Window();
    if (window == nullptr)
        return;
    for (int32 i = 0; i < numBytes; i++) {
        if (uint32 command = CommandForKey(uint8(bytes[i])); command != 0)
            window->PostMessage(command);
    }
}
