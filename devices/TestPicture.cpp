#include "devices/TestPicture.h"

#include "devices/RgbImage.h"
#include "devices/StationPainter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <numbers>

namespace devices {

namespace {

// Still pictures kept: enough for zapping back and forth without drawing them again.
constexpr size_t MAX_STILLS = 4;
// The sweeping bar crosses the picture in this many seconds.
constexpr double BAR_CROSSING_SECONDS = 2.5;
// The ball's speed in picture widths and heights per second.
constexpr double BALL_ACROSS_PER_SECOND = 0.6;
constexpr double BALL_DOWN_PER_SECOND = 0.45;
// The clock hand turns once in this many seconds.
constexpr double HAND_TURN_SECONDS = 4.0;

bool IsDrawable(const FrameView& frame)
{
    const int32 pixelBytes = BytesPerPixel(frame.colorSpace);
    return frame.bits != nullptr && pixelBytes != 0 && frame.width > 0
        && frame.width <= MAX_PICTURE_WIDTH && frame.lines > 0
        && frame.lines <= MAX_PICTURE_LINES
        && int64(frame.bytesPerRow) >= int64(frame.width) * pixelBytes;
}

// Fills the pixels left <= x < right of row y, clipped to the frame.
void FillSpan(const FrameView& frame, int32 y, int32 left, int32 right, uint32 pixel)
{
    if (y < 0 || y >= frame.lines)
        return;
    left = std::max(left, 0);
    right = std::min(right, frame.width);
    const int32 pixelBytes = BytesPerPixel(frame.colorSpace);
    uint8* out = frame.Row(y) + int64(left) * pixelBytes;
    for (int32 x = left; x < right; x++, out += pixelBytes)
        std::memcpy(out, &pixel, size_t(pixelBytes));
}

// The first row at or below top that belongs to the field of this parity.
int32 FirstRowOf(int32 top, int32 parity)
{
    return top + ((top & 1) != parity ? 1 : 0);
}

// Runs from 0 up to range and back, distance being how far it has travelled.
double Bounce(double distance, double range)
{
    if (range <= 0)
        return 0;
    const double position = std::fmod(distance, 2.0 * range);
    return position <= range ? position : 2.0 * range - position;
}

void DrawSweepingBar(const FrameView& frame, const StationLayout& layout, double seconds,
    int32 parity, uint32 pixel)
{
    const double travel = seconds * layout.width / BAR_CROSSING_SECONDS;
    const int32 left = int32(std::floor(std::fmod(travel, double(layout.width + layout.barWidth))))
        - layout.barWidth;
    for (int32 y = FirstRowOf(layout.motionTop, parity); y < layout.motionBottom; y += 2)
        FillSpan(frame, y, left, left + layout.barWidth, pixel);
}

void DrawBouncingBall(const FrameView& frame, const StationLayout& layout, double seconds,
    int32 parity, uint32 pixel)
{
    const int32 radius = layout.ballRadius;
    const double rangeX = layout.width - 2.0 * radius;
    const double rangeY = layout.motionBottom - layout.motionTop - 2.0 * radius;
    const int32 centerX = radius
        + int32(Bounce(seconds * layout.width * BALL_ACROSS_PER_SECOND, rangeX));
    const int32 centerY = layout.motionTop + radius
        + int32(Bounce(seconds * layout.lines * BALL_DOWN_PER_SECOND, rangeY));
    for (int32 y = FirstRowOf(centerY - radius, parity); y <= centerY + radius; y += 2) {
        const int32 dy = y - centerY;
        const int32 half = int32(std::sqrt(double(radius * radius - dy * dy)));
        FillSpan(frame, y, centerX - half, centerX + half + 1, pixel);
    }
}

void DrawClockHand(const FrameView& frame, const StationLayout& layout, double seconds,
    int32 parity, uint32 pixel)
{
    const double angle = std::fmod(seconds / HAND_TURN_SECONDS, 1.0) * 2.0 * std::numbers::pi;
    const double dx = std::sin(angle);
    const double dy = -std::cos(angle);
    const double length = layout.clockRadius * 0.85;
    const int32 thickness = std::max(1, layout.clockRadius / 20);
    // Half-pixel steps along the hand, each a square of the hand's thickness.
    for (double along = 0; along <= length; along += 0.5) {
        const int32 x = layout.clockX + int32(std::lround(along * dx)) - thickness / 2;
        const int32 top = layout.clockY + int32(std::lround(along * dy)) - thickness / 2;
        for (int32 y = FirstRowOf(top, parity); y < top + thickness; y += 2)
            FillSpan(frame, y, x, x + thickness, pixel);
    }
}

// A fast generator for snow (splitmix64): every call gives 64 fresh bits, eight grey levels.
class SnowGenerator {
public:
    explicit SnowGenerator(uint64 seed) : state(seed) {}

