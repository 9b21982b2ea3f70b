#pragma once
// BCheckBox: a labelled box the user ticks and clears.

#include "kits/interface/MarkControl.h"

// The box stands at the left, the label right of it. A click (pressed and released over the
// control) or, with the focus, Space toggles the value between B_CONTROL_OFF and B_CONTROL_ON
// and invokes the control; releasing elsewhere changes nothing. SetValue from code sends nothing.
// Hooks and calls as for any view: on the window's thread, window locked.
class BCheckBox : public kits::interface::MarkControl {
public:
    // Takes ownership of message (which may be null).
    BCheckBox(BRect frame, const char* name, const char* label, BMessage* message,
        uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
        uint32 flags = B_WILL_DRAW | B_NAVIGABLE);
    ~BCheckBox() override;

    // The box, in view coordinates.
    BRect BoxFrame() const;

    void Draw(BRect updateRect) override;

private:
    // Toggles the value and invokes.
    void Act() override;
};
