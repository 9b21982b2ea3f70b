#pragma once
// TVView: the view the live picture is shown in, and the owner of the media graph behind it.

#include "kits/interface/View.h"
#include "video/NodeManager.h"

// The main window's video view: black where no frame has been drawn; attaching it to a window
// starts the graph from the capture card to a consumer drawing into it, detaching it stops the
// graph. It lives in the main window and is used with that window locked; its NodeManager part
// may be called from other threads (the channel suite tunes through it).
//
// Lock order: "startstopSem" (held while the view is built or destroyed) before "initSem".
class TVView : public BView, public NodeManager {
public:
    TVView(BRect frame, const char* name, uint32 resizingMode, uint32 flags);
    // Stops the graph before the view goes away.
    ~TVView() override;

    void AttachedToWindow() override;
    void DetachedFromWindow() override;

private:
    // Created locked, opened once construction is complete; never opened again after the
    // destructor takes it.
    sem_id startStopLock;
};
