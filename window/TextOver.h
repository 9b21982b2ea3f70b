#pragma once
// TextOver: an overlay over the picture that holds one line of text in a white box.

#include "kits/interface/View.h"

#include <string>

// A child of the video view, shown and hidden by the main window. This version draws the white
// box and keeps the text; the text itself is not drawn yet. Runs on the main window's thread,
// with that window locked.
class TextOver : public BView {
public:
    // The view gets flags plus B_WILL_DRAW.
    TextOver(BRect frame, const char* name, uint32 resizingMode, uint32 flags);

    // Keeps the text and redraws the view.
    void SetText(std::string newText);
    const std::string& Text() const;

    void Draw(BRect updateRect) override;

private:
    std::string text;
};
