#pragma once
// BSlider: a labelled bar with a thumb that picks a whole number in a range.

#include "kits/interface/Control.h"

#include <memory>

enum thumb_style {
    B_BLOCK_THUMB = 0,
    B_TRIANGLE_THUMB = 1,
};

// The label stands on the first line, the bar below it, filled up to the thumb. Dragging the
// thumb, or pressing on the bar (which moves the thumb there first), changes the value while the
// button is held, posting the modification message (when one is set) at each change, and invokes
// the slider when the button is released on a value other than the one it was pressed on. With
// the focus, the left and down arrows step the value down by the key increment, the right and
// up arrows step it up, Home and End go to the limits; each change invokes. SetValue from code
// keeps the value in the range and posts nothing.
class BSlider : public BControl {
public:
    // Takes ownership of message (which may be null). The value starts at minValue.
    BSlider(BRect frame, const char* name, const char* label, BMessage* message, int32 minValue,
        int32 maxValue, thumb_style thumbType = B_BLOCK_THUMB,
        uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
        uint32 flags = B_NAVIGABLE | B_WILL_DRAW | B_FRAME_EVENTS);
    ~BSlider() override;

    // Clamped to the limits.
    void SetValue(int32 value) override;
    void SetLimits(int32 minValue, int32 maxValue);
    void GetLimits(int32* minValue, int32* maxValue) const;
    void SetKeyIncrementValue(int32 increment);
    int32 KeyIncrementValue() const;
    // Takes ownership of message (which may be null) and deletes the one before.
    void SetModificationMessage(BMessage* message);
    BMessage* ModificationMessage() const;
    thumb_style Style() const;

    // The bar and the thumb, in view coordinates.
    BRect BarFrame() const;
    BRect ThumbFrame() const;
    // The value whose thumb position is nearest to point, within the limits.
    int32 ValueForPoint(BPoint point) const;

    void Draw(BRect updateRect) override;
    void MouseDown(BPoint where) override;
    void MouseMoved(BPoint where, uint32 transit, const BMessage* dragMessage) override;
    void MouseUp(BPoint where) override;
    void KeyDown(const char* bytes, int32 numBytes) override;

private:
    // The x of the thumb's centre for value.
    float PositionFor(int32 value) const;
    // Follows the pointer while a button is held.
    void Track(BPoint where);

    int32 minValue;
    int32 maxValue;
    int32 keyIncrement = 1;
    thumb_style thumbType;
    std::unique_ptr<BMessage> modificationMessage;
    bool tracking = false;
    // The value when the button went down, and the pointer's distance from the thumb's centre.
    int32 pressValue = 0;
    float grabOffset = 0;
};
