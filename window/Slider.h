#pragma once
// Slider: an overlay over the picture that holds a caption and a level in a white box.

#include "kits/interface/View.h"

#include <string>

// A child of the video view, shown and hidden by the main window: a white box with a caption at
// 18 points and a black bar below it whose length gives the level. It never travels in an
// archive of the video view. Runs on the main window's thread, with that window locked.
class Slider : public BView {
public:
    // The view gets flags plus B_WILL_DRAW; the caption starts empty and the level at 0.
    Slider(BRect frame, const char* name, uint32 resizingMode, uint32 flags);
    ~Slider() override;

    // Keeps the caption (null for none) and the level (per cent, 0 to 100) and redraws the
    // view; a hidden overlay shows them once shown again.
    void SetSlider(const char* caption, float level);
    const std::string& Label() const;
    float Value() const;

    // Always B_ERROR, with nothing written.
    status_t Archive(BMessage* archive, bool deep = true) const override;
    void AttachedToWindow() override;
    void DetachedFromWindow() override;
    void Draw(BRect updateRect) override;

private:
    std::string label;
    float value = 0;
};
