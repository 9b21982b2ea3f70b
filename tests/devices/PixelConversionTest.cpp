#include "devices/PixelConversion.h"

#include "devices/PixelConversionPrivate.h"
#include "kits/interface/FrameView.h"
#include "kits/kernel/Errors.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <cstring>
#include <memory>
#include <random>
#include <thread>
#include <vector>

namespace devices::test {
namespace {

constexpr uint8 SENTINEL = 0xA5;
constexpr color_space SPACES[] = {B_RGB32, B_RGB16, B_RGB15, B_GRAY8};
constexpr uint32 UNCOMPRESSED[] = {FOURCC_YUYV, FOURCC_UYVY, FOURCC_NV12, FOURCC_YU12,
    FOURCC_RGB24, FOURCC_BGR24, FOURCC_XRGB32, FOURCC_ARGB32, FOURCC_RGB565, FOURCC_RGB555,
    FOURCC_GREY};

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
        for (int32 y = 0; y < frame.height; y++) {
            for (int32 x = used; x < frame.bytesPerRow; x++) {
                if (bytes[size_t(y * frame.bytesPerRow + x)] != SENTINEL)
                    return false;
            }
        }
        return true;
    }

    bool Untouched() const
    {
        for (uint8 byte : bytes) {
            if (byte != SENTINEL)
                return false;
        }
        return true;
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
        Target target(example.width, 1, example.space);
        ASSERT_EQ(ConvertFrame(Frame(example.bytes, example.fourcc, example.width, 1),
                      target.frame),
            B_OK);
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
        Target target(2, 1, B_RGB32);
        const std::vector<uint8> bytes = {bar.y, bar.u, bar.y, bar.v};
        ASSERT_EQ(ConvertFrame(Frame(bytes, FOURCC_YUYV, 2, 1), target.frame), B_OK);
        const uint32 word = target.Word(1, 0);
        EXPECT_NEAR(int32(word >> 16 & 0xFF), bar.red, 3) << int(bar.y);
        EXPECT_NEAR(int32(word >> 8 & 0xFF), bar.green, 3) << int(bar.y);
        EXPECT_NEAR(int32(word & 0xFF), bar.blue, 3) << int(bar.y);
        EXPECT_EQ(word >> 24, 0xFFu);
    }
}

TEST(PixelConversionTest, LayoutsOfTheSamePixelsConvertAlike)
{
    // Each pixel of a YUYV pair keeps its own luma and shares the chroma, as in UYVY; the
    // planar formats share their chroma over two by two pixels.
    const struct {
        uint32 fourcc;
        std::vector<uint8> bytes;
        uint32 sameAs;
        std::vector<uint8> sameBytes;
        int32 height;
    } cases[] = {{FOURCC_UYVY, {90, 81, 240, 41}, FOURCC_YUYV, {81, 90, 41, 240}, 1},
        {FOURCC_NV12, {16, 235, 126, 81, 90, 240}, FOURCC_YUYV,
            {16, 90, 235, 240, 126, 90, 81, 240}, 2},
        {FOURCC_YU12, {16, 235, 126, 81, 90, 240}, FOURCC_YUYV,
            {16, 90, 235, 240, 126, 90, 81, 240}, 2}};
    for (const auto& entry : cases) {
        Target converted(2, entry.height, B_RGB32);
        Target expected(2, entry.height, B_RGB32);
        ASSERT_EQ(ConvertFrame(Frame(entry.bytes, entry.fourcc, 2, entry.height),
                      converted.frame),
            B_OK);
        ASSERT_EQ(ConvertFrame(Frame(entry.sameBytes, entry.sameAs, 2, entry.height),
                      expected.frame),
            B_OK);
        EXPECT_EQ(converted.bytes, expected.bytes) << entry.fourcc;
    }
}

