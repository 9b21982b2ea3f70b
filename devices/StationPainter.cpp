#include "devices/StationPainter.h"

#include "devices/BitmapFont.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace devices {

namespace {

constexpr uint32 BLACK = Rgb(0, 0, 0);
constexpr uint32 WHITE = Rgb(255, 255, 255);
constexpr uint32 NAME_COLOUR = Rgb(255, 235, 60);
constexpr uint32 SHADOW_COLOUR = Rgb(16, 16, 24);
constexpr uint32 FACE_COLOUR = Rgb(240, 240, 228);
constexpr uint32 TICK_COLOUR = Rgb(40, 40, 60);

struct SubtitlePair {
    const char* first;
    const char* second;
};

constexpr SubtitlePair SUBTITLES[] = {
    {"GOOD EVENING", "AND WELCOME"},
    {"THE WEATHER", "STAYS FINE"},
    {"WHERE ARE YOU", "GOING NOW?"},
    {"I TOLD YOU SO", "DIDN'T I?"},
};

uint32 HashName(const std::string& name)
{
    uint32 hash = 2166136261u;
    for (char character : name) {
        hash ^= uint8(character);
        hash *= 16777619u;
    }
    return hash;
}

// A small luma grain in -3..3, fixed per pixel.
int32 Grain(int32 x, int32 y)
{
    uint32 hash = uint32(x) * 73856093u ^ uint32(y) * 19349663u;
    hash ^= hash >> 13;
    hash *= 0x5BD1E995u;
    hash ^= hash >> 15;
    return int32(hash % 7) - 3;
}

uint32 AddGrain(uint32 rgb, int32 grain)
{
    const auto add = [grain](uint32 channel) {
        return uint32(std::clamp(int32(channel) + grain, 0, 255));
    };
    return Rgb(add(RedOf(rgb)), add(GreenOf(rgb)), add(BlueOf(rgb)));
}

// Hue in degrees (any value), saturation and value in 0..1.
uint32 FromHsv(double hue, double saturation, double value)
{
    hue = std::fmod(hue, 360.0);
    if (hue < 0)
        hue += 360.0;
    const double chroma = value * saturation;
    const double second = chroma * (1.0 - std::abs(std::fmod(hue / 60.0, 2.0) - 1.0));
    const double minimum = value - chroma;
    double red = 0;
    double green = 0;
    double blue = 0;
    switch (int32(hue / 60.0)) {
    case 0:
        red = chroma, green = second;
        break;
    case 1:
        red = second, green = chroma;
        break;
    case 2:
        green = chroma, blue = second;
        break;
    case 3:
        green = second, blue = chroma;
        break;
    case 4:
        red = second, blue = chroma;
        break;
    default:
        red = chroma, blue = second;
        break;
    }
    const auto channel = [minimum](double part) {
        return uint32(std::clamp(std::lround((part + minimum) * 255.0), 0L, 255L));
    };
    return Rgb(channel(red), channel(green), channel(blue));
}

uint32 Blend(uint32 from, uint32 to, double amount)
{
    const int32 weight = int32(amount * 256.0 + 0.5);
    const auto mix = [weight](uint32 a, uint32 b) {
        return uint32(int32(a) + (((int32(b) - int32(a)) * weight + 128) >> 8));
    };
    return Rgb(mix(RedOf(from), RedOf(to)), mix(GreenOf(from), GreenOf(to)),
        mix(BlueOf(from), BlueOf(to)));
}

// Each channel times scale / 256.
uint32 Scale(uint32 rgb, uint32 scale)
{
    return Rgb((RedOf(rgb) * scale + 128) >> 8, (GreenOf(rgb) * scale + 128) >> 8,
        (BlueOf(rgb) * scale + 128) >> 8);
}

void PaintColourBars(const StationLayout& layout, RgbImage& image, int32 top, int32 bottom)
{
    const int32 width = layout.width;
    const int32 height = std::max(1, bottom - top);
    static constexpr uint32 BARS[] = {Rgb(191, 191, 191), Rgb(191, 191, 0),
        Rgb(0, 191, 191), Rgb(0, 191, 0), Rgb(191, 0, 191), Rgb(191, 0, 0), Rgb(0, 0, 191)};
    static constexpr uint32 CASTELLATIONS[] = {Rgb(0, 0, 191), Rgb(19, 19, 19),
        Rgb(191, 0, 191), Rgb(19, 19, 19), Rgb(0, 191, 191), Rgb(19, 19, 19),
        Rgb(191, 191, 191)};
    const int32 castellationTop = top + height * 78 / 100;
    for (int32 y = top; y < bottom; y++) {
        const uint32* colours = y < castellationTop ? BARS : CASTELLATIONS;
        for (int32 x = 0; x < width; x++)
            image.Row(y)[x] = colours[x * 7 / width];
    }
}

void PaintRainbow(const StationLayout& layout, RgbImage& image, int32 top, int32 bottom)
{
    const int32 width = layout.width;
    const int32 height = std::max(1, bottom - top);
    std::vector<uint32> hues(static_cast<size_t>(width));
    for (int32 x = 0; x < width; x++)
        hues[x] = FromHsv(x * 360.0 / width, 1.0, 1.0);
    for (int32 y = top; y < bottom; y++) {
        const double value = 0.95 - 0.5 * (y - top) / height;
        const uint32 scale = uint32(std::lround(value * 256.0));
        for (int32 x = 0; x < width; x++)
            image.Row(y)[x] = Scale(hues[x], scale);
    }
}

void PaintGrid(const StationLayout& layout, RgbImage& image, int32 top, int32 bottom)
{
    const int32 width = layout.width;
    const int32 cellWidth = std::max(4, width / 12);
    const int32 cellHeight = std::max(4, layout.lines / 9);
    const int32 thickness = std::max(1, width / 256);
    for (int32 y = top; y < bottom; y++) {
        const bool lineRow = (y - top) % cellHeight < thickness;
        for (int32 x = 0; x < width; x++) {
            image.Row(y)[x] = lineRow || x % cellWidth < thickness ? Rgb(235, 235, 235)
                                                                   : Rgb(60, 80, 130);
        }
    }
}

void PaintRings(const StationLayout& layout, RgbImage& image, int32 top, int32 bottom)
{
    const int32 width = layout.width;
    const int32 height = std::max(1, bottom - top);
    // One ring is one turn of a cosine between two colours, looked up in steps.
    constexpr int32 STEPS = 256;
    uint32 colours[STEPS];
    for (int32 step = 0; step < STEPS; step++) {
        colours[step] = Blend(Rgb(20, 110, 120), Rgb(240, 160, 60),
            0.5 + 0.5 * std::cos(step * 2.0 * std::numbers::pi / STEPS));
    }
    const float centerX = width / 2.0f;
    const float centerY = top + height / 2.0f;
    const float stepsPerPixel = float(STEPS) / std::max(4, layout.lines / 12);
    for (int32 y = top; y < bottom; y++) {
        const float dy = y - centerY;
        for (int32 x = 0; x < width; x++) {
            const float dx = x - centerX;
            const int32 step = int32(std::sqrt(dx * dx + dy * dy) * stepsPerPixel);
            image.Row(y)[x] = colours[step % STEPS];
        }
    }
}

void PaintCheckers(const StationLayout& layout, RgbImage& image, int32 top, int32 bottom)
{
    const int32 width = layout.width;
    const int32 cell = std::max(2, width / 12);
    for (int32 y = top; y < bottom; y++) {
        for (int32 x = 0; x < width; x++) {
            image.Row(y)[x] = ((x / cell + (y - top) / cell) & 1) != 0 ? Rgb(200, 50, 60)
                                                                      : Rgb(245, 205, 90);
        }
    }
}

void PaintLandscape(const StationLayout& layout, RgbImage& image, int32 top, int32 bottom)
{
    const int32 width = layout.width;
    const int32 height = std::max(1, bottom - top);
    std::vector<int32> horizon(static_cast<size_t>(width));
    for (int32 x = 0; x < width; x++) {
        const double across = double(x) / width;
        horizon[x] = top
            + int32(height * (0.55 + 0.08 * std::sin(across * 3.0 * std::numbers::pi)));
    }
    for (int32 y = top; y < bottom; y++) {
        for (int32 x = 0; x < width; x++) {
            const int32 edge = std::max(horizon[x], top + 1);
            image.Row(y)[x] = y < edge
                ? Blend(Rgb(70, 130, 220), Rgb(190, 220, 250), double(y - top) / (edge - top))
                : AddGrain(Blend(Rgb(60, 150, 50), Rgb(30, 90, 30),
                               double(y - edge) / std::max(1, bottom - edge)),
                    Grain(x, y));
        }
    }
    image.FillDisc(width * 18 / 100, top + height * 22 / 100, std::max(1, layout.lines / 14),
        Rgb(255, 215, 70));
}

void PaintStripes(const StationLayout& layout, RgbImage& image, int32 top, int32 bottom)
{
    const int32 width = layout.width;
    const int32 half = std::max(2, width / 20);
    for (int32 y = top; y < bottom; y++) {
        for (int32 x = 0; x < width; x++) {
            image.Row(y)[x] = (((x + y - top) / half) & 1) != 0 ? Rgb(140, 60, 170)
                                                                : Rgb(60, 170, 140);
        }
    }
}

void PaintBlank(const StationLayout& layout, RgbImage& image, int32 top, int32 bottom)
{
    image.FillRect(0, top, layout.width, bottom, BLACK);
}

// Paints the pattern's own picture over the rows [top, bottom), the part between the header
// and the subtitle band. Whatever depends on one coordinate only is worked out once, as a
// station is painted again whenever the controls or the frame size change.
void PaintPattern(TestPattern pattern, const StationLayout& layout, RgbImage& image, int32 top,
    int32 bottom)
{
    switch (pattern) {
    case TestPattern::COLOUR_BARS:
        return PaintColourBars(layout, image, top, bottom);
    case TestPattern::RAINBOW:
        return PaintRainbow(layout, image, top, bottom);
    case TestPattern::GRID:
        return PaintGrid(layout, image, top, bottom);
    case TestPattern::RINGS:
        return PaintRings(layout, image, top, bottom);
    case TestPattern::CHECKERS:
        return PaintCheckers(layout, image, top, bottom);
    case TestPattern::LANDSCAPE:
        return PaintLandscape(layout, image, top, bottom);
    case TestPattern::STRIPES:
        return PaintStripes(layout, image, top, bottom);
    case TestPattern::BLANK:
        return PaintBlank(layout, image, top, bottom);
    }
}

void PaintClockFace(const StationLayout& layout, RgbImage& image)
{
    image.FillDisc(layout.clockX, layout.clockY, layout.clockRadius, FACE_COLOUR);
    const int32 tick = std::max(1, layout.clockRadius / 10);
    for (int32 hour = 0; hour < 12; hour++) {
        const double angle = hour * std::numbers::pi / 6.0;
        const double reach = layout.clockRadius - tick * 1.5;
        const int32 x = layout.clockX + int32(std::lround(reach * std::sin(angle)));
        const int32 y = layout.clockY - int32(std::lround(reach * std::cos(angle)));
        image.FillRect(x - tick / 2, y - tick / 2, x - tick / 2 + tick, y - tick / 2 + tick,
            TICK_COLOUR);
    }
}

void PaintName(const TestStation& station, const StationLayout& layout, RgbImage& image)
{
    const int32 length = std::max(1, int32(station.name.size()));
    const int32 scale = std::max(1, std::min((layout.nameBottom - layout.nameTop) / 8,
        layout.width * 9 / 10 / (length * BitmapFont::ADVANCE)));
    const int32 left = (layout.width - BitmapFont::TextWidth(station.name, scale)) / 2;
    const int32 shadow = std::max(1, scale / 2);
    BitmapFont::Draw(image, left + shadow, layout.nameTop + shadow, station.name, scale,
        SHADOW_COLOUR);
    BitmapFont::Draw(image, left, layout.nameTop, station.name, scale, NAME_COLOUR);
}

void PaintSubtitles(const TestStation& station, const StationLayout& layout, RgbImage& image)
{
    // Two lines of 7 cells with 3 cells between them, scaled to fill most of the band.
    const int32 bandHeight = layout.bandBottom - layout.bandTop;
    const int32 scale = std::max(1, bandHeight / 20);
    const int32 top = layout.bandTop + (bandHeight - 17 * scale) / 2;
    const auto [first, second] = StationPainter::SubtitleLines(station);
    BitmapFont::Draw(image, (layout.width - BitmapFont::TextWidth(first, scale)) / 2, top, first,
        scale, WHITE);
    BitmapFont::Draw(image, (layout.width - BitmapFont::TextWidth(second, scale)) / 2,
        top + 10 * scale, second, scale, WHITE);
}

}

