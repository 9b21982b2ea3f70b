#pragma once
// TextOver: an overlay over the picture that holds one line of text in a white box.

#include "kits/interface/View.h"

#include <string>

// A child of the video view, shown and hidden by the main window: a white box with one line of
// black text at 18 points, centred, cut at both sides where it is wider than the box. It never
// travels in an archive of the video view. Runs on the main window's thread, with that window
// locked.
class TextOver : public BView {
public:
    // The view gets flags plus B_WILL_DRAW; the text starts empty.
    TextOver(BRect frame, const char* name, uint32 resizingMode, uint32 flags);
    ~TextOver() override;

    // Keeps the text and redraws the view; a hidden overlay shows it once shown again.
    void SetText(std::string newText);
    const std::string& Text() const;

    // Always B_ERROR, with nothing written.
    status_t Archive(BMessage* archive, bool deep = true) const override;
    void AttachedToWindow() override;
    void DetachedFromWindow() override;
    void Draw(BRect updateRect) override;

private:
    std::string text;
};
