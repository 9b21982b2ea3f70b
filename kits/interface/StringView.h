#pragma once
// BStringView: a line of text that labels something and takes no input.

#include "kits/interface/View.h"

#include <string>

// Where text stands across the width it is given.
enum alignment {
    B_ALIGN_LEFT = 0,
    B_ALIGN_RIGHT = 1,
    B_ALIGN_CENTER = 2,
};

// The text is drawn in the high colour and the view's font, on one line centred in the height,
// aligned left, right or centred in the width; what does not fit is cut off. Once attached, the
// view takes its parent's view colour (the panel colour directly in a window). Hooks and calls as
// for any view: on the window's thread, window locked.
class BStringView : public BView {
public:
    BStringView(BRect frame, const char* name, const char* text,
        uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP, uint32 flags = B_WILL_DRAW);
    ~BStringView() override;

    // Null is taken as empty text. Redraws.
    void SetText(const char* text);
    const char* Text() const;
    // Redraws.
    void SetAlignment(alignment flag);
    alignment Alignment() const;

    void Draw(BRect updateRect) override;
    void AttachedToWindow() override;

private:
    std::string text;
    alignment align = B_ALIGN_LEFT;
};