    uint64 Next()
    {
        uint64 value = (state += 0x9E3779B97F4A7C15ull);
        value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
        value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
        return value ^ (value >> 31);
    }

private:
    uint64 state;
};

template <typename Pixel>
void DrawSnow(const FrameView& frame, const std::array<uint32, 256>& grey, uint64 seed)
{
    SnowGenerator generator(seed);
    for (int32 y = 0; y < frame.lines; y++) {
        uint8* out = frame.Row(y);
        for (int32 x = 0; x < frame.width; x += 8) {
            const uint64 levels = generator.Next();
            Pixel pixels[8];
            for (int32 k = 0; k < 8; k++)
                pixels[k] = Pixel(grey[(levels >> (8 * k)) & 0xFF]);
            const int32 count = std::min(8, frame.width - x);
            std::memcpy(out + int64(x) * int64(sizeof(Pixel)), pixels,
                size_t(count) * sizeof(Pixel));
        }
    }
}

}

// A station's picture without its moving objects, packed as the frame wants it.
struct TestPicture::Still {
    TestStation station;
    PictureControls controls;
    int32 width = 0;
    int32 lines = 0;
    color_space colorSpace = B_NO_COLOR_SPACE;
    int32 rowBytes = 0;
    std::unique_ptr<uint8[]> pixels;
    uint64 lastUse = 0;
};

TestPicture::TestPicture() = default;

TestPicture::~TestPicture() = default;

const ColourProcessor& TestPicture::ProcessorFor(const PictureControls& controls,
    color_space space)
{
    if (!processor.has_value() || !(processorControls == controls) || processorSpace != space) {
        processor.emplace(controls, space);
        processorControls = controls;
        processorSpace = space;
    }
    return *processor;
}

status_t TestPicture::FindStill(const FrameView& frame, const TestStation& station,
    const PictureControls& controls, const Still*& found)
{
    for (const std::unique_ptr<Still>& still : stills) {
        if (still->width == frame.width && still->lines == frame.lines
            && still->colorSpace == frame.colorSpace && still->controls == controls
            && still->station == station) {
            still->lastUse = ++useCount;
            found = still.get();
            return B_OK;
        }
    }
    RgbImage image;
    if (status_t status = image.Allocate(frame.width, frame.lines); status != B_OK)
        return status;
    StationPainter::Paint(station, image);

    auto still = std::make_unique<Still>();
    still->station = station;
    still->controls = controls;
    still->width = frame.width;
    still->lines = frame.lines;
    still->colorSpace = frame.colorSpace;
    still->rowBytes = frame.width * BytesPerPixel(frame.colorSpace);
    still->pixels.reset(new (std::nothrow) uint8[size_t(still->rowBytes) * size_t(frame.lines)]);
    if (still->pixels == nullptr)
        return B_NO_MEMORY;
    ProcessorFor(controls, frame.colorSpace).Process(image, still->pixels.get(), still->rowBytes);
    still->lastUse = ++useCount;

    if (stills.size() >= MAX_STILLS) {
        auto oldest = std::min_element(stills.begin(), stills.end(),
            [](const auto& a, const auto& b) { return a->lastUse < b->lastUse; });
        stills.erase(oldest);
    }
    found = still.get();
    stills.push_back(std::move(still));
    return B_OK;
}

status_t TestPicture::DrawStation(const FrameView& frame, const TestStation& station,
    const PictureControls& controls, FieldTimes times)
{
    if (!IsDrawable(frame))
        return B_BAD_VALUE;
    const Still* still = nullptr;
    if (status_t status = FindStill(frame, station, controls, still); status != B_OK)
        return status;
    for (int32 y = 0; y < frame.lines; y++)
        std::memcpy(frame.Row(y), still->pixels.get() + int64(y) * still->rowBytes,
            size_t(still->rowBytes));

    const StationMotion motion = StationPainter::MotionFor(station.pattern);
    if (!motion.sweepingBar && !motion.bouncingBall && !motion.clockHand)
        return B_OK;
    const StationLayout layout(frame.width, frame.lines);
    const ColourProcessor& colours = ProcessorFor(controls, frame.colorSpace);
    const uint32 barPixel = colours.PackSolid(motion.barColour);
    const uint32 ballPixel = colours.PackSolid(motion.ballColour);
    const uint32 handPixel = colours.PackSolid(motion.handColour);
    for (int32 parity = 0; parity < 2; parity++) {
        const double seconds = (parity == 0 ? times.evenLines : times.oddLines) / 1e6;
        if (motion.sweepingBar)
            DrawSweepingBar(frame, layout, seconds, parity, barPixel);
        if (motion.bouncingBall)
            DrawBouncingBall(frame, layout, seconds, parity, ballPixel);
        if (motion.clockHand)
            DrawClockHand(frame, layout, seconds, parity, handPixel);
    }
    return B_OK;
}

status_t TestPicture::DrawNoise(const FrameView& frame, const PictureControls& controls,
    uint64 seed)
{
    if (!IsDrawable(frame))
        return B_BAD_VALUE;
    const std::array<uint32, 256>& grey = ProcessorFor(controls, frame.colorSpace).GreyPixels();
    switch (BytesPerPixel(frame.colorSpace)) {
    case 1:
        DrawSnow<uint8>(frame, grey, seed);
        break;
    case 2:
        DrawSnow<uint16>(frame, grey, seed);
        break;
    default:
        DrawSnow<uint32>(frame, grey, seed);
        break;
    }
    return B_OK;
}

}
