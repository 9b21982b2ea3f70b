#include "video/TVView.h"

namespace {

// A 625-line frame in 4:3, as the card delivers it: 768 by 576 pixels.
constexpr BRect SIGNAL_625_4_3(0, 0, 767, 575);

}

TVView::TVView(BRect frame, const char* name, uint32 resizingMode, uint32 flags)
    :
    BView(frame, name, resizingMode, flags)
{
    SetViewColor(0, 0, 0, 0);
}

BRect TVView::GetSignalSize() const
{
    return SIGNAL_625_4_3;
}

void TVView::SetSize(int32 width, int32 height)
{
    videoWidth = width;
    videoHeight = height;
}

int32 TVView::VideoWidth() const
{
    return videoWidth;
}

int32 TVView::VideoHeight() const
{
    return videoHeight;
}
