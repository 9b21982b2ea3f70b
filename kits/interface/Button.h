#pragma once
// BButton: a labelled push button that sends its message when clicked.

#include "kits/interface/Control.h"

// A click invokes the button when the mouse button is pressed and released over it; while the
// press lasts the button is drawn pushed in (and its value is B_CONTROL_ON) as long as the
// pointer stays over it, and releasing it elsewhere sends nothing. With the focus, Space and
// Enter invoke it too. Hooks and calls as for any view: on the window's thread, window locked.
class BButton : public BControl {
public:
    // Takes ownership of message (which may be null).
    BButton(BRect frame, const char* name, const char* label, BMessage* message,
        uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
        uint32 flags = B_WILL_DRAW | B_NAVIGABLE);
    ~BButton() override;

    void Draw(BRect updateRect) override;
    void MouseDown(BPoint where) override;
    void MouseMoved(BPoint where, uint32 transit, const BMessage* dragMessage) override;
    void MouseUp(BPoint where) override;
    void KeyDown(const char* bytes, int32 numBytes) override;

private:
    // A press began on the button and its mouse button is still held.
    bool tracking = false;
};
