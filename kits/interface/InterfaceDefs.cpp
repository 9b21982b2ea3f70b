#include "kits/interface/InterfaceDefs.h"

#include "kits/interface/DisplayBackend.h"

int32 current_workspace()
{
    return kits::interface::Display().CurrentWorkspace();
}

rgb_color ui_color(color_which which)
{
    switch (which) {
    case B_PANEL_BACKGROUND_COLOR:
        return rgb_color{216, 216, 216, 255};
    case B_MENU_BACKGROUND_COLOR:
        return rgb_color{219, 219, 219, 255};
    }
    return rgb_color{0, 0, 0, 255};
}
