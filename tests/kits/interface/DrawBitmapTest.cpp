#include "kits/interface/DrawBitmap.h"

#include "InterfaceTestSupport.h"
#include "kits/interface/Bitmap.h"
#include "kits/interface/DrawBitmapPrivate.h"
#include "kits/interface/View.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

using namespace interface_test;
using kits::interface::ClipRegion;
using kits::interface::PixelRect;
using kits::interface::OpaqueSpace;
using kits::interface::TargetImage;

constexpr uint32 SENTINEL = 0x12345678;

// A target of plain memory, every pixel preset to SENTINEL, so untouched pixels show.
struct Target {
    Target(int32 width, int32 height, int32 pixelsPerRow)
        :
        pixels(size_t(pixelsPerRow) * size_t(height), SENTINEL),
        image{pixels.data(), pixelsPerRow, width, height}
    {
    }
    uint32 At(int32 x, int32 y) const
    {
        return pixels[size_t(y) * size_t(image.pixelsPerRow) + size_t(x)];
    }

    std::vector<uint32> pixels;
    TargetImage image;
};

// A source of plain memory holding exactly its rows, so reading past them is caught by the
// address sanitiser.
struct Source {
    Source(color_space space, int32 width, int32 lines, int32 bytesPerRow)
        :
        bits(size_t(bytesPerRow) * size_t(lines)),
        image{bits.data(), bytesPerRow, width, lines, space}
    {
    }
    Source(color_space space, int32 width, int32 lines, int32 padding, std::mt19937& random)
        :
        Source(space, width, lines, width * BytesPerPixel(OpaqueSpace(space)) + padding)
    {
        for (uint8& byte : bits)
            byte = uint8(random());
    }
    void Set16(int32 x, int32 y, uint16 value) { std::memcpy(At(x, y, 2), &value, 2); }
    void Set32(int32 x, int32 y, uint32 value) { std::memcpy(At(x, y, 4), &value, 4); }
    uint8* At(int32 x, int32 y, int32 pixelBytes)
    {
        return bits.data() + size_t(y) * size_t(image.bytesPerRow) + size_t(x * pixelBytes);
    }

    std::vector<uint8> bits;
    FrameView image;
};

// Draws through every implementation and compares each with the reference, pixel for pixel.
bool MatchesReference(const FrameView& source, PixelRect sourceRect, int32 width, int32 height,
    int32 pixelsPerRow, PixelRect destination, PixelRect clip)
{
    Target reference(width, height, pixelsPerRow);
    kits::interface::DrawBitmapReference(source, sourceRect, reference.image, destination, clip);
    for (const auto& implementation : kits::interface::DrawBitmapImplementations()) {
        Target target(width, height, pixelsPerRow);
        implementation.function(source, sourceRect, target.image, destination, clip);
        if (target.pixels != reference.pixels) {
            ADD_FAILURE() << implementation.name << " differs from the reference";
            return false;
        }
    }
    return true;
}

TEST(DrawBitmapTest, ChannelsWidenByRepeatingTheirTopBits)
{
    using namespace kits::interface;
    EXPECT_EQ(Rgb15Source::ToRgb32(0x7FFF), 0xFFFFFFFFu);
    EXPECT_EQ(Rgb15Source::ToRgb32(0x8000), 0xFF000000u);
    // Red 10000b becomes 10000100b, green 00001b 00001000b, blue 11000b 11000110b.
    EXPECT_EQ(Rgb15Source::ToRgb32(0x4000 | 0x0020 | 0x0018), 0xFF8408C6u);
    // Green 100000b becomes 10000010b.
    EXPECT_EQ(Rgb16Source::ToRgb32(0x0400), 0xFF008200u);
    EXPECT_EQ(Rgb16Source::ToRgb32(0x1084), 0xFF101021u);
    EXPECT_EQ(Gray8Source::ToRgb32(0x80), 0xFF808080u);
    EXPECT_EQ(Rgb32Source::ToRgb32(0x00123456), 0xFF123456u);
}

