#include "devices/PixelConversion.h"

#include "devices/PixelConversionPrivate.h"
#include "kits/interface/FrameView.h"
#include "kits/kernel/Errors.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace devices::test {
namespace {

constexpr uint8 SENTINEL = 0xA5;
constexpr color_space SPACES[] = {B_RGB32, B_RGB16, B_RGB15, B_GRAY8};
constexpr uint32 UNCOMPRESSED[]
    = {FOURCC_YUYV, FOURCC_UYVY, FOURCC_NV12, FOURCC_YU12, FOURCC_RGB24, FOURCC_BGR24,
        FOURCC_XRGB32, FOURCC_ARGB32, FOURCC_RGB565, FOURCC_RGB555, FOURCC_GREY};

// A target buffer with padding after every row, filled with a sentinel so stray writes show.
struct Target {
    Target(int32 width, int32 height, color_space space, int32 padding = 0)
        : bytes(size_t(width * BytesPerPixel(space) + padding) * size_t(height), SENTINEL),
          frame{bytes.data(), width * BytesPerPixel(space) + padding, width, height, space}
    {
    }

    uint32 Word(int32 x, int32 y) const
    {
        uint32 word = 0;
        std::memcpy(&word, bytes.data() + y * frame.bytesPerRow + x * BytesPerPixel(frame.space),
            size_t(BytesPerPixel(frame.space)));
        return word;
    }

    bool PaddingUntouched() const
    {
        const int32 used = frame.width * BytesPerPixel(frame.space);
        for (size_t i = 0; i < bytes.size(); i++) {
            if (int32(i) % frame.bytesPerRow >= used && bytes[i] != SENTINEL)
                return false;
        }
        return true;
    }

    bool Untouched() const
    {
        return std::ranges::all_of(bytes, [](uint8 byte) { return byte == SENTINEL; });
    }

