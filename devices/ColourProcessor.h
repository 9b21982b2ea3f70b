#pragma once
// ColourProcessor: turns painted pixels into the card's output through the picture controls.

#include "devices/PictureControls.h"
#include "devices/RgbImage.h"
#include "kits/interface/GraphicsDefs.h"
#include "kits/kernel/SupportDefs.h"

#include <array>

namespace devices {

// Works as the card's decoder does: each pixel goes to luma and two colour differences, luma
// coring and the comb filter act on horizontal luma detail, then contrast and brightness on the
// luma, saturation and hue on the colour differences, back to RGB, the gamma curve, and finally
// the packing into B_RGB32, B_RGB16, B_RGB15 or B_GRAY8 (error diffusion acts on the 15- and
// 16-bit packings only; the others lose nothing to rounding). A colourless pixel stays colourless,
// and white stays white at the default controls, in every packing.
class ColourProcessor {
public:
    ColourProcessor(const PictureControls& controls, color_space space);

    // Packs the whole image into rows of the output colour space, image.Width() pixels each.
    void Process(const RgbImage& image, uint8* bits, int32 bytesPerRow) const;
    // The packed pixel of one flat colour (no neighbours, so no detail to core or comb).
    uint32 PackSolid(uint32 rgb) const;
    // The packed pixel of each grey level: the colour of snow.
    const std::array<uint32, 256>& GreyPixels() const { return greyPixels; }

private:
    struct Adjusted {
        int32 red;
        int32 green;
        int32 blue;
    };

    Adjusted Adjust(int32 luma, int32 blueDifference, int32 redDifference) const;
    uint32 Pack(int32 red, int32 green, int32 blue) const;
    template <typename Pixel>
    void StoreRow(const Adjusted* row, int32 width, uint8* out) const;
    void PackDiffused(const Adjusted* row, int32 width, int32* errors, int32* nextErrors,
        uint8* out) const;

    color_space space;
    bool lumaCoring;
    bool chromaComb;
    bool errorDiffusion;
    // Contrast and brightness in 1/256 steps.
    int32 lumaGain;
    int32 lumaOffset;
    // Saturation and hue as one matrix on (blue difference, red difference), in 1/4096 steps.
    int32 blueFromBlue;
    int32 blueFromRed;
    int32 redFromBlue;
    int32 redFromRed;
    std::array<uint8, 256> gammaCurve;
    std::array<uint32, 256> greyPixels;
};

}
