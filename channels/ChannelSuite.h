#pragma once
// ChannelSuite: the window for the station presets and the tuner; finds the tuner and zaps.

#include "kits/app/Messenger.h"
#include "kits/interface/Window.h"
#include "kits/media/MediaDefs.h"

#include <string>
#include <vector>

class BDiscreteParameter;
class TVView;

// The notice the channel suite posts to the video view's window when a station is selected.
enum : uint32 {
    // "Name": string, the station's preset name; "Preset": int32, its 1-based place in the list.
    MSG_STATION_CHANGED = 0x10015,
};

// The channel suite window, created hidden by the main window and living until the application
// ends (closing it only hides it). It finds the capture card's tuner among the parameters of the
// default video input, reads the station presets file "/boot/home/config/settings/Media/presets"
// when there is a tuner, and zaps through those presets; it shows no controls and leaves the
// file as it is. Its message loop runs only when the card has a tuner: then the application
// object quits it when it ends; without one it never runs and the application object deletes
// it.
//
// The presets and the selection belong to this window: ZapUp, ZapDown and GetPresetName are
// called from the main window's thread with this window locked. A zap tunes the selected preset
// afterwards on this window's thread and tells the video view's window the station's name and
// number (MSG_STATION_CHANGED).
//
// Lock order: the main window may lock this window while holding its own; this window never
// locks the main window.
class ChannelSuite : public BWindow {
public:
    // Finds the tuner, then writes 0 to *tunerStatus when the card has one and -1 when not.
    // view is the main window's video view, not owned; it may be null.
    ChannelSuite(TVView* view, int32* tunerStatus);
    // Gives back the reference to the video input node that discovery took.
    ~ChannelSuite() override;

    // Hides the window and keeps it.
    bool QuitRequested() override;
    // Tunes the preset a zap selected.
    void MessageReceived(BMessage* message) override;

    // Selects the next (previous) preset, wrapping at the ends of the list, and returns its
    // label, "P " and its 1-based number with at least two digits ("P 07", "P 12"). With
    // nothing selected ZapUp goes to the first preset and ZapDown to the last. Empty, with
    // nothing selected, when the card has no usable tuner or there are no presets.
    std::string ZapUp();
    std::string ZapDown();
    // Selects the preset at index, wrapped into the list, as ZapUp does.
    std::string Zap(int32 index);
    // The selected preset's name; empty without a tuner or a selection.
    std::string GetPresetName() const;
    // The video view is about to go: tuning reconnects nothing afterwards. Called with this
    // window locked, so that no tuning is under way meanwhile.
    void DetachTVView();

    // The number of presets read, and the selected one's place in the list (-1 for none).
    int32 CountPresets() const;
    int32 CurrentSelection() const;

private:
    // A station as the presets file stores it: positions in the items of the card's
    // "Channel", "Video Format" and "Audio Format" parameters (-1: leave the format alone).
    struct Preset {
        std::string name;
        int32 channel = 0;
        int32 videoFormat = -1;
        int32 audioFormat = -1;
    };

    enum : int32 {
        TUNER_NO_WEB = 0,
        TUNER_UNUSABLE = 1,
        TUNER_PRESENT = 2,
    };

    // Sets tunerState, the three parameters and currentChannel from the video input's web.
    void DiscoverTuner();
    // Reads the presets file into presets and selects the last preset on currentChannel; a
    // file that is missing or cannot be read leaves the list empty.
    void LoadPresets();
    // The current value of a format parameter, -1 without it or when it cannot be read.
    static int32 CurrentFormat(BDiscreteParameter* parameter);
    // Sets the formats that are given, then the channel (wrapped into the channel list), and
    // has the video view renegotiate its connection.
    void TuneChannel(int32 channel, int32 videoFormat, int32 audioFormat);

    // Null once DetachTVView was called.
    TVView* tvView;
    // The window of the video view, told of every station change.
    BMessenger mainWindow;
    std::vector<Preset> presets;
    int32 selected = -1;
    int32 currentChannel = 0;
    int32 tunerState = TUNER_UNUSABLE;
    // Parameters of the video input's web, which the media roster keeps for the life of the
    // process; null when the card lacks them.
    BDiscreteParameter* channelParam = nullptr;
    BDiscreteParameter* videoFormatParam = nullptr;
    BDiscreteParameter* audioFormatParam = nullptr;
    // The default video input; media_node::null when the roster offered none.
    media_node videoInput;
};
