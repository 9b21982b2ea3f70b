#pragma once
// PictureControls: the picture adjustments and switches of the test signal card.

namespace devices {

// Ranges of the continuous adjustments, as the card publishes them.
constexpr float BRIGHTNESS_MIN = -128;
constexpr float BRIGHTNESS_MAX = 127;
constexpr float CONTRAST_MIN = 0;
constexpr float CONTRAST_MAX = 200;
constexpr float SATURATION_MIN = 0;
constexpr float SATURATION_MAX = 200;
constexpr float HUE_MIN = -90;
constexpr float HUE_MAX = 90;

struct PictureControls {
    // Added to the luma, in 8-bit levels.
    float brightness = 0;
    // Luma gain in percent.
    float contrast = 100;
    // Chroma gain in percent; 0 gives a grey picture.
    float saturation = 100;
    // Rotation of the chroma in degrees.
    float hue = 0;
    // Flattens small horizontal luma detail (grain).
    bool lumaCoring = false;
    // Separates chroma from luma cleanly; off, fine luma detail bleeds into false colours.
    bool chromaComb = true;
    // Brightens the mid-tones with a display gamma curve.
    bool gamma = false;
    // Spreads the rounding error of 15- and 16-bit pixels over their neighbours.
    bool errorDiffusion = false;

    bool operator==(const PictureControls&) const = default;
};

}