StationLayout::StationLayout(int32 width, int32 lines)
    : width(width),
      lines(lines),
      headerBottom(std::max(1, lines / 10)),
      nameTop(lines * 12 / 100),
      nameBottom(lines * 24 / 100),
      motionTop(std::max(lines * 26 / 100, headerBottom))
{
    if (lines >= 3) {
        const int32 c = lines - 3;
        bandTop = c - c / 5 - c / 20;
        bandBottom = c - c / 20;
    } else {
        bandTop = lines;
        bandBottom = lines;
    }
    motionBottom = std::max(motionTop, bandTop - std::max(1, lines / 50));
    const int32 motionHeight = motionBottom - motionTop;
    clockRadius = std::max(1, std::min(motionHeight * 4 / 10, width / 7));
    clockX = width * 78 / 100;
    clockY = motionTop + motionHeight / 2;
    ballRadius = std::max(1, std::min(lines / 16, motionHeight / 2));
    barWidth = std::max(1, width / 24);
}

void StationPainter::Paint(const TestStation& station, RgbImage& image)
{
    const StationLayout layout(image.Width(), image.Lines());
    if (station.pattern == TestPattern::BLANK) {
        image.FillRect(0, 0, layout.width, layout.lines, BLACK);
        return;
    }
    // The pattern turns the tint too, so stations of different patterns never share colours
    // by a chance of their names.
    const double hue = (HashName(station.name) + 137 * uint32(station.pattern)) % 360;
    const uint32 headerLeft = FromHsv(hue, 0.65, 0.7);
    const uint32 headerRight = FromHsv(hue + 50.0, 0.65, 0.75);
    for (int32 x = 0; x < layout.width; x++)
        image.Row(0)[x] = Blend(headerLeft, headerRight, double(x) / layout.width);
    for (int32 y = 1; y < layout.headerBottom; y++)
        std::copy(image.Row(0), image.Row(0) + layout.width, image.Row(y));
    PaintPattern(station.pattern, layout, image, layout.headerBottom, layout.bandTop);
    for (int32 y = layout.bandTop; y < layout.lines; y++) {
        // Clearly coloured ground under the subtitles, so text is the only colourless thing in
        // the band; its grain is what luma coring removes.
        const double depth = double(y - layout.bandTop)
            / std::max(1, layout.lines - layout.bandTop);
        const uint32 ground = FromHsv(hue + 180.0, 0.7, 0.5 - 0.15 * depth);
        for (int32 x = 0; x < layout.width; x++)
            image.Row(y)[x] = AddGrain(ground, Grain(x, y));
    }
    PaintName(station, layout, image);
    if (MotionFor(station.pattern).clockHand)
        PaintClockFace(layout, image);
    if (station.subtitles && layout.bandBottom > layout.bandTop)
        PaintSubtitles(station, layout, image);
}