TEST(PixelConversionTest, DifferentSizesTakeTheNearestPixel)
{
    // A 4x2 RGB frame of distinct greys into 2x4 and 8x1.
    std::vector<uint8> bytes;
    for (int32 i = 0; i < 8; i++)
        bytes.insert(bytes.end(), 3, uint8(i * 10));
    Target narrow(2, 4, B_GRAY8);
    ASSERT_EQ(ConvertFrame(Frame(bytes, FOURCC_RGB24, 4, 2), narrow.frame), B_OK);
    const uint32 expectedNarrow[4][2] = {{0, 20}, {0, 20}, {40, 60}, {40, 60}};
    for (int32 y = 0; y < 4; y++) {
        for (int32 x = 0; x < 2; x++)
            EXPECT_EQ(narrow.Word(x, y), expectedNarrow[y][x]) << x << "," << y;
    }
    Target wide(8, 1, B_GRAY8);
    ASSERT_EQ(ConvertFrame(Frame(bytes, FOURCC_RGB24, 4, 2), wide.frame), B_OK);
    for (int32 x = 0; x < 8; x++)
        EXPECT_EQ(wide.Word(x, 0), uint32(x / 2 * 10));
}

TEST(PixelConversionTest, SourceRowPaddingIsSkipped)
{
    // Two rows of one pixel pair, each followed by four bytes of padding.
    const std::vector<uint8> padded = {16, 128, 16, 128, 1, 2, 3, 4, 235, 128, 235, 128};
    Target target(2, 2, B_GRAY8, 3);
    ASSERT_EQ(ConvertFrame(Frame(padded, FOURCC_YUYV, 2, 2, 8), target.frame), B_OK);
    EXPECT_EQ(target.Word(0, 0), 0u);
    EXPECT_EQ(target.Word(1, 1), 255u);
    EXPECT_TRUE(target.PaddingUntouched());
}

TEST(PixelConversionTest, RefusesFramesItCannotReadAndLeavesTheTargetAlone)
{
    const std::vector<uint8> bytes(64, 16);
    Target target(4, 4, B_RGB32, 4);
    // Unknown format, or sizes that are not positive.
    EXPECT_EQ(ConvertFrame(Frame(bytes, MakeFourCC('Y', 'V', 'Y', 'U'), 4, 4), target.frame),
        B_BAD_VALUE);
    EXPECT_EQ(ConvertFrame(Frame(bytes, FOURCC_YUYV, 0, 4), target.frame), B_BAD_VALUE);
    EXPECT_EQ(ConvertFrame(Frame(bytes, FOURCC_YUYV, 4, -1), target.frame), B_BAD_VALUE);
    // Rows shorter than their pixels: a 3-pixel YUYV row needs two whole pairs.
    EXPECT_EQ(ConvertFrame(Frame(bytes, FOURCC_YUYV, 4, 4, 7), target.frame), B_BAD_VALUE);
    EXPECT_EQ(ConvertFrame(Frame(bytes, FOURCC_YUYV, 3, 4, 6), target.frame), B_BAD_VALUE);
    EXPECT_EQ(ConvertFrame(Frame(bytes, FOURCC_YUYV, 4, 4, -8), target.frame), B_BAD_VALUE);
    // A null frame.
    EXPECT_EQ(ConvertFrame(CapturedFrame{nullptr, 64, FOURCC_GREY, 4, 4, 0}, target.frame),
        B_BAD_VALUE);
    EXPECT_TRUE(target.Untouched());
}

TEST(PixelConversionTest, RefusesTargetsItCannotFill)
{
    const std::vector<uint8> bytes(64, 16);
    std::vector<uint8> bits(64, SENTINEL);
    const CapturedFrame frame = Frame(bytes, FOURCC_GREY, 4, 4);
    EXPECT_EQ(ConvertFrame(frame, TargetFrame{bits.data(), 16, 4, 4, B_RGB24}), B_BAD_VALUE);
    EXPECT_EQ(ConvertFrame(frame, TargetFrame{bits.data(), 15, 4, 4, B_RGB32}), B_BAD_VALUE);
    EXPECT_EQ(ConvertFrame(frame, TargetFrame{bits.data(), 16, 0, 4, B_RGB32}), B_BAD_VALUE);
    EXPECT_EQ(ConvertFrame(frame, TargetFrame{bits.data(), 16, 4, 0, B_RGB32}), B_BAD_VALUE);
    EXPECT_EQ(ConvertFrame(frame, TargetFrame{nullptr, 16, 4, 4, B_RGB32}), B_BAD_VALUE);
    EXPECT_EQ(bits, std::vector<uint8>(64, SENTINEL));
}