TEST(DrawBitmapTest, NearestPixelsFillTheClippedDestinationFromTheClippedSource)
{
    // Three columns into four take 0, 1, 1, 2; four into three take 0, 2, 3.
    Source row(B_RGB32, 4, 1, 16);
    for (int32 x = 0; x < 4; x++)
        row.Set32(x, 0, uint32(x));
    Target wide(4, 1, 4);
    kits::interface::DrawBitmap(row.image, {0, 0, 2, 0}, wide.image, {0, 0, 3, 0},
        ClipRegion(PixelRect{0, 0, 3, 0}));
    EXPECT_EQ(wide.pixels, (std::vector<uint32>{0xFF000000, 0xFF000001, 0xFF000001, 0xFF000002}));
    Target narrow(3, 1, 3);
    kits::interface::DrawBitmap(row.image, {0, 0, 3, 0}, narrow.image, {0, 0, 2, 0},
        ClipRegion(PixelRect{0, 0, 2, 0}));
    EXPECT_EQ(narrow.pixels, (std::vector<uint32>{0xFF000000, 0xFF000002, 0xFF000003}));

    // A source rectangle beyond the image is cut to it; the target's row padding is left alone.
    Source source(B_RGB16, 2, 2, 4);
    source.Set16(0, 0, 0xF800);
    source.Set16(1, 0, 0x07E0);
    source.Set16(0, 1, 0x001F);
    source.Set16(1, 1, 0xFFFF);
    Target target(4, 4, 6);
    kits::interface::DrawBitmap(source.image, {-5, -5, 10, 10}, target.image, {0, 0, 3, 3},
        ClipRegion(PixelRect{0, 0, 100, 100}));
    const uint32 red = 0xFFFF0000, green = 0xFF00FF00, blue = 0xFF0000FF, white = 0xFFFFFFFF;
    const uint32 expected[4][6] = {{red, red, green, green, SENTINEL, SENTINEL},
        {red, red, green, green, SENTINEL, SENTINEL},
        {blue, blue, white, white, SENTINEL, SENTINEL},
        {blue, blue, white, white, SENTINEL, SENTINEL}};
    EXPECT_EQ(target.pixels, std::vector<uint32>(&expected[0][0], &expected[0][0] + 24));

    // Spaces no view draws leave the target alone.
    Source rgb24(B_RGB24, 4, 4, 12);
    Target untouched(4, 4, 4);
    kits::interface::DrawBitmap(rgb24.image, {0, 0, 3, 3}, untouched.image, {0, 0, 3, 3},
        ClipRegion(PixelRect{0, 0, 3, 3}));
    EXPECT_EQ(untouched.pixels, std::vector<uint32>(16, SENTINEL));
}

TEST(DrawBitmapTest, ClippingDoesNotMoveThePicture)
{
    Source source(B_GRAY8, 7, 5, 8);
    for (size_t i = 0; i < source.bits.size(); i++)
        source.bits[i] = uint8(i * 13);
    const PixelRect destination{-3, -2, 14, 11};
    Target whole(10, 8, 10);
    kits::interface::DrawBitmap(source.image, {0, 0, 6, 4}, whole.image, destination,
        ClipRegion(PixelRect{0, 0, 9, 7}));
    Target part(10, 8, 10);
    ClipRegion clip(PixelRect{0, 0, 9, 7});
    clip.Exclude({2, 2, 5, 5});
    kits::interface::DrawBitmap(source.image, {0, 0, 6, 4}, part.image, destination, clip);
    for (int32 y = 0; y < 8; y++) {
        for (int32 x = 0; x < 10; x++) {
            const bool excluded = x >= 2 && x <= 5 && y >= 2 && y <= 5;
            EXPECT_EQ(part.At(x, y), excluded ? SENTINEL : whole.At(x, y)) << x << "," << y;
        }
    }
}

// Random pixels, rectangles and clips through every implementation, compared pixel for pixel
// with the reference, the pixels outside the clip included.
TEST(DrawBitmapTest, EveryImplementationMatchesTheReference)
{
    std::mt19937 random(20240601);
    const color_space spaces[] = {B_GRAY8, B_RGB15, B_RGB16, B_RGB32, B_RGBA15, B_RGBA32};
    const int32 widths[] = {1, 2, 3, 7, 8, 9, 15, 17, 31, 33, 67, 768};
    ASSERT_GE(kits::interface::DrawBitmapImplementations().size(), 2u);
    auto pick = [&random](int32 low, int32 high) {
        return std::uniform_int_distribution<int32>(low, high)(random);
    };
    for (int32 round = 0; round < 600; round++) {
        const color_space space = spaces[round % 6];
        const int32 width = widths[size_t(pick(0, 11))];
        const int32 lines = pick(1, 40);
        Source source(space, width, lines, pick(0, 9), random);
        const PixelRect sourceRect = PixelRect{pick(0, width - 1), pick(0, lines - 1), 0, 0};
        const PixelRect fullSource{sourceRect.left, sourceRect.top,
            pick(sourceRect.left, width - 1), pick(sourceRect.top, lines - 1)};
        const int32 targetWidth = pick(1, 90);
        const int32 targetHeight = pick(1, 30);
        const int32 left = pick(-20, targetWidth);
        const int32 top = pick(-10, targetHeight);
        const PixelRect destination{left, top, left + pick(0, 120), top + pick(0, 40)};
        PixelRect clip{pick(0, targetWidth - 1), pick(0, targetHeight - 1), 0, 0};
        clip.right = pick(clip.left, targetWidth - 1);
        clip.bottom = pick(clip.top, targetHeight - 1);
        clip = clip.Intersection(destination);
        if (clip.IsEmpty())
            continue;
        ASSERT_TRUE(MatchesReference(source.image, fullSource, targetWidth, targetHeight,
            targetWidth + pick(0, 3), destination, clip))
            << "round " << round << " space " << space << " width " << width << " destination "
            << destination.left << "," << destination.top << " " << destination.Width() << "x"
            << destination.Height();
    }
}