    std::vector<uint8> bytes;
    TargetFrame frame;
};

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
Target Converted(
    const CapturedFrame& frame, int32 width, int32 height, color_space space, int32 padding = 0)
{
    Target target(width, height, space, padding);
    EXPECT_EQ(ConvertFrame(frame, target.frame), B_OK) << frame.fourcc << " into " << space;
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

TEST(PixelConversionTest, KnowsTheDeviceFormatsAndNoOthers)
{
    for (uint32 fourcc : UNCOMPRESSED)
        EXPECT_TRUE(CanConvertFrom(fourcc));
    EXPECT_TRUE(CanConvertFrom(FOURCC_MJPEG));
    EXPECT_TRUE(CanConvertFrom(FOURCC_JPEG));
    EXPECT_FALSE(CanConvertFrom(MakeFourCC('Y', 'V', 'Y', 'U')));
    EXPECT_FALSE(CanConvertFrom(0));
    EXPECT_EQ(FOURCC_YUYV, 0x56595559u);
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
        const Target target = Converted(Frame(example.bytes, example.fourcc, example.width, 1),
            example.width, 1, example.space);
        for (size_t x = 0; x < example.words.size(); x++) {
            EXPECT_EQ(target.Word(int32(x), 0), example.words[x])
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
        ExpectNear(Converted(Frame(bytes, FOURCC_YUYV, 2, 1), 2, 1, B_RGB32).Word(1, 0),
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
                .bytes;
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
            Converted(Frame(bytes, FOURCC_RGB24, 4, 2), entry.width, entry.height, B_GRAY8).bytes,
            entry.levels);
    }
}

TEST(PixelConversionTest, SourceRowPaddingIsSkipped)
{
    // Two rows of one pixel pair, each followed by four bytes of padding.
    const std::vector<uint8> padded = {16, 128, 16, 128, 1, 2, 3, 4, 235, 128, 235, 128};
    const Target target = Converted(Frame(padded, FOURCC_YUYV, 2, 2, 8), 2, 2, B_GRAY8, 3);
    EXPECT_EQ(target.Word(0, 0), 0u);
    EXPECT_EQ(target.Word(1, 1), 255u);
    EXPECT_TRUE(target.PaddingUntouched());
}

TEST(PixelConversionTest, RefusesFramesItCannotReadAndTargetsItCannotFillAndWritesNothing)
{
    const std::vector<uint8> bytes(64, 16);
    Target target(4, 4, B_RGB32, 4);
    // An unknown format, sizes that are not positive, rows shorter than their pixels (a
    // 3-pixel YUYV row needs two whole pairs), a null frame.
    for (const CapturedFrame& frame :
        {Frame(bytes, MakeFourCC('Y', 'V', 'Y', 'U'), 4, 4), Frame(bytes, FOURCC_YUYV, 0, 4),
            Frame(bytes, FOURCC_YUYV, 4, -1), Frame(bytes, FOURCC_YUYV, 4, 4, 7),
            Frame(bytes, FOURCC_YUYV, 3, 4, 6), Frame(bytes, FOURCC_YUYV, 4, 4, -8),
            CapturedFrame{nullptr, 64, FOURCC_GREY, 4, 4, 0}}) {
        EXPECT_EQ(ConvertFrame(frame, target.frame), B_BAD_VALUE) << frame.width;
    }
    // A space it does not write, rows shorter than their pixels, no size, no bits.
    uint8* bits = target.bytes.data();
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

TEST(PixelConversionTest, AFrameOneByteShortIsRefusedAndOneOfExactlyItsSizeIsRead)
{
    for (uint32 fourcc : UNCOMPRESSED) {
        for (const auto& [width, height] : {std::pair{5, 3}, std::pair{16, 4}, std::pair{7, 1}}) {
            const int32 stride = TightStride(fourcc, width) + 3;
            const size_t needed = NeededBytes(fourcc, width, height, stride);
            // The frame ends exactly where its pixels end, so a read past it would be a fault
            // the sanitizers see.
            auto exact = std::make_unique<uint8[]>(needed);
            std::memset(exact.get(), 100, needed);
            Target target(width, height, B_RGB32, 4);
            const auto convert = [&](size_t size) {
                return ConvertFrame(
                    {exact.get(), size, fourcc, width, height, stride}, target.frame);
            };
            SCOPED_TRACE(std::to_string(fourcc) + " " + std::to_string(width));
            EXPECT_EQ(convert(needed - 1), B_BAD_VALUE);
            EXPECT_TRUE(target.Untouched());
            EXPECT_EQ(convert(needed), B_OK);
            EXPECT_TRUE(target.PaddingUntouched());
        }
    }
}

struct Shape {
    int32 width;
    int32 height;
    int32 sourcePadding;
    int32 targetPadding;
};

TEST(PixelConversionTest, FastPathsMatchTheReferenceByteForByte)
{
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
        for (const auto& [source, target] : cases) {
            const int32 stride = TightStride(fourcc, source.width) + source.sourcePadding;
            std::vector<uint8> bytes(NeededBytes(fourcc, source.width, source.height, stride));
            std::ranges::generate(bytes, [&] { return uint8(random()); });
            const std::vector<uint8> original = bytes;
            SourcePlanes planes;
            ASSERT_EQ(
                LocatePlanes(Frame(bytes, fourcc, source.width, source.height, stride), planes),
                B_OK);
            for (color_space space : SPACES) {
                Target reference(target.width, target.height, space, target.targetPadding);
                ConvertReference(planes, reference.frame);
                EXPECT_TRUE(reference.PaddingUntouched());
                for (const ConvertImplementation& implementation : implementations) {
                    Target fast(target.width, target.height, space, target.targetPadding);
                    implementation.function(planes, fast.frame);
                    EXPECT_EQ(fast.bytes, reference.bytes)
                        << implementation.name << " " << fourcc << " " << source.width << "x"
                        << source.height << " to " << target.width << "x" << target.height
                        << " space " << space;
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

    static bool AllBlack(const Target& target)
    {
        const uint32 black = target.frame.space == B_RGB32 ? 0xFF000000u : 0;
        for (int32 i = 0; i < target.frame.width * target.frame.height; i++) {
            if (target.Word(i % target.frame.width, i / target.frame.width) != black)
                return false;
        }
        return true;
    }

    // The centres of the red, green, blue and white blocks in a target scaled down by the factor.
    static void ExpectBlocks(const Target& target, int32 factor)
    {
        const uint32 colours[]
            = {Rgb32(255, 0, 0), Rgb32(0, 255, 0), Rgb32(0, 0, 255), Rgb32(255, 255, 255)};
        for (int32 block = 0; block < 4; block++) {
            ExpectNear(target.Word((8 + block % 2 * 16) / factor, (4 + block / 2 * 8) / factor),
                colours[block]);
        }
    }

    std::vector<uint8> jpeg;
};

TEST_F(PixelConversionJpegTest, DecodesIntoEveryTargetSpace)
{
    const Target rgb32
        = Converted(Frame(jpeg, FOURCC_MJPEG, WIDTH, HEIGHT), WIDTH, HEIGHT, B_RGB32, 8);
    EXPECT_TRUE(rgb32.PaddingUntouched());
    // Block centres, where the compression leaves flat colour all but alone.
    ExpectBlocks(rgb32, 1);

    // The other spaces are the decoded picture converted as a 32-bit frame.
    for (color_space space : {B_RGB16, B_RGB15, B_GRAY8}) {
        EXPECT_EQ(
            Converted(Frame(jpeg, FOURCC_JPEG, WIDTH, HEIGHT), WIDTH, HEIGHT, space, 2).bytes,
            Converted(Frame(rgb32.bytes, FOURCC_XRGB32, WIDTH, HEIGHT, rgb32.frame.bytesPerRow),
                WIDTH, HEIGHT, space, 2)
                .bytes);
    }
}

TEST_F(PixelConversionJpegTest, ScalesToATargetOfAnotherSize)
{
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
            Target target(WIDTH, HEIGHT, space, 4);
            EXPECT_EQ(ConvertFrame(CapturedFrame{bytes.empty() ? nullptr : bytes.data(),
                                       bytes.size(), FOURCC_MJPEG, WIDTH, HEIGHT, 0},
                          target.frame),
                B_ERROR)
                << bytes.size();
            EXPECT_TRUE(AllBlack(target)) << bytes.size();
            EXPECT_TRUE(target.PaddingUntouched());
        }
    }
    // A JPEG of another size than the frame's.
    Target target(WIDTH, HEIGHT, B_RGB32);
    EXPECT_EQ(ConvertFrame(Frame(jpeg, FOURCC_MJPEG, WIDTH * 2, HEIGHT), target.frame), B_ERROR);
    EXPECT_TRUE(AllBlack(target));
    EXPECT_EQ(ConvertFrame(Frame(jpeg, FOURCC_MJPEG, 0, HEIGHT), target.frame), B_BAD_VALUE);
}

TEST_F(PixelConversionJpegTest, ThreadsDecodeAtTheSameTimeAlike)
{
    const Target expected
        = Converted(Frame(jpeg, FOURCC_MJPEG, WIDTH, HEIGHT), WIDTH, HEIGHT, B_RGB16);
    constexpr size_t THREADS = 4;
    std::vector<Target> targets;
    targets.reserve(THREADS);
    for (size_t i = 0; i < THREADS; i++)
        targets.emplace_back(WIDTH, HEIGHT, B_RGB16);
    std::vector<status_t> results(THREADS, B_OK);
    {
        std::vector<std::jthread> threads;
        for (size_t i = 0; i < THREADS; i++) {
            threads.emplace_back([&, i] {
                for (int32 round = 0; round < 50 && results[i] == B_OK; round++)
                    results[i]
                        = ConvertFrame(Frame(jpeg, FOURCC_MJPEG, WIDTH, HEIGHT), targets[i].frame);
            });
        }
    }
    for (size_t i = 0; i < THREADS; i++) {
        EXPECT_EQ(results[i], B_OK);
        EXPECT_EQ(targets[i].bytes, expected.bytes);
    }
}

}
}
