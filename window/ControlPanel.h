#pragma once
// ControlPanel: the remote-control strip at the left of the main window; keys become commands.

#include "kits/interface/View.h"

// The main window's own view: turns key presses into the main window's commands, posted to its
// own window, and holds the number of the station shown. It draws its face colour only. It
// lives in the main window and runs on that window's thread; SetStationNumber is called with
// the window locked.
class ControlPanel : public BView {
public:
    // A view named "ControlPanel" over frame that follows its parent's left, top and bottom
    // edges; the station number starts at 1.
    explicit ControlPanel(BRect frame);

    void SetStationNumber(int32 number);
    int32 StationNumber() const;

    // Posts one command for each byte of the key table ("+", "-", the arrows up and down,
    // Insert, Delete, Home, End, Page Up, Page Down); other bytes are ignored.
    void KeyDown(const char* bytes, int32 numBytes) override;

private:
    int32 stationNumber = 1;
};