// The frame sizes the viewer draws, and sources wider than the fast path widens at a time (in
// one strip and in several), in every space, through every implementation.
TEST(DrawBitmapTest, LargeFramesMatchTheReference)
{
    std::mt19937 random(5);
    const struct {
        int32 width;
        int32 lines;
        PixelRect source;
        PixelRect destination;
    } cases[] = {
        {768, 576, {0, 0, 767, 575}, {0, 0, 799, 599}},
        {768, 576, {0, 0, 767, 575}, {0, 0, 767, 575}},
        {768, 576, {0, 72, 767, 503}, {0, 0, 767, 431}},
        {768, 576, {0, 0, 767, 575}, {0, 0, 383, 287}},
        {768, 576, {0, 0, 767, 575}, {0, 0, 1023, 767}},
        // Wider than one planned strip of the fast path, with a last strip of 52 or 4 pixels.
        {768, 576, {0, 0, 767, 575}, {0, 0, 2099, 99}},
        {768, 576, {0, 0, 767, 575}, {0, 0, 2051, 49}},
        {9000, 3, {0, 0, 8999, 2}, {0, 0, 20, 2}},
        {9000, 3, {0, 0, 8999, 2}, {0, 0, 1100, 3}},
    };
    for (color_space space : {B_GRAY8, B_RGB15, B_RGB16, B_RGB32}) {
        for (const auto& drawCase : cases) {
            const Source source(space, drawCase.width, drawCase.lines, 2, random);
            const int32 width = drawCase.destination.Width();
            const int32 height = drawCase.destination.Height();
            ASSERT_TRUE(MatchesReference(source.image, drawCase.source, width, height, width,
                drawCase.destination, drawCase.destination))
                << space << " " << drawCase.width << " to " << width << "x" << height;
        }
    }
}

class ViewDrawBitmapTest : public LockedWindowTest {
protected:
    void SetUp() override { MakeWindow(768, 432); }
};

TEST_F(ViewDrawBitmapTest, UndrawableBitmapsDrawNothingAndPicturesStayBehindShownOverlays)
{
    auto* view = new BView(BRect(0, 0, 767, 431), "video", B_FOLLOW_ALL, 0);
    auto* overlay = new BView(BRect(100, 300, 199, 324), "overlay", B_FOLLOW_NONE, 0);
    view->AddChild(overlay);
    window->AddChild(view);
    window->UpdateIfNeeded();
    BBitmap cmap(BRect(0, 0, 9, 9), B_CMAP8);
    view->DrawBitmap(&cmap, view->Bounds());
    BBitmap invalid(BRect(0, 0, -1, -1), B_RGB32);
    view->DrawBitmap(&invalid, view->Bounds());
    view->DrawBitmap(nullptr, view->Bounds());
    EXPECT_EQ(CountPixels(WHITE, 0, 0, 767, 431), 768 * 432);

    // Pure red in a 16-bit bitmap of half the size.
    BBitmap half(BRect(0, 0, 383, 287), B_RGB16);
    ASSERT_TRUE(half.IsValid());
    const std::vector<uint16> red(size_t(half.BitsLength() / 2), 0xF800);
    std::memcpy(half.Bits(), red.data(), size_t(half.BitsLength()));
    view->DrawBitmap(&half, view->Bounds());
    EXPECT_EQ(CountPixels(WHITE, 100, 300, 199, 324), 100 * 25);
    EXPECT_EQ(CountPixels(RED, 0, 0, 767, 431), 768 * 432 - 100 * 25);

    // A wide crop of a 768 by 576 frame, each line carrying its number in red and green, shows
    // lines 72 to 503.
    overlay->Hide();
    BBitmap frame(BRect(0, 0, 767, 575), B_RGB32);
    ASSERT_TRUE(frame.IsValid());
    for (int32 y = 0; y < 576; y++) {
        auto* row = reinterpret_cast<uint32*>(static_cast<uint8*>(frame.Bits())
            + y * frame.BytesPerRow());
        for (int32 x = 0; x < 768; x++)
            row[x] = uint32(y) << 8 | uint32(x & 0xFF);
    }
    view->DrawBitmap(&frame, BRect(0, 72, 767, 503), BRect(0, 0, 767, 431));
    for (int32 y = 0; y < 432; y++) {
        for (int32 x = 0; x < 768; x += 97)
            ASSERT_EQ(Pixel(x, y), (0xFF000000u | uint32(y + 72) << 8 | uint32(x & 0xFF)));
    }
    EXPECT_EQ(Pixel(767, 431), 0xFF000000u | 503u << 8 | 0xFFu);
}

}
