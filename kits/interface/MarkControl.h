#pragma once
// MarkControl: what the check box and the radio button share; kit-private.

#include "kits/interface/Control.h"

namespace kits::interface {

// A control with a small mark (a box, a round button) at its left and its label right of it,
// acted on by a click pressed and released over it or, with the focus, by Space; releasing
// elsewhere does nothing. Hooks as for any view: on the window's thread, window locked.
class MarkControl : public BControl {
public:
    void MouseDown(BPoint where) override;
    void MouseUp(BPoint where) override;
    void KeyDown(const char* bytes, int32 numBytes) override;

protected:
    MarkControl(BRect frame, const char* name, const char* label, BMessage* message,
        uint32 resizingMode, uint32 flags);

    // The mark's square, centred on the height, in view coordinates.
    BRect MarkFrame() const;
    // Draws the label right of the mark and, with the focus, the line under it.
    void DrawLabel();
    // What a click or Space does.
    virtual void Act() = 0;

private:
    // A press began on the control and its mouse button is still held.
    bool tracking = false;
};

}
