#pragma once
// TVView: the view the picture is shown in; for now without a media graph behind it.

#include "kits/interface/View.h"

// The main window's video view. This version has no node manager yet: it answers the size of a
// 4:3 625-line signal, the picture size the test signal card sends, and keeps the video size
// the window last asked for. It lives in the main window and is used with that window locked.
class TVView : public BView {
public:
    // Black, so the area shows no picture until frames are drawn.
    TVView(BRect frame, const char* name, uint32 resizingMode, uint32 flags);

    // The picture rectangle the user should see: (0, 0, 767, 575).
    BRect GetSignalSize() const;
    // The video size in pixels the picture is to be drawn at.
    void SetSize(int32 width, int32 height);
    // The last size given to SetSize; (0, 0) before the first call.
    int32 VideoWidth() const;
    int32 VideoHeight() const;

private:
    int32 videoWidth = 0;
    int32 videoHeight = 0;
};
