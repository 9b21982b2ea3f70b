#pragma once
// BRadioButton: one of a group of labelled choices of which only one is on.

#include "kits/interface/MarkControl.h"

// The buttons that share a parent view form one group: turning a button on, by the user or by
// SetValue(B_CONTROL_ON) from code, turns the others of its parent off. The round button stands
// at the left, the label right of it. A click (pressed and released over the control) or, with
// the focus, Space turns the button on and invokes it; releasing elsewhere changes nothing, and
// a button is never turned off by the user. SetValue from code sends nothing. Hooks and calls as
// for any view: on the window's thread, window locked.
class BRadioButton : public kits::interface::MarkControl {
public:
    // Takes ownership of message (which may be null).
    BRadioButton(BRect frame, const char* name, const char* label, BMessage* message,
        uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
        uint32 flags = B_WILL_DRAW | B_NAVIGABLE);
    ~BRadioButton() override;

    // Any value other than B_CONTROL_OFF turns the button on and its siblings off.
    void SetValue(int32 value) override;
    // The round button, in view coordinates.
    BRect ButtonFrame() const;

    void Draw(BRect updateRect) override;

private:
    // Turns the button on and invokes.
    void Act() override;
};
