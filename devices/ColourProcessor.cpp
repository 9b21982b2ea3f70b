#include "devices/ColourProcessor.h"

#include "kits/interface/FrameView.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <vector>

namespace devices {

namespace {

// Horizontal luma detail (a pixel less the 1-2-1 average around it) below this size counts as
// grain, and luma coring leaves only the average.
constexpr int32 CORING_LIMIT = 4;
// How strongly fine luma detail leaks into the colour differences without the comb filter.
constexpr int32 CROSS_COLOUR = 3;
// Exponent of the gamma curve: below 1, so mid-tones brighten.
constexpr double GAMMA_EXPONENT = 0.6;

int32 Clamp8(int32 value)
{
    return std::clamp(value, 0, 255);
}

int32 LumaOf(int32 red, int32 green, int32 blue)
{
    return (77 * red + 150 * green + 29 * blue + 128) >> 8;
}

// The value a channel of `bits` bits decodes to, its top bits repeated below it, so that the
// largest code is 255.
int32 Expand(int32 code, int32 bits)
{
    return (code << (8 - bits)) | (code >> (2 * bits - 8));
}

}

ColourProcessor::ColourProcessor(const PictureControls& controls, color_space space)
    : space(space),
      lumaCoring(controls.lumaCoring),
      chromaComb(controls.chromaComb),
      errorDiffusion(controls.errorDiffusion && (space == B_RGB15 || space == B_RGB16)),
      lumaGain(int32(std::lround(std::clamp(controls.contrast, CONTRAST_MIN, CONTRAST_MAX)
          * 256.0f / 100.0f))),
      lumaOffset(int32(std::lround(std::clamp(controls.brightness, BRIGHTNESS_MIN,
          BRIGHTNESS_MAX) * 256.0f)))
{
    const double saturation = std::clamp(controls.saturation, SATURATION_MIN, SATURATION_MAX)
        / 100.0;
    const double angle = std::clamp(controls.hue, HUE_MIN, HUE_MAX) * std::numbers::pi / 180.0;
    blueFromBlue = int32(std::lround(4096.0 * saturation * std::cos(angle)));
    blueFromRed = int32(std::lround(-4096.0 * saturation * std::sin(angle)));
    redFromBlue = int32(std::lround(4096.0 * saturation * std::sin(angle)));
    redFromRed = int32(std::lround(4096.0 * saturation * std::cos(angle)));
    for (int32 level = 0; level < 256; level++) {
        gammaCurve[level] = controls.gamma
            ? uint8(std::lround(255.0 * std::pow(level / 255.0, GAMMA_EXPONENT)))
            : uint8(level);
    }
    for (int32 level = 0; level < 256; level++)
        greyPixels[level] = PackSolid(Rgb(level, level, level));
}

inline ColourProcessor::Adjusted ColourProcessor::Adjust(int32 luma, int32 blueDifference,
    int32 redDifference) const
{
    // Arithmetic shifts round toward minus infinity, alike for every pixel; with the default
    // controls each value comes back unchanged.
    const int32 y = (luma * lumaGain + lumaOffset + 128) >> 8;
    const int32 u = (blueFromBlue * blueDifference + blueFromRed * redDifference + 2048) >> 12;
    const int32 v = (redFromBlue * blueDifference + redFromRed * redDifference + 2048) >> 12;
    // The inverse of LumaOf: with both differences 0 all three channels equal the luma.
    const int32 red = Clamp8(y + v);
    const int32 green = Clamp8(y - (77 * v + 29 * u) * 437 / 65536);
    const int32 blue = Clamp8(y + u);
    return {gammaCurve[red], gammaCurve[green], gammaCurve[blue]};
}

inline uint32 ColourProcessor::Pack(int32 red, int32 green, int32 blue) const
{
    switch (space) {
    case B_RGB32:
        return 0xFF000000u | uint32(red) << 16 | uint32(green) << 8 | uint32(blue);
    case B_RGB16:
        return uint32(red >> 3) << 11 | uint32(green >> 2) << 5 | uint32(blue >> 3);
    case B_RGB15:
        return uint32(red >> 3) << 10 | uint32(green >> 3) << 5 | uint32(blue >> 3);
    case B_GRAY8:
        return uint32(LumaOf(red, green, blue));
    default:
        return 0;
    }
}

uint32 ColourProcessor::PackSolid(uint32 rgb) const
{
    const int32 red = int32(RedOf(rgb));
    const int32 green = int32(GreenOf(rgb));
    const int32 blue = int32(BlueOf(rgb));
    const int32 luma = LumaOf(red, green, blue);
    const Adjusted adjusted = Adjust(luma, blue - luma, red - luma);
    return Pack(adjusted.red, adjusted.green, adjusted.blue);
}

void ColourProcessor::Process(const RgbImage& image, uint8* bits, int32 bytesPerRow) const
{
    const int32 width = image.Width();
    const int32 pixelBytes = BytesPerPixel(space);
    std::vector<int32> luma(static_cast<size_t>(width));
    std::vector<Adjusted> adjusted(static_cast<size_t>(width));
    // Floyd-Steinberg errors per channel for this row and the next, one pixel of margin at each
    // end so the spreading needs no tests.
    std::vector<int32> errors(errorDiffusion ? size_t(width + 2) * 3 : 0);
    std::vector<int32> nextErrors(errors.size());
    for (int32 y = 0; y < image.Lines(); y++) {
        const uint32* source = image.Row(y);
        for (int32 x = 0; x < width; x++)
            luma[x] = LumaOf(int32(RedOf(source[x])), int32(GreenOf(source[x])),
                int32(BlueOf(source[x])));
        Adjusted lastAdjusted{};
        int32 lastLuma = 0;
        int32 lastBlue = 0;
        int32 lastRed = 0;
        for (int32 x = 0; x < width; x++) {
            const int32 left = luma[std::max(x - 1, 0)];
            const int32 right = luma[std::min(x + 1, width - 1)];
            const int32 detail = (2 * luma[x] - left - right + 2) >> 2;
            int32 y8 = luma[x];
            int32 u = int32(BlueOf(source[x])) - luma[x];
            int32 v = int32(RedOf(source[x])) - luma[x];
            if (lumaCoring && std::abs(detail) < CORING_LIMIT)
                y8 -= detail;
            if (!chromaComb) {
                // The luma's fine detail lands on the colour subcarrier: false colours whose
                // phase turns from pixel to pixel and line to line.
                const int32 uPhase = ((x + y) & 1) != 0 ? 1 : -1;
                const int32 vPhase = (((x >> 1) + y) & 1) != 0 ? 1 : -1;
                u += uPhase * detail * CROSS_COLOUR;
                v += vPhase * detail * CROSS_COLOUR;
            }
            // Painted pictures are mostly runs of one colour: such a run is adjusted once.
            if (x == 0 || y8 != lastLuma || u != lastBlue || v != lastRed) {
                lastAdjusted = Adjust(y8, u, v);
                lastLuma = y8;
                lastBlue = u;
                lastRed = v;
            }
            adjusted[x] = lastAdjusted;
        }
        uint8* out = bits + int64(y) * bytesPerRow;
        if (errorDiffusion) {
            PackDiffused(adjusted.data(), width, errors.data(), nextErrors.data(), out);
            errors.swap(nextErrors);
            std::fill(nextErrors.begin(), nextErrors.end(), 0);
            continue;
        }
        switch (pixelBytes) {
        case 1:
            StoreRow<uint8>(adjusted.data(), width, out);
            break;
        case 2:
            StoreRow<uint16>(adjusted.data(), width, out);
            break;
        default:
            StoreRow<uint32>(adjusted.data(), width, out);
            break;
        }
    }
}

template <typename Pixel>
void ColourProcessor::StoreRow(const Adjusted* row, int32 width, uint8* out) const
{
    for (int32 x = 0; x < width; x++) {
        const Pixel pixel = Pixel(Pack(row[x].red, row[x].green, row[x].blue));
        std::memcpy(out + int64(x) * int64(sizeof(Pixel)), &pixel, sizeof(Pixel));
    }
}

void ColourProcessor::PackDiffused(const Adjusted* row, int32 width, int32* errors,
    int32* nextErrors, uint8* out) const
{
    const int32 greenBits = space == B_RGB16 ? 6 : 5;
    const int32 channelBits[3] = {5, greenBits, 5};
    for (int32 x = 0; x < width; x++) {
        const int32 wanted[3] = {row[x].red, row[x].green, row[x].blue};
        int32 codes[3];
        for (int32 channel = 0; channel < 3; channel++) {
            const int32 slot = (x + 1) * 3 + channel;
            // Clamped first, so the error never exceeds one step and white stays white.
            const int32 value = Clamp8(wanted[channel] + errors[slot] / 16);
            const int32 bits = channelBits[channel];
            codes[channel] = value >> (8 - bits);
            const int32 error = value - Expand(codes[channel], bits);
            errors[slot + 3] += error * 7;
            nextErrors[slot - 3] += error * 3;
            nextErrors[slot] += error * 5;
            nextErrors[slot + 3] += error;
        }
        const uint32 pixel = Pack(Expand(codes[0], 5), Expand(codes[1], greenBits),
            Expand(codes[2], 5));
        std::memcpy(out + int64(x) * 2, &pixel, 2);
    }
}

}
