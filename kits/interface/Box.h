#pragma once
// BBox: a frame that groups the views inside it, with an optional label in its top border.

#include "kits/interface/View.h"

#include <string>

enum border_style {
    B_PLAIN_BORDER = 0,
    B_FANCY_BORDER = 1,
    B_NO_BORDER = 2,
};

// A plain border is a one-pixel raised edge, a fancy border a two-pixel etched groove; without a
// border only the label is drawn. The label stands in the top border, near its left end, in the
// box's font (bold at first); the top border then runs through the middle of the label's line.
// Children are ordinary child views. Once attached, the box takes its parent's view colour (the
// panel colour directly in a window). Hooks and calls as for any view: on the window's thread,
// window locked.
class BBox : public BView {
public:
    BBox(BRect frame, const char* name = nullptr,
        uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
        uint32 flags = B_WILL_DRAW | B_FRAME_EVENTS | B_NAVIGABLE_JUMP,
        border_style border = B_FANCY_BORDER);
    ~BBox() override;

    // Redraws when the style changes.
    virtual void SetBorder(border_style border);
    border_style Border() const;
    // Null or an empty text removes the label.
    void SetLabel(const char* label);
    // Null without a label.
    const char* Label() const;

    // The area inside the border (and below the label), in view coordinates: where children
    // usually go.
    BRect InnerFrame() const;

    void Draw(BRect updateRect) override;
    void AttachedToWindow() override;
    void FrameResized(float newWidth, float newHeight) override;

private:
    // Where the top border line runs: the middle of the label's line, or 0 without a label.
    float TopBorder() const;
    float LabelHeight() const;

    border_style border;
    std::string label;
};
