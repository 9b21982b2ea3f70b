#pragma once
// Preferences: the window of the user's settings, holding their defaults and the stepped levels.

#include "kits/kernel/Point.h"
#include "kits/interface/Window.h"
#include "kits/media/MediaDefs.h"

class BContinuousParameter;

// The preferences window, created hidden with its loop running by the main window and living
// until the application ends (closing it only hides it; the application object quits it). It
// shows no pages and reads no settings file: its settings keep their defaults, and the levels
// it steps are held here rather than in sliders. It binds the card's "Brightness",
// "Contrast" and "Saturation" and the "Volume" of the audio output's "Line" source when the
// media nodes offer them. The accessors and StoreNewLocation are called from the main window's
// thread without a lock; each reads or writes one value that only that thread touches.
//
// Lock order: the main window may lock this window while holding its own; this window never
// locks the main window.
class Preferences : public BWindow {
public:
    // mainWindow is not owned and may be null; the stored location starts at its position.
    explicit Preferences(BWindow* mainWindow);
    // Gives back the references to the media nodes that binding the levels took.
    ~Preferences() override;

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

    // Level steps for the main window's commands, called on its thread: each moves its level by
    // 5 within its range, writes it to the node's parameter and returns the level in per cent
    // (0 to 100), truncated; 0, with nothing changed, when the nodes offer no such control. Each
    // takes this window's lock around the change.
    int32 VolumeUp();
    int32 VolumeDown();
    int32 BrightnessUp();
    int32 BrightnessDown();
    int32 ContrastUp();
    int32 ContrastDown();
    int32 SaturationUp();
    int32 SaturationDown();

    // Keeps the main window's top-left for the settings file.
    void StoreNewLocation(BPoint location);
    BPoint StoredLocation() const;

private:
    // One stepped level: a parameter of a media node and the position a slider would show,
    // within minimum to maximum. The parameter belongs to its web, which the media roster keeps
    // for the life of the process; null when the node does not offer it.
    struct Level {
        BContinuousParameter* parameter = nullptr;
        int32 position = 0;
        int32 minimum = 0;
        int32 maximum = 0;
    };

    void BindPicture();
    void BindVolume();
    // Moves a picture level (positions in the parameter's own units) or the volume (positions
    // in per cent of the parameter's range) by step; see VolumeUp.
    int32 StepPicture(Level& level, int32 step);
    int32 StepVolume(int32 step);

    BPoint storedLocation;
    // Positions guarded by this window's lock; the parameters are set during construction.
    Level brightness;
    Level contrast;
    Level saturation;
    Level volume;
    // Nodes whose webs the levels use; media_node::null when there is none.
    media_node videoInput;
    media_node audioOutput;
    int32 deInterlace = 0;
    bool subtitleFilter = false;
    int32 resolution = 0;
    bool tweakMode = true;
    bool adaptSync = true;
    bool doubleRefresh = true;
};
