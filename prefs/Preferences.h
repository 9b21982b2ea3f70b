#pragma once
// Preferences: the window of the user's settings; for now holds the defaults of the settings.

#include "kits/interface/Point.h"
#include "kits/interface/Window.h"

// The preferences window, created hidden with its loop running by the main window and living
// until the application ends (closing it only hides it; the application object quits it). This
// version has no pages and reads no settings file yet: its settings keep their defaults. The
// accessors and StoreNewLocation are called from the main window's thread without a lock; each
// reads or writes one value that only that thread touches.
//
// Lock order: the main window may lock this window while holding its own; this window never
// locks the main window.
class Preferences : public BWindow {
public:
    // mainWindow is not owned and may be null; the stored location starts at its position.
    explicit Preferences(BWindow* mainWindow);

    // Hides the window and keeps it.
    bool QuitRequested() override;

    // 0 none, 1 single field, 2 dual field interpolation.
    int32 GetDeInterlace() const;
    bool GetSubtitleFtr() const;
    // Full-screen resolution: 0 optimal, 1 640 x 480, 2 800 x 600, 3 1024 x 768.
    int32 GetResolution() const;
    bool GetTweakMode() const;
    bool GetAdaptSync() const;
    bool GetDblRefresh() const;

    // Keeps the main window's top-left for the settings file.
    void StoreNewLocation(BPoint location);
    BPoint StoredLocation() const;

private:
    BPoint storedLocation;
    int32 deInterlace = 0;
    bool subtitleFilter = false;
    int32 resolution = 0;
    bool tweakMode = true;
    bool adaptSync = true;
    bool doubleRefresh = true;
};