StationMotion StationPainter::MotionFor(TestPattern pattern)
{
    StationMotion motion;
    motion.barColour = Rgb(20, 20, 20);
    motion.ballColour = Rgb(255, 120, 0);
    motion.handColour = Rgb(200, 20, 20);
    switch (pattern) {
    case TestPattern::COLOUR_BARS:
        motion.sweepingBar = true;
        break;
    case TestPattern::RAINBOW:
        motion.bouncingBall = true;
        motion.ballColour = Rgb(245, 245, 245);
        break;
    case TestPattern::GRID:
        motion.bouncingBall = true;
        motion.clockHand = true;
        break;
    case TestPattern::RINGS:
        motion.clockHand = true;
        break;
    case TestPattern::CHECKERS:
        motion.sweepingBar = true;
        motion.barColour = Rgb(30, 60, 200);
        motion.bouncingBall = true;
        motion.ballColour = Rgb(20, 200, 60);
        break;
    case TestPattern::LANDSCAPE:
        motion.bouncingBall = true;
        motion.ballColour = Rgb(230, 60, 40);
        break;
    case TestPattern::STRIPES:
        motion.sweepingBar = true;
        motion.barColour = Rgb(250, 230, 40);
        motion.clockHand = true;
        break;
    case TestPattern::BLANK:
        break;
    }
    return motion;
}

std::pair<std::string_view, std::string_view> StationPainter::SubtitleLines(
    const TestStation& station)
{
    const SubtitlePair& pair = SUBTITLES[HashName(station.name) % std::size(SUBTITLES)];
    return {pair.first, pair.second};
}

}
