// Lock order: the main window's lock before this window's; this window never locks the main one.
#include "prefs/Preferences.h"

namespace {

constexpr BRect PREFERENCES_FRAME(100, 100, 550, 350);

}

Preferences::Preferences(BWindow* mainWindow)
    :
    BWindow(PREFERENCES_FRAME, "Ovelin Preferences", B_TITLED_WINDOW,
        B_NOT_RESIZABLE | B_NOT_ZOOMABLE)
{
    // Where the main window opened is what the settings keep until it moves.
    if (mainWindow != nullptr)
        storedLocation = mainWindow->Frame().LeftTop();
    Lock();
    // Showing and hiding at once starts the loop while the window stays invisible.
    Show();
    Hide();
    Unlock();
}

bool Preferences::QuitRequested()
{
    while (!IsHidden())
        Hide();
    return false;
}

int32 Preferences::GetDeInterlace() const
{
    return deInterlace;
}

bool Preferences::GetSubtitleFtr() const
{
    return subtitleFilter;
}

int32 Preferences::GetResolution() const
{
    return resolution;
}

bool Preferences::GetTweakMode() const
{
    return tweakMode;
}

bool Preferences::GetAdaptSync() const
{
    return adaptSync;
}

bool Preferences::GetDblRefresh() const
{
    return doubleRefresh;
}

void Preferences::StoreNewLocation(BPoint location)
{
    storedLocation = location;
}

BPoint Preferences::StoredLocation() const
{
    return storedLocation;
}
