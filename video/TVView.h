#pragma once
// TVView: the view the live picture is shown in, the owner of the media graph behind it, and the
// replicant other programs can host.

#include "kits/interface/View.h"
#include "video/NodeManager.h"

#include <memory>

class BArchivable;
class BDiscreteParameter;
class BMediaRoster;
class BMenu;
class BPopUpMenu;

// Replicant commands: a station of the "Stations" menu ("Channel" int32, optional
// "VideoFormat" and "AudioFormat" int32), "Resize to optimal size" and "Maximize".
enum : uint32 {
    MSG_REPLICANT_ZAP = 'tZAP',
    MSG_REPLICANT_OPTIMAL_SIZE = 'tvRO',
    MSG_REPLICANT_MAXIMIZE = 'tvMX',
};

// The picture view in two roles. In the application's window (built from a frame) it is black
// where no frame has been drawn and carries a dragger in its bottom-right 8x8 pixels; the window
// drives its size and settings. Rebuilt from its archive in another program's shelf it is a
// replicant: it follows its own size, and a secondary click opens a menu of the stored stations.
// Attaching it to a window starts the graph from the capture card to a consumer drawing into
// it; detaching stops it.
//
// Its view hooks run on its window's thread with that window locked; its NodeManager part may be
// called from other threads (the channel suite tunes through it).
//
// Lock order: "startstopSem" (serialising construction, InitReplicant, Archive and destruction,
// which a host may call from its threads) before "initSem".
class TVView : public BView, public NodeManager {
public:
    // The application's view.
    TVView(BRect frame, const char* name, uint32 resizingMode, uint32 flags);
    // The replicant; without a media service it waits for one, up to 100 s.
    explicit TVView(BMessage* archive);
    // Stops the graph before the view goes away.
    ~TVView() override;

    // A new replicant from an archive whose "class" names TVView; null otherwise. The caller
    // owns it.
    static BArchivable* Instantiate(BMessage* archive);
    // Registers Instantiate for "TVView" archives, so a host can rebuild the picture.
    static void RegisterReplicant();

    // Writes "add_on", "class", the view and the nested "NodeManager" message; B_OK or -1.
    // Archiving the application's own view ends the application: the dragger archives the view
    // when the user drags the picture out of it.
    status_t Archive(BMessage* archive, bool deep = true) const override;

    void MessageReceived(BMessage* message) override;
    void AttachedToWindow() override;
    void DetachedFromWindow() override;
    void MouseDown(BPoint where) override;
    void FrameResized(float newWidth, float newHeight) override;

    // Finds the card's "Channel", "Video Format" and "Audio Format" and appends the stations of
    // the presets file to the "Stations" menu.
    void InitReplicant();
    // Tunes the card's channel (wrapping at both ends) and, when not negative, its formats, then
    // renegotiates the picture.
    void TuneChannel(int32 channel, int32 videoFormat, int32 audioFormat);

    // The replicant's pop-up menu; null for the application's view.
    BPopUpMenu* ReplicantMenu() const;
    bool IsReplicant() const;

private:
    BMediaRoster* roster;
    std::unique_ptr<BPopUpMenu> replicantMenu;
    // Owned by replicantMenu.
    BMenu* stationsMenu = nullptr;
    // From the roster's copy of the card's web, which lives as long as the process.
    BDiscreteParameter* channelParameter = nullptr;
    BDiscreteParameter* videoFormatParameter = nullptr;
    BDiscreteParameter* audioFormatParameter = nullptr;
    // Created locked, opened once construction is complete; the destructor takes it for good.
    sem_id startStopLock;
    media_node videoInputNode;
    bool replicant;
};