// The bytes a frame of this format and size needs, the last row without its padding.
size_t NeededBytes(uint32 fourcc, int32 width, int32 height, int32 stride)
{
    const size_t chromaRows = size_t(height + 1) / 2;
    const size_t chromaWidth = size_t(width + 1) / 2;
    switch (fourcc) {
    case FOURCC_NV12:
        return size_t(stride) * size_t(height) + (chromaRows - 1) * size_t(stride)
            + chromaWidth * 2;
    case FOURCC_YU12: {
        const size_t chromaStride = size_t(stride + 1) / 2;
        return size_t(stride) * size_t(height) + (2 * chromaRows - 1) * chromaStride + chromaWidth;
    }
    default: {
        int32 rowBytes = width;
        if (fourcc == FOURCC_YUYV || fourcc == FOURCC_UYVY)
            rowBytes = (width + 1) / 2 * 4;
        else if (fourcc == FOURCC_RGB24 || fourcc == FOURCC_BGR24)
            rowBytes = width * 3;
        else if (fourcc == FOURCC_XRGB32 || fourcc == FOURCC_ARGB32)
            rowBytes = width * 4;
        else if (fourcc == FOURCC_RGB565 || fourcc == FOURCC_RGB555)
            rowBytes = width * 2;
        return size_t(stride) * size_t(height - 1) + size_t(rowBytes);
    }
    }
}

