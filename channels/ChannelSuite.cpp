// Lock order: the main window's lock before this window's; this window never locks the main one.
#include "channels/ChannelSuite.h"

#include "kits/media/MediaRoster.h"
#include "kits/media/ParameterWeb.h"

#include <cstring>

namespace {

constexpr BRect SUITE_FRAME(50, 100, 360, 400);

// Whether name begins with prefix: the card may add to its parameters' names.
bool HasPrefix(const char* name, const char* prefix)
{
    return std::strncmp(name, prefix, std::strlen(prefix)) == 0;
}

BDiscreteParameter* AsDiscrete(BParameter* parameter)
{
    return dynamic_cast<BDiscreteParameter*>(parameter);
}

}

ChannelSuite::ChannelSuite(TVView* view, int32* tunerStatus)
    :
    BWindow(SUITE_FRAME, "Channel Suite", B_TITLED_WINDOW, B_NOT_RESIZABLE | B_NOT_ZOOMABLE),
    tvView(view)
{
    DiscoverTuner();
    Lock();
    if (tunerState != TUNER_PRESENT) {
        Unlock();
        channelParam = nullptr;
        *tunerStatus = -1;
        return;
    }
    // Showing and hiding at once starts the loop while the window stays invisible.
    Show();
    Hide();
    Unlock();
    *tunerStatus = 0;
}

ChannelSuite::~ChannelSuite()
{
    if (BMediaRoster* roster = BMediaRoster::CurrentRoster();
        roster != nullptr && videoInput != media_node::null) {
        (void)roster->ReleaseNode(videoInput);
    }
}

bool ChannelSuite::QuitRequested()
{
    while (!IsHidden())
        Hide();
    return false;
}

void ChannelSuite::DiscoverTuner()
{
    tunerState = TUNER_UNUSABLE;
    BMediaRoster* roster = BMediaRoster::CurrentRoster();
    BParameterWeb* web = nullptr;
    if (roster == nullptr) {
        tunerState = TUNER_NO_WEB;
        return;
    }
    if (roster->GetVideoInput(&videoInput) != B_OK) {
        videoInput = media_node::null;
        tunerState = TUNER_NO_WEB;
        return;
    }
    if (roster->GetParameterWebFor(videoInput, &web) != B_OK || web == nullptr) {
        tunerState = TUNER_NO_WEB;
        return;
    }
    channelParam = nullptr;
    videoFormatParam = nullptr;
    audioFormatParam = nullptr;
    for (int32 i = 0; i < web->CountParameters(); i++) {
        BParameter* parameter = web->ParameterAt(i);
        const char* name = parameter->Name();
        if (HasPrefix(name, "Channel")) {
            channelParam = AsDiscrete(parameter);
        } else if (HasPrefix(name, "Video Format")) {
            videoFormatParam = AsDiscrete(parameter);
        } else if (HasPrefix(name, "Audio Format")) {
            audioFormatParam = AsDiscrete(parameter);
        } else if (HasPrefix(name, "Tuner Brand")) {
            int32 brand = 0;
            size_t size = sizeof(brand);
            if (parameter->GetValue(&brand, &size, nullptr) == B_OK && brand != 0)
                tunerState = TUNER_PRESENT;
        }
    }
    if (channelParam == nullptr) {
        tunerState = TUNER_UNUSABLE;
        return;
    }
    int32 channel = 0;
    size_t size = sizeof(channel);
    // A channel that cannot be read starts the suite at the first one.
    if (channelParam->GetValue(&channel, &size, nullptr) == B_OK)
        currentChannel = channel;
}
