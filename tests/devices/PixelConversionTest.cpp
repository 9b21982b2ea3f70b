#include "devices/PixelConversion.h"

#include "devices/PixelConversionPrivate.h"
#include "kits/interface/FrameView.h"
#include "kits/kernel/Errors.h"
#include "tests/devices/PaddedFrame.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <algorithm>
#include <random>
#include <thread>
#include <vector>

namespace devices::test {
namespace {

constexpr color_space SPACES[] = {B_RGB32, B_RGB16, B_RGB15, B_GRAY8};
constexpr uint32 UNCOMPRESSED[]
    = {FOURCC_YUYV, FOURCC_UYVY, FOURCC_NV12, FOURCC_YU12, FOURCC_RGB24, FOURCC_BGR24,
        FOURCC_XRGB32, FOURCC_ARGB32, FOURCC_RGB565, FOURCC_RGB555, FOURCC_GREY};

CapturedFrame Frame(const std::vector<uint8>& bytes, uint32 fourcc, int32 width, int32 height,
    int32 bytesPerLine = 0)
{
    return {bytes.data(), bytes.size(), fourcc, width, height, bytesPerLine};
}

uint32 Rgb32(int32 red, int32 green, int32 blue)
{
    return 0xFF000000u | uint32(red) << 16 | uint32(green) << 8 | uint32(blue);
}

// The frame converted into a new target of this size, space and row padding.
PaddedFrame Converted(
    const CapturedFrame& frame, int32 width, int32 height, color_space space, int32 padding = 0)
{
    PaddedFrame target(space, width, height, padding);
    EXPECT_EQ(ConvertFrame(frame, target.Target()), B_OK) << frame.fourcc << " into " << space;
    return target;
}

// Each channel within the tolerance, the opaque byte exact.
void ExpectNear(uint32 actual, uint32 expected, int32 tolerance = 2)
{
    for (int32 shift : {0, 8, 16})
        EXPECT_NEAR(int32(actual >> shift & 0xFF), int32(expected >> shift & 0xFF), tolerance)
            << shift;
    EXPECT_EQ(actual >> 24, 0xFFu);
}

TEST(PixelConversionTest, WorkedExamplesGiveTheirPixels)
{
    // Red, green, blue, a mid grey: as RGB, as 16-bit words (little-endian), as grey levels.
    const std::vector<uint8> rgb = {255, 255, 255, 255, 0, 0, 0, 255, 0, 8, 4, 248};
    const std::vector<uint8> grey = {16, 235, 126, 0};
    const uint32 black = Rgb32(0, 0, 0);
    const uint32 white = Rgb32(255, 255, 255);
    const struct {
        uint32 fourcc;
        std::vector<uint8> bytes;
        int32 width;
        color_space space;
        // The first pixels of the one row, as words.
        std::vector<uint32> words;
    } examples[] = {
        // Limited-range black and white become full range; levels outside the range clamp.
        {FOURCC_YUYV, {16, 128, 235, 128}, 2, B_RGB32, {black, white}},
        {FOURCC_YUYV, {16, 128, 235, 128}, 2, B_GRAY8, {0, 255}},
        {FOURCC_YUYV, {0, 128, 255, 128}, 2, B_RGB32, {black, white}},
        // RGB sources keep their channels.
        {FOURCC_RGB24, {10, 20, 30}, 1, B_RGB32, {Rgb32(10, 20, 30)}},
        {FOURCC_BGR24, {30, 20, 10}, 1, B_RGB32, {Rgb32(10, 20, 30)}},
        {FOURCC_XRGB32, {30, 20, 10, 0}, 1, B_RGB32, {Rgb32(10, 20, 30)}},
        {FOURCC_ARGB32, {30, 20, 10, 0}, 1, B_RGB32, {Rgb32(10, 20, 30)}},
        // 16-bit sources expand to full scale: 0x0400 is green 32 of 63; 0x8200 is the ignored
        // top bit and green 16 of 31.
        {FOURCC_RGB565, {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0x00, 0x04}, 4, B_RGB32,
            {Rgb32(255, 0, 0), Rgb32(0, 255, 0), Rgb32(0, 0, 255), Rgb32(0, 130, 0)}},
        {FOURCC_RGB555, {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0x00, 0x82}, 4, B_RGB32,
            {Rgb32(255, 0, 0), Rgb32(0, 255, 0), Rgb32(0, 0, 255), Rgb32(0, 132, 0)}},
        // The smaller target spaces are packed.
        {FOURCC_RGB24, rgb, 4, B_RGB16, {0xFFFF, 0xF800, 0x07E0, 0x083F}},
        {FOURCC_RGB24, rgb, 4, B_RGB15, {0x7FFF, 0x7C00, 0x03E0, 0x041F}},
        {FOURCC_RGB24, rgb, 4, B_GRAY8, {255, 77, 149}},
        // Grey frames are limited-range luma.
        {FOURCC_GREY, grey, 4, B_GRAY8, {0, 255, 128, 0}},
        {FOURCC_GREY, grey, 4, B_RGB32, {black, white, Rgb32(128, 128, 128), black}},
    };
    for (const auto& example : examples) {
        const PaddedFrame target
            = Converted(Frame(example.bytes, example.fourcc, example.width, 1), example.width, 1,
                example.space);
        for (size_t x = 0; x < example.words.size(); x++) {
            EXPECT_EQ(target.Pixel(int32(x), 0), example.words[x])
                << example.fourcc << " into " << example.space << " at " << x;
        }
    }
}

TEST(PixelConversionTest, ColourBarsComeOutNearTheirRgb)
{
    struct Bar {
        uint8 y, u, v;
        int32 red, green, blue;
    };
    // 100 % bars in limited-range BT.601.
    const Bar bars[] = {{126, 128, 128, 128, 128, 128}, {210, 16, 146, 255, 255, 0},
        {170, 166, 16, 0, 255, 255}, {145, 54, 34, 0, 255, 0}, {106, 202, 222, 255, 0, 255},
        {81, 90, 240, 255, 0, 0}, {41, 240, 110, 0, 0, 255}};
    for (const Bar& bar : bars) {
        const std::vector<uint8> bytes = {bar.y, bar.u, bar.y, bar.v};
        SCOPED_TRACE(int(bar.y));
        ExpectNear(Converted(Frame(bytes, FOURCC_YUYV, 2, 1), 2, 1, B_RGB32).Pixel(1, 0),
            Rgb32(bar.red, bar.green, bar.blue), 3);
    }
}

TEST(PixelConversionTest, LayoutsOfTheSamePixelsConvertAlike)
{
    // Each pixel of a YUYV pair keeps its own luma and shares the chroma, as in UYVY; the
    // planar formats share their chroma over two by two pixels.
    const std::vector<uint8> planar = {16, 235, 126, 81, 90, 240};
    const std::vector<uint8> twoRows = {16, 90, 235, 240, 126, 90, 81, 240};
    const struct {
        uint32 fourcc;
        std::vector<uint8> bytes;
        // The same pixels as YUYV.
        std::vector<uint8> yuyv;
        int32 height;
    } cases[] = {{FOURCC_UYVY, {90, 81, 240, 41}, {81, 90, 41, 240}, 1},
        {FOURCC_NV12, planar, twoRows, 2}, {FOURCC_YU12, planar, twoRows, 2}};
    for (const auto& entry : cases) {
        const auto convert = [&](const std::vector<uint8>& bytes, uint32 fourcc) {
            return Converted(Frame(bytes, fourcc, 2, entry.height), 2, entry.height, B_RGB32)
                .Bytes();
        };
        EXPECT_EQ(convert(entry.bytes, entry.fourcc), convert(entry.yuyv, FOURCC_YUYV));
    }
}

TEST(PixelConversionTest, DifferentSizesTakeTheNearestPixel)
{
    // A 4x2 RGB frame of distinct greys into 2x4 and 8x1.
    std::vector<uint8> bytes;
    for (int32 i = 0; i < 8; i++)
        bytes.insert(bytes.end(), 3, uint8(i * 10));
    const struct {
        int32 width, height;
        std::vector<uint8> levels;
    } cases[] = {{2, 4, {0, 20, 0, 20, 40, 60, 40, 60}}, {8, 1, {0, 0, 10, 10, 20, 20, 30, 30}}};
    for (const auto& entry : cases) {
        EXPECT_EQ(
            Converted(Frame(bytes, FOURCC_RGB24, 4, 2), entry.width, entry.height, B_GRAY8).Rows(),
            entry.levels);
    }
}

TEST(PixelConversionTest, SourceRowPaddingIsSkipped)
{
    // Two rows of one pixel pair, each followed by four bytes of padding.
    const std::vector<uint8> padded = {16, 128, 16, 128, 1, 2, 3, 4, 235, 128, 235, 128};
    const PaddedFrame target = Converted(Frame(padded, FOURCC_YUYV, 2, 2, 8), 2, 2, B_GRAY8, 3);
    EXPECT_EQ(target.Pixel(0, 0), 0u);
    EXPECT_EQ(target.Pixel(1, 1), 255u);
    EXPECT_TRUE(target.PaddingUntouched());
}

TEST(PixelConversionTest, RefusesFramesItCannotReadAndTargetsItCannotFillAndWritesNothing)
{
    const std::vector<uint8> bytes(64, 16);
    PaddedFrame target(B_RGB32, 4, 4, 4);
    EXPECT_FALSE(CanConvertFrom(MakeFourCC('Y', 'V', 'Y', 'U')));
    EXPECT_FALSE(CanConvertFrom(0));
    // An unknown format, sizes that are not positive, rows shorter than their pixels (a
    // 3-pixel YUYV row needs two whole pairs), a null frame.
    for (const CapturedFrame& frame :
        {Frame(bytes, MakeFourCC('Y', 'V', 'Y', 'U'), 4, 4), Frame(bytes, FOURCC_YUYV, 0, 4),
            Frame(bytes, FOURCC_YUYV, 4, -1), Frame(bytes, FOURCC_YUYV, 4, 4, 7),
            Frame(bytes, FOURCC_YUYV, 3, 4, 6), Frame(bytes, FOURCC_YUYV, 4, 4, -8),
            CapturedFrame{nullptr, 64, FOURCC_GREY, 4, 4, 0}}) {
        EXPECT_EQ(ConvertFrame(frame, target.Target()), B_BAD_VALUE) << frame.width;
    }
    // A space it does not write, rows shorter than their pixels, no size, no bits.
    uint8* bits = target.View().bits;
    for (const TargetFrame& bad : {TargetFrame{bits, 16, 4, 4, B_RGB24},
             TargetFrame{bits, 15, 4, 4, B_RGB32}, TargetFrame{bits, 16, 0, 4, B_RGB32},
             TargetFrame{bits, 16, 4, 0, B_RGB32}, TargetFrame{nullptr, 16, 4, 4, B_RGB32}}) {
        EXPECT_EQ(ConvertFrame(Frame(bytes, FOURCC_GREY, 4, 4), bad), B_BAD_VALUE);
    }
    EXPECT_TRUE(target.Untouched());
}

// The bytes of one row of pixels in a packed format.
int32 PackedRowBytes(uint32 fourcc, int32 width)
{
    if (fourcc == FOURCC_YUYV || fourcc == FOURCC_UYVY)
        return (width + 1) / 2 * 4;
    const int32 bytes = fourcc == FOURCC_RGB24 || fourcc == FOURCC_BGR24 ? 3
        : fourcc == FOURCC_XRGB32 || fourcc == FOURCC_ARGB32             ? 4
        : fourcc == FOURCC_RGB565 || fourcc == FOURCC_RGB555             ? 2
                                                                         : 1;
    return width * bytes;
}

// The bytes a frame of this format and size needs, the last row without its padding: the
// planar formats follow their luma with chroma at half the size, NV12's two planes interleaved.
size_t NeededBytes(uint32 fourcc, int32 width, int32 height, int32 stride)
{
    const size_t chromaRows = size_t(height + 1) / 2;
    const size_t chromaWidth = size_t(width + 1) / 2;
    if (fourcc == FOURCC_NV12)
        return size_t(stride) * (size_t(height) + chromaRows - 1) + chromaWidth * 2;
    if (fourcc == FOURCC_YU12)
        return size_t(stride) * size_t(height) + (2 * chromaRows - 1) * (size_t(stride + 1) / 2)
            + chromaWidth;
    return size_t(stride) * size_t(height - 1) + size_t(PackedRowBytes(fourcc, width));
}

int32 TightStride(uint32 fourcc, int32 width)
{
    return fourcc == FOURCC_NV12 || fourcc == FOURCC_YU12 ? width : PackedRowBytes(fourcc, width);
}

struct Shape {
    int32 width;
    int32 height;
    int32 sourcePadding;
    int32 targetPadding;
};

TEST(PixelConversionTest, FastPathsMatchTheReferenceAndOnlyFramesOfTheirWholeSizeAreRead)
{
    EXPECT_EQ(FOURCC_YUYV, 0x56595559u);
    EXPECT_TRUE(CanConvertFrom(FOURCC_MJPEG));
    EXPECT_TRUE(CanConvertFrom(FOURCC_JPEG));
    // Widths around the fast paths' steps of 8, 16 and 32 pixels, odd widths and heights,
    // padded rows; then scalings up, down, mixed, to one row or column, a slight shrink, where
    // some runs of target pixels reach further than others, and a target whose row ends in an
    // odd number of whole 16-byte runs.
    std::vector<std::pair<Shape, Shape>> cases;
    for (const Shape& shape : {Shape{1, 1, 0, 0}, {2, 3, 0, 1}, {7, 2, 3, 0}, {8, 5, 0, 3},
             {15, 3, 2, 2}, {16, 4, 0, 0}, {17, 7, 6, 5}, {31, 2, 1, 0}, {32, 3, 0, 7},
             {33, 9, 10, 2}, {47, 5, 0, 0}, {64, 2, 4, 4}, {97, 13, 5, 3}, {720, 4, 0, 0}}) {
        cases.push_back({shape, shape});
    }
    cases.insert(cases.end(),
        {{{37, 11, 2, 0}, {50, 7, 0, 2}}, {{50, 4, 1, 0}, {45, 3, 0, 2}},
            {{40, 3, 0, 0}, {52, 5, 0, 0}}, {{720, 6, 0, 0}, {768, 9, 0, 4}},
            {{33, 9, 3, 0}, {16, 4, 0, 0}}, {{17, 5, 0, 1}, {17, 12, 0, 3}},
            {{64, 3, 0, 0}, {1, 1, 0, 0}}, {{1, 1, 0, 0}, {9, 3, 0, 1}}});
    std::mt19937 random(7);
    const std::vector<ConvertImplementation> implementations = ConvertImplementations();
    ASSERT_GE(implementations.size(), 1u);
    for (uint32 fourcc : UNCOMPRESSED) {
        EXPECT_TRUE(CanConvertFrom(fourcc));
        for (const auto& [source, target] : cases) {
            const int32 stride = TightStride(fourcc, source.width) + source.sourcePadding;
            std::vector<uint8> bytes(NeededBytes(fourcc, source.width, source.height, stride));
            std::ranges::generate(bytes, [&] { return uint8(random()); });
            const std::vector<uint8> original = bytes;
            SCOPED_TRACE(testing::Message()
                << fourcc << " " << source.width << "x" << source.height << " to " << target.width
                << "x" << target.height);
            // The frame ends exactly where its pixels end, so a read past it would be a fault
            // the sanitizers see; a byte less is refused.
            PaddedFrame whole(B_RGB32, target.width, target.height, 4);
            const auto convert = [&](size_t size) {
                return ConvertFrame(
                    {bytes.data(), size, fourcc, source.width, source.height, stride},
                    whole.Target());
            };
            EXPECT_EQ(convert(bytes.size() - 1), B_BAD_VALUE);
            EXPECT_TRUE(whole.Untouched());
            EXPECT_EQ(convert(bytes.size()), B_OK);
            EXPECT_TRUE(whole.PaddingUntouched());
            SourcePlanes planes;
            ASSERT_EQ(
                LocatePlanes(Frame(bytes, fourcc, source.width, source.height, stride), planes),
                B_OK);
            for (color_space space : SPACES) {
                PaddedFrame reference(space, target.width, target.height, target.targetPadding);
                ConvertReference(planes, reference.Target());
                EXPECT_TRUE(reference.PaddingUntouched());
                for (const ConvertImplementation& implementation : implementations) {
                    PaddedFrame fast(space, target.width, target.height, target.targetPadding);
                    implementation.function(planes, fast.Target());
                    EXPECT_EQ(fast.Bytes(), reference.Bytes())
                        << implementation.name << " space " << space;
                }
            }
            EXPECT_EQ(bytes, original);
        }
    }
}

// A JPEG of the picture, made with TurboJPEG's compressor.
std::vector<uint8> CompressJpeg(const std::vector<uint8>& bgra, int32 width, int32 height)
{
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const int result = tjCompress2(handle, bgra.data(), width, width * 4, height, TJPF_BGRA, &jpeg,
        &size, TJSAMP_444, 100, 0);
    std::vector<uint8> bytes;
    if (result == 0)
        bytes.assign(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(handle);
    return bytes;
}

// Four flat blocks: red, green, blue and white, each 16 by 8 pixels.
std::vector<uint8> BlockPicture(int32 width, int32 height)
{
    const uint8 colours[4][4]
        = {{0, 0, 255, 255}, {0, 255, 0, 255}, {255, 0, 0, 255}, {255, 255, 255, 255}};
    std::vector<uint8> bgra;
    for (int32 y = 0; y < height; y++) {
        for (int32 x = 0; x < width; x++) {
            const uint8* colour = colours[x * 2 / width + y * 2 / height * 2];
            bgra.insert(bgra.end(), colour, colour + 4);
        }
    }
    return bgra;
}

class PixelConversionJpegTest : public ::testing::Test {
protected:
    static constexpr int32 WIDTH = 32;
    static constexpr int32 HEIGHT = 16;

    void SetUp() override
    {
        jpeg = CompressJpeg(BlockPicture(WIDTH, HEIGHT), WIDTH, HEIGHT);
        ASSERT_FALSE(jpeg.empty());
    }

    static bool AllBlack(const PaddedFrame& target)
    {
        const FrameView& view = target.View();
        const uint32 black = view.colorSpace == B_RGB32 ? 0xFF000000u : 0;
        for (int32 i = 0; i < view.width * view.lines; i++) {
            if (target.Pixel(i % view.width, i / view.width) != black)
                return false;
        }
        return true;
    }

    // The centres of the red, green, blue and white blocks in a target scaled down by the factor.
    static void ExpectBlocks(const PaddedFrame& target, int32 factor)
    {
        const uint32 colours[]
            = {Rgb32(255, 0, 0), Rgb32(0, 255, 0), Rgb32(0, 0, 255), Rgb32(255, 255, 255)};
        for (int32 block = 0; block < 4; block++) {
            ExpectNear(target.Pixel((8 + block % 2 * 16) / factor, (4 + block / 2 * 8) / factor),
                colours[block]);
        }
    }

    std::vector<uint8> jpeg;
};

TEST_F(PixelConversionJpegTest, DecodesIntoEveryTargetSpaceAndSize)
{
    const PaddedFrame rgb32
        = Converted(Frame(jpeg, FOURCC_MJPEG, WIDTH, HEIGHT), WIDTH, HEIGHT, B_RGB32, 8);
    EXPECT_TRUE(rgb32.PaddingUntouched());
    // Block centres, where the compression leaves flat colour all but alone.
    ExpectBlocks(rgb32, 1);

    // The other spaces are the decoded picture converted as a 32-bit frame.
    for (color_space space : {B_RGB16, B_RGB15, B_GRAY8}) {
        EXPECT_EQ(
            Converted(Frame(jpeg, FOURCC_JPEG, WIDTH, HEIGHT), WIDTH, HEIGHT, space, 2).Bytes(),
            Converted(Frame(rgb32.Bytes(), FOURCC_XRGB32, WIDTH, HEIGHT, rgb32.View().bytesPerRow),
                WIDTH, HEIGHT, space, 2)
                .Bytes());
    }
    ExpectBlocks(
        Converted(Frame(jpeg, FOURCC_MJPEG, WIDTH, HEIGHT), WIDTH / 2, HEIGHT / 2, B_RGB32), 2);
}

TEST_F(PixelConversionJpegTest, ADamagedJpegIsAnErrorAndABlackPicture)
{
    std::mt19937 random(3);
    std::vector<uint8> noise(jpeg.size());
    std::ranges::generate(noise, [&] { return uint8(random()); });
    // Scan data overwritten from just after the start-of-scan marker.
    std::vector<uint8> damaged = jpeg;
    const uint8 startOfScan[] = {0xFF, 0xDA};
    const size_t scan
        = size_t(std::ranges::search(damaged, startOfScan).begin() - damaged.begin());
    ASSERT_LT(scan + 20, damaged.size() - 2);
    for (size_t i = scan + 14; i < damaged.size() - 2; i++)
        damaged[i] = uint8(random()) | 0xD0;
    std::vector<std::vector<uint8>> bad = {noise, damaged, {}};
    for (size_t length : {jpeg.size() / 2, jpeg.size() - 2, size_t(20), size_t(1)})
        bad.emplace_back(jpeg.begin(), jpeg.begin() + ptrdiff_t(length));
    for (const std::vector<uint8>& bytes : bad) {
        for (color_space space : SPACES) {
            PaddedFrame target(space, WIDTH, HEIGHT, 4);
            EXPECT_EQ(ConvertFrame(CapturedFrame{bytes.empty() ? nullptr : bytes.data(),
                                       bytes.size(), FOURCC_MJPEG, WIDTH, HEIGHT, 0},
                          target.Target()),
                B_ERROR)
                << bytes.size();
            EXPECT_TRUE(AllBlack(target)) << bytes.size();
            EXPECT_TRUE(target.PaddingUntouched());
        }
    }
    // A JPEG of another size than the frame's.
    PaddedFrame target(B_RGB32, WIDTH, HEIGHT);
    EXPECT_EQ(
        ConvertFrame(Frame(jpeg, FOURCC_MJPEG, WIDTH * 2, HEIGHT), target.Target()), B_ERROR);
    EXPECT_TRUE(AllBlack(target));
    EXPECT_EQ(ConvertFrame(Frame(jpeg, FOURCC_MJPEG, 0, HEIGHT), target.Target()), B_BAD_VALUE);
}

TEST_F(PixelConversionJpegTest, ThreadsDecodeAtTheSameTimeAlike)
{
    const PaddedFrame expected
        = Converted(Frame(jpeg, FOURCC_MJPEG, WIDTH, HEIGHT), WIDTH, HEIGHT, B_RGB16);
    constexpr size_t THREADS = 4;
    std::vector<PaddedFrame> targets;
    targets.reserve(THREADS);
    for (size_t i = 0; i < THREADS; i++)
        targets.emplace_back(B_RGB16, WIDTH, HEIGHT);
    std::vector<status_t> results(THREADS, B_OK);
    {
        std::vector<std::jthread> threads;
        for (size_t i = 0; i < THREADS; i++) {
            threads.emplace_back([&, i] {
                for (int32 round = 0; round < 50 && results[i] == B_OK; round++)
                    results[i] = ConvertFrame(
                        Frame(jpeg, FOURCC_MJPEG, WIDTH, HEIGHT), targets[i].Target());
            });
        }
    }
    for (size_t i = 0; i < THREADS; i++) {
        EXPECT_EQ(results[i], B_OK);
        EXPECT_EQ(targets[i].Bytes(), expected.Bytes());
    }
}

}
}
