#pragma once
// qvChannelItem: one station preset, as an entry of the channel suite's "Presets" list.

#include "kits/interface/ListItem.h"

#include <string>

class BListView;

// The channel suite's "Presets" list, null until the suite has built its tuner page. Its entries
// find their preset number in it: the position + 1. It belongs to the suite window's thread.
extern BListView* presetList;

// A station name bound to a tuner channel and to the video and audio format the card is to use
// on it, each a position in the items of the card's "Channel", "Video Format" and "Audio Format"
// parameters (a format is -1 when the card has no such parameter). Owned by the list holding it;
// touched with the suite window locked.
class qvChannelItem : public BListItem {
public:
    // The creator sets the two formats at once.
    qvChannelItem(const char* name, int32 channel);
    ~qvChannelItem() override;

    // One line: "P01" (the preset number, at least two digits) and the name, in the owner's
    // font, white on dark blue when selected, black on white when not, grey when disabled.
    void DrawItem(BView* owner, BRect frame, bool complete = false) override;

    std::string name;
    int32 channel;
    int32 videoFormat = -1;
    int32 audioFormat = -1;
};
