#include "kits/interface/Screen.h"

#include "kits/interface/DisplayBackend.h"

#include <cstdlib>
#include <cstring>

BScreen::BScreen(screen_id id)
    :
    id(id)
{
}

BScreen::BScreen(BWindow*)
    :
    id(B_MAIN_SCREEN_ID)
{
}

bool BScreen::IsValid() const
{
    return id == B_MAIN_SCREEN_ID;
}

screen_id BScreen::ID() const
{
    return id;
}

status_t BScreen::SetToNext()
{
    return B_ERROR;
}

color_space BScreen::ColorSpace() const
{
    if (!IsValid())
        return B_NO_COLOR_SPACE;
    return color_space(kits::interface::Display().CurrentMode().space);
}

BRect BScreen::Frame() const
{
    if (!IsValid())
        return BRect();
    const display_mode mode = kits::interface::Display().CurrentMode();
    return BRect(0, 0, float(mode.virtual_width) - 1, float(mode.virtual_height) - 1);
}

status_t BScreen::GetMode(display_mode* mode) const
{
    if (mode == nullptr)
        return B_BAD_VALUE;
    if (!IsValid())
        return B_ERROR;
    *mode = kits::interface::Display().CurrentMode();
    return B_OK;
}

status_t BScreen::SetMode(display_mode* mode, bool)
{
    if (mode == nullptr)
        return B_BAD_VALUE;
    if (!IsValid())
        return B_ERROR;
    return kits::interface::Display().SetMode(*mode);
}

status_t BScreen::GetModeList(display_mode** list, uint32* count) const
{
    if (list == nullptr || count == nullptr)
        return B_BAD_VALUE;
    if (!IsValid())
        return B_ERROR;
    const std::vector<display_mode> modes = kits::interface::Display().ModeList();
    // malloc, as callers free the list with free().
    auto* copy = static_cast<display_mode*>(std::malloc(sizeof(display_mode) * modes.size()));
    if (copy == nullptr && !modes.empty())
        return B_NO_MEMORY;
    if (!modes.empty())
        std::memcpy(copy, modes.data(), sizeof(display_mode) * modes.size());
    *list = copy;
    *count = uint32(modes.size());
    return B_OK;
}

status_t BScreen::WaitForRetrace()
{
    return WaitForRetrace(B_INFINITE_TIMEOUT);
}

status_t BScreen::WaitForRetrace(bigtime_t timeout)
{
    if (!IsValid())
        return B_ERROR;
    return kits::interface::Display().WaitForRetrace(timeout);
}