int32 TightStride(uint32 fourcc, int32 width)
{
    if (fourcc == FOURCC_NV12 || fourcc == FOURCC_YU12)
        return width;
    return int32(NeededBytes(fourcc, width, 1, 0));
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
            EXPECT_EQ(ConvertFrame(CapturedFrame{exact.get(), needed - 1, fourcc, width, height,
                                       stride},
                          target.frame),
                B_BAD_VALUE)
                << fourcc << " " << width << "x" << height;
            EXPECT_TRUE(target.Untouched());
            EXPECT_EQ(
                ConvertFrame(CapturedFrame{exact.get(), needed, fourcc, width, height, stride},
                    target.frame),
                B_OK)
                << fourcc << " " << width << "x" << height;
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
    cases.insert(cases.end(), {{{37, 11, 2, 0}, {50, 7, 0, 2}}, {{50, 4, 1, 0}, {45, 3, 0, 2}},
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
            for (uint8& byte : bytes)
                byte = uint8(random());
            const std::vector<uint8> original = bytes;
            SourcePlanes planes;
            ASSERT_EQ(LocatePlanes(Frame(bytes, fourcc, source.width, source.height, stride),
                          planes),
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
    const int result = tjCompress2(handle, bgra.data(), width, width * 4, height, TJPF_BGRA,
        &jpeg, &size, TJSAMP_444, 100, 0);
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
    std::vector<uint8> bgra(size_t(width * height * 4));
    for (int32 y = 0; y < height; y++) {
        for (int32 x = 0; x < width; x++) {
            const int32 block = (x * 2 / width) + (y * 2 / height) * 2;
            const uint8 colours[4][3] = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {255, 255, 255}};
            uint8* pixel = &bgra[size_t((y * width + x) * 4)];
            std::memcpy(pixel, colours[block], 3);
            pixel[3] = 255;
        }
    }
    return bgra;
}

// Each channel within 2 levels, the opaque byte exact.
void ExpectNear(uint32 actual, uint32 expected)
{
    for (int32 shift : {0, 8, 16})
        EXPECT_NEAR(int32(actual >> shift & 0xFF), int32(expected >> shift & 0xFF), 2) << shift;
    EXPECT_EQ(actual >> 24, 0xFFu);
}

class PixelConversionJpegTest : public ::testing::Test {
protected:
    static constexpr int32 WIDTH = 32;
    static constexpr int32 HEIGHT = 16;

    void SetUp() override
    {
        picture = BlockPicture(WIDTH, HEIGHT);
        jpeg = CompressJpeg(picture, WIDTH, HEIGHT);
        ASSERT_FALSE(jpeg.empty());
    }

    bool AllBlack(const Target& target) const
    {
        const uint32 black = target.frame.space == B_RGB32 ? 0xFF000000u : 0;
        for (int32 y = 0; y < target.frame.height; y++) {
            for (int32 x = 0; x < target.frame.width; x++) {
                if (target.Word(x, y) != black)
                    return false;
            }
        }
        return true;
    }

    std::vector<uint8> picture;
    std::vector<uint8> jpeg;
};

TEST_F(PixelConversionJpegTest, DecodesIntoEveryTargetSpace)
{
    Target rgb32(WIDTH, HEIGHT, B_RGB32, 8);
    ASSERT_EQ(ConvertFrame(Frame(jpeg, FOURCC_MJPEG, WIDTH, HEIGHT), rgb32.frame), B_OK);
    EXPECT_TRUE(rgb32.PaddingUntouched());
    // Block centres, where the compression leaves flat colour all but alone.
    ExpectNear(rgb32.Word(8, 4), Rgb32(255, 0, 0));
    ExpectNear(rgb32.Word(24, 4), Rgb32(0, 255, 0));
    ExpectNear(rgb32.Word(8, 12), Rgb32(0, 0, 255));
    ExpectNear(rgb32.Word(24, 12), Rgb32(255, 255, 255));

    // The other spaces are the decoded picture converted as a 32-bit frame.
    for (color_space space : {B_RGB16, B_RGB15, B_GRAY8}) {
        Target decoded(WIDTH, HEIGHT, space, 2);
        ASSERT_EQ(ConvertFrame(Frame(jpeg, FOURCC_JPEG, WIDTH, HEIGHT), decoded.frame), B_OK);
        std::vector<uint8> bgra(size_t(WIDTH * HEIGHT * 4));
        for (int32 y = 0; y < HEIGHT; y++)
            std::memcpy(&bgra[size_t(y * WIDTH * 4)],
                &rgb32.bytes[size_t(y * rgb32.frame.bytesPerRow)], size_t(WIDTH * 4));
        Target converted(WIDTH, HEIGHT, space, 2);
        ASSERT_EQ(ConvertFrame(Frame(bgra, FOURCC_XRGB32, WIDTH, HEIGHT), converted.frame), B_OK);
        EXPECT_EQ(decoded.bytes, converted.bytes) << space;
    }
}

TEST_F(PixelConversionJpegTest, ScalesToATargetOfAnotherSize)
{
    Target half(WIDTH / 2, HEIGHT / 2, B_RGB32);
    ASSERT_EQ(ConvertFrame(Frame(jpeg, FOURCC_MJPEG, WIDTH, HEIGHT), half.frame), B_OK);
    ExpectNear(half.Word(4, 2), Rgb32(255, 0, 0));
    ExpectNear(half.Word(12, 6), Rgb32(255, 255, 255));
}

TEST_F(PixelConversionJpegTest, ADamagedJpegIsAnErrorAndABlackPicture)
{
    std::mt19937 random(3);
    std::vector<uint8> noise(jpeg.size());
    for (uint8& byte : noise)
        byte = uint8(random());
    // Scan data overwritten from just after the start-of-scan marker.
    std::vector<uint8> damaged = jpeg;
    size_t scan = 0;
    while (scan + 1 < damaged.size() && !(damaged[scan] == 0xFF && damaged[scan + 1] == 0xDA))
        scan++;
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
    Target expected(WIDTH, HEIGHT, B_RGB16);
    ASSERT_EQ(ConvertFrame(Frame(jpeg, FOURCC_MJPEG, WIDTH, HEIGHT), expected.frame), B_OK);
    constexpr int32 THREADS = 4;
    std::vector<Target> targets;
    targets.reserve(THREADS);
    for (int32 i = 0; i < THREADS; i++)
        targets.emplace_back(WIDTH, HEIGHT, B_RGB16);
    std::vector<status_t> results(THREADS, B_ERROR);
    std::vector<std::thread> threads;
    for (int32 i = 0; i < THREADS; i++) {
        threads.emplace_back([&, i] {
            for (int32 round = 0; round < 50; round++) {
                results[size_t(i)] = ConvertFrame(Frame(jpeg, FOURCC_MJPEG, WIDTH, HEIGHT),
                    targets[size_t(i)].frame);
                if (results[size_t(i)] != B_OK)
                    break;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (int32 i = 0; i < THREADS; i++) {
        EXPECT_EQ(results[size_t(i)], B_OK);
        EXPECT_EQ(targets[size_t(i)].bytes, expected.bytes);
    }
}

}
}
