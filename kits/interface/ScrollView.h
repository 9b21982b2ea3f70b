#pragma once
// BScrollView: a frame around a target view, with scroll bars that scroll it.

#include "kits/interface/Box.h"
#include "kits/interface/ScrollBar.h"
#include "kits/interface/View.h"

// The scroll view takes the place the target had: its frame is the target's frame grown by the
// border on every side and by the bars asked for, right and below, and the target moves inside
// the border. The bars target the target view (see BScrollBar for what scrolls) and follow the
// scroll view's size. A plain border is a one-pixel outline, a fancy one a two-pixel sunken
// frame. Hooks and calls as for any view: on the window's thread, window locked.
class BScrollView : public BView {
public:
    // Takes ownership of target, which must not have a parent yet (one that has is left out, and
    // the scroll view is then as large as its border and bars).
    BScrollView(const char* name, BView* target,
        uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP, uint32 flags = 0,
        bool horizontal = false, bool vertical = false, border_style border = B_FANCY_BORDER);
    ~BScrollView() override;

    // The bar of that direction; null when the scroll view was made without it.
    BScrollBar* ScrollBar(orientation direction) const;
    // Null when there is none.
    BView* Target() const;
    // Moves the target and the bars to fit the new border.
    void SetBorder(border_style border);
    border_style Border() const;

    void Draw(BRect updateRect) override;

private:
    // Pixels the border takes on each side.
    static float BorderSize(border_style border);
    // Puts the target and the bars inside the border.
    void Layout();

    BView* target = nullptr;
    BScrollBar* horizontalBar = nullptr;
    BScrollBar* verticalBar = nullptr;
    border_style border;
};
