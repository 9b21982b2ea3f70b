#pragma once
// BScrollBar: a bar with two arrows and a knob that scrolls a target view.

#include "kits/interface/View.h"

class BListView;

enum orientation {
    B_HORIZONTAL = 0,
    B_VERTICAL = 1,
};

// The thickness of a scroll bar, one less than its pixels across.
inline constexpr float B_V_SCROLL_BAR_WIDTH = 14;
inline constexpr float B_H_SCROLL_BAR_HEIGHT = 14;

// The value runs over the range, the knob's length over the track is the proportion of the
// content in view, and the arrows and the track step the value by the small and the large step.
// Dragging the knob sets the value in whole pixels while the button is held. Every change of the
// value calls ValueChanged, whose default scrolls the target: a BListView scrolls its items
// (lists scroll vertically only), and in turn keeps the range, proportion, steps and value of a
// vertical bar that targets it in step with its items, its size and its scroll position. The
// kit's other views do not scroll, so a bar targeting one of them only moves its knob. A bar
// with an empty range shows no knob and takes no clicks. Hooks and calls as for any view: on the
// window's thread, window locked.
//
// The target is observed, not owned: a list leaving the bar by being deleted clears the bar's
// target, and a bar deleted first unlinks itself from the list.
class BScrollBar : public BView {
public:
    BScrollBar(BRect frame, const char* name, BView* target, float minValue, float maxValue,
        orientation direction);
    ~BScrollBar() override;

    // Kept within the range; redraws and calls ValueChanged when the value changes.
    void SetValue(float value);
    float Value() const;
    // A maximum below the minimum is taken as the minimum; the value is kept within.
    void SetRange(float minValue, float maxValue);
    void GetRange(float* minValue, float* maxValue) const;
    // The share of the content in view, from 0 to 1.
    void SetProportion(float proportion);
    float Proportion() const;
    void SetSteps(float smallStep, float largeStep);
    void GetSteps(float* smallStep, float* largeStep) const;
    // Null for no target.
    void SetTarget(BView* target);
    BView* Target() const;
    orientation Orientation() const;

    // The knob, in view coordinates; an invalid rectangle when the range is empty.
    BRect KnobFrame() const;

    // Called after each change of the value. Default: scrolls the target.
    virtual void ValueChanged(float newValue);

    void Draw(BRect updateRect) override;
    void MouseDown(BPoint where) override;
    void MouseMoved(BPoint where, uint32 transit, const BMessage* dragMessage) override;
    void MouseUp(BPoint where) override;

private:
    friend class BListView;

    // Takes on a list's range (from 0), proportion, steps and position all at once, so that no
    // step in between scrolls the list elsewhere.
    void Follow(float maxValue, float proportion, float smallStep, float largeStep, float value);

    // Along the bar: from its top (or left) edge; across: from its left (or top) edge.
    float Along(BPoint point) const;
    BPoint Point(float along, float across) const;
    BRect Span(float start, float end) const;
    // Length along the bar, one less than its pixels.
    float Length() const;
    float Thickness() const;
    // Where the track between the arrows starts and ends along the bar.
    float TrackStart() const;
    float TrackEnd() const;
    float KnobLength() const;
    float KnobStart() const;
    void DrawArrow(float start, bool towardsStart);

    float value;
    float minValue;
    float maxValue;
    float proportion = 0;
    float smallStep = 1;
    float largeStep = 10;
    orientation direction;
    BView* target = nullptr;
    // The target when it is a list, which is linked back to this bar.
    BListView* list = nullptr;
    bool dragging = false;
    // Where the knob was grabbed, along the bar from its start.
    float grabOffset = 0;
};
