#pragma once
// ControlPanel: the remote control at the left of the main window.

#include "kits/interface/Box.h"

// A strip that looks like a remote control: a 7-segment display with the station number, five
// rows of minus and plus buttons (station, volume, brightness, contrast, saturation) and buttons
// for full screen, 4:3 and 16:9. Its clicks and keys become the main window's commands, posted
// to its own window; the station number is the only state it keeps. It lives in the main window
// and runs on that window's thread, with the window locked.
class ControlPanel : public BBox {
public:
    // A box named "ControlPanel" over frame, with a plain border, that follows its parent's
    // left, top and bottom edges; the station number starts at 1.
    explicit ControlPanel(BRect frame);

    // Draws the sections that updateRect touches, each over its own face.
    void Draw(BRect updateRect) override;
    // A click on a button posts its command; the pad's buttons take only clicks strictly
    // inside them, the three buttons below it clicks on their edges too.
    void MouseDown(BPoint where) override;
    // Posts one command for each byte of the key table ("+", "-", the arrows up and down,
    // Insert, Delete, Home, End, Page Up, Page Down); other bytes are ignored.
    void KeyDown(const char* bytes, int32 numBytes) override;

    // The left- and right-pointing arrows of one button row, in the high colour, where being
    // the top-left of the row.
    void DrawTriangles(BPoint where);
    // One glyph of the display in a 17 by 33 pixel cell from where: a digit 0 to 9, the letters
    // A to F for 10 to 15, a minus sign for -1, P for 25; any other glyph draws nothing.
    void DrawSEG7(BPoint where, int glyph, rgb_color colour);
    // Shows number (its tens and its ones, truncated toward zero) and draws the whole panel at
    // once; called with the window locked.
    void SetStationNumber(int32 number);
    int32 StationNumber() const;

private:
    // Fills the section with its face when it meets updateRect, and answers whether it did.
    bool BeginSection(BRect section, BRect updateRect);
    void DrawStationDisplay();
    void DrawButtonPad();
    void DrawFullScreenButton();
    // The 4:3 or 16:9 button: a screen of the given outline and the text beside it.
    void DrawFormatButton(BRect screen, const char* text, float baseline);

    int32 stationNumber = 1;
};
