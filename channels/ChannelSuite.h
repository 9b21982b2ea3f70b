#pragma once
// ChannelSuite: the window for the station presets and the tuner; for now only finds the tuner.

#include "kits/interface/Window.h"
#include "kits/media/MediaDefs.h"

class BDiscreteParameter;
class TVView;

// The channel suite window, created hidden by the main window and living until the application
// ends (closing it only hides it). This version finds the capture card's tuner among the
// parameters of the default video input; the station list, tuning and its controls are still
// to come. Its message loop runs only when the card has a tuner: then the application object
// quits it when it ends; without one it never runs and the application object deletes it.
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

private:
    enum : int32 {
        TUNER_NO_WEB = 0,
        TUNER_UNUSABLE = 1,
        TUNER_PRESENT = 2,
    };

    // Sets tunerState, the three parameters and currentChannel from the video input's web.
    void DiscoverTuner();

    TVView* tvView;
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
