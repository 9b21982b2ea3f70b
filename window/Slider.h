#pragma once
// Slider: an overlay over the picture that holds a caption and a level in a white box.

#include "kits/interface/View.h"

#include <string>

// A child of the video view, shown and hidden by the main window. This version draws the white
// box and keeps the caption and level; neither is drawn yet. Runs on the main window's thread,
// with that window locked.
class Slider : public BView {
public:
    // The view gets flags plus B_WILL_DRAW; the level starts at 0.
    Slider(BRect frame, const char* name, uint32 resizingMode, uint32 flags);

    // Keeps the caption and the level (per cent, 0 to 100) and redraws the view.
    void SetSlider(const char* caption, float level);
    const std::string& Label() const;
    float Value() const;

    void Draw(BRect updateRect) override;

private:
    std::string label;
    float value = 0;
};
