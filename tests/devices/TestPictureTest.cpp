#include "devices/TestPicture.h"

#include "devices/StationPainter.h"
#include "kits/interface/FrameView.h"
#include "video/FindContrast.h"
#include "video/SubtitleContrast.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace devices::test {
namespace {

constexpr uint8 FILL_BYTE = 0xA5;

// A frame in plain memory whose rows carry padding bytes past their pixels, followed by guard
// bytes past the last row, all set to a fill byte before drawing, so tests see what was written.
class TestFrame {
public:
    static constexpr int32 GUARD_BYTES = 64;

    TestFrame(
        color_space space, int32 width, int32 lines, int32 padding = 0, uint8 fill = FILL_BYTE)
        : buffer{nullptr, width * BytesPerPixel(space) + padding, width, lines, space},
          bytes(size_t(buffer.bytesPerRow) * size_t(lines) + GUARD_BYTES, fill)
    {
        buffer.bits = bytes.data();
    }

    // A moved vector keeps its bytes where they were, so the view stays valid; a copy would not.
    TestFrame(TestFrame&&) = default;

    const FrameView& Buffer() const { return buffer; }
    const std::vector<uint8>& Bytes() const { return bytes; }

    uint32 Pixel(int32 x, int32 y) const
    {
        uint32 value = 0;
        const int32 pixelBytes = BytesPerPixel(buffer.colorSpace);
        std::memcpy(&value, buffer.Row(y) + size_t(x) * pixelBytes, size_t(pixelBytes));
        return value;
    }

    // How many pixels differ from the other frame's.
    int32 Differing(const TestFrame& other) const
    {
        int32 count = 0;
        for (int32 y = 0; y < buffer.lines; y++) {
            for (int32 x = 0; x < buffer.width; x++)
                count += Pixel(x, y) != other.Pixel(x, y);
        }
        return count;
    }

    bool RowsEqual(const TestFrame& other, int32 y) const
    {
        return std::memcmp(buffer.Row(y), other.buffer.Row(y),
                   size_t(buffer.width) * BytesPerPixel(buffer.colorSpace))
            == 0;
    }

    // Sum over all pixels of |row y - row y + 1| in the green of 32-bit pixels, over rows
    // [top, bottom).
    int64 VerticalDifference(int32 top, int32 bottom) const
    {
        int64 sum = 0;
        for (int32 y = top; y + 1 < bottom; y++) {
            for (int32 x = 0; x < buffer.width; x++)
                sum += std::abs(
                    int32(Pixel(x, y) >> 8 & 0xFF) - int32(Pixel(x, y + 1) >> 8 & 0xFF));
        }
        return sum;
    }

private:
    FrameView buffer;
    std::vector<uint8> bytes;
};

constexpr color_space SPACES[] = {B_RGB32, B_RGB16, B_RGB15, B_GRAY8};
// A PAL field period, in microseconds.
constexpr bigtime_t FIELD = 20000;
constexpr bigtime_t FRAME = 40000;
constexpr bigtime_t START = 123456789;

struct Size {
    int32 width;
    int32 lines;
};

constexpr Size USUAL_SIZES[] = {{768, 576}, {720, 576}, {640, 480}, {384, 288}};

std::string Describe(const TestStation& station, Size size, color_space space)
{
    return station.name + " at " + std::to_string(size.width) + "x" + std::to_string(size.lines)
        + " in space " + std::to_string(int32(space));
}

int32 Contrast(const TestFrame& frame)
{
    return FindContrast(frame.Buffer(), frame.Bytes().size() - TestFrame::GUARD_BYTES);
}

// The subtitle filter's own test of a pixel with its threshold at 0: white when red, green and
// blue agree once their lowest bits are dropped.
bool IsColourless(const TestFrame& frame, int32 x, int32 y)
{
    const uint32 p = frame.Pixel(x, y);
    switch (frame.Buffer().colorSpace) {
    case B_RGB32:
        return (p >> 8 & 0xFE) == (p >> 16 & 0xFE) && (p >> 8 & 0xFE) == (p & 0xFE);
    case B_RGB16:
        return (p >> 6 & 0x1E) == (p >> 11 & 0x1E) && (p >> 6 & 0x1E) == (p & 0x1E);
    default:
        return (p >> 5 & 0x1E) == (p >> 10 & 0x1E) && (p >> 5 & 0x1E) == (p & 0x1E);
    }
}

class TestPictureTest : public testing::Test {
protected:
    TestFrame Draw(const TestStation& station, Size size, color_space space,
        FieldTimes times = {START, START + FIELD}, const PictureControls& controls = {})
    {
        // Rows without padding, as the consumer's bitmaps have them: FindContrast walks the
        // bytes from the start of the bits whatever the rows.
        TestFrame frame(space, size.width, size.lines);
        EXPECT_EQ(picture.DrawStation(frame.Buffer(), station, controls, times), B_OK);
        return frame;
    }

    TestFrame Snow(Size size, color_space space, uint64 seed)
    {
        TestFrame frame(space, size.width, size.lines);
        EXPECT_EQ(picture.DrawNoise(frame.Buffer(), {}, seed), B_OK);
        return frame;
    }

    TestPicture picture;
};

TEST_F(TestPictureTest, WritesEveryPixelAndNoPaddingInEverySpaceAndSize)
{
    const Size sizes[] = {{1, 1}, {2, 2}, {3, 5}, {17, 9}, {101, 77}, {767, 575}};
    const TestStation station = DefaultTestStations()[1];
    for (color_space space : SPACES) {
        for (Size size : sizes) {
            for (bool snow : {false, true}) {
                SCOPED_TRACE(Describe(station, size, space) + (snow ? " snow" : ""));
                TestFrame frame(space, size.width, size.lines, 5);
                TestFrame other(space, size.width, size.lines, 5, 0x5A);
                for (TestFrame* target : {&frame, &other}) {
                    const status_t status = snow
                        ? picture.DrawNoise(target->Buffer(), {}, 7)
                        : picture.DrawStation(target->Buffer(), station, {}, {START, START});
                    ASSERT_EQ(status, B_OK);
                }
                // Row padding and the guard bytes past the last row keep their fill.
                const int32 bytesPerRow = frame.Buffer().bytesPerRow;
                for (int32 i = 0; i < int32(frame.Bytes().size()); i++) {
                    const bool pixel = i / bytesPerRow < size.lines
                        && i % bytesPerRow < size.width * BytesPerPixel(space);
                    ASSERT_TRUE(pixel || frame.Bytes()[size_t(i)] == FILL_BYTE) << i;
                }
                for (int32 y = 0; y < size.lines; y++) {
                    ASSERT_TRUE(frame.RowsEqual(other, y)) << "row " << y;
                    for (int32 x = 0; space == B_RGB15 && x < size.width; x++)
                        ASSERT_EQ(frame.Pixel(x, y) & 0x8000u, 0u);
                }
            }
        }
    }
}

TEST_F(TestPictureTest, RefusesFramesItCannotDraw)
{
    const TestStation station = DefaultTestStations()[0];
    std::vector<uint8> bytes(4 * 1921 * 4, FILL_BYTE);
    const FrameView bad[] = {
        {nullptr, 64, 16, 16, B_RGB32},
        {bytes.data(), 64, 0, 16, B_RGB32},
        {bytes.data(), 64, 16, 0, B_RGB32},
        {bytes.data(), 63, 16, 4, B_RGB32},
        {bytes.data(), 64, 16, 4, B_RGB24},
        {bytes.data(), 64, 16, 4, B_CMAP8},
        {bytes.data(), 4 * 1921, 1921, 1, B_RGB32},
        {bytes.data(), 1, 1, 1081, B_GRAY8},
    };
    for (const FrameView& frame : bad) {
        EXPECT_EQ(picture.DrawStation(frame, station, {}, {}), B_BAD_VALUE);
        EXPECT_EQ(picture.DrawNoise(frame, {}, 1), B_BAD_VALUE);
    }
    for (uint8 byte : bytes)
        ASSERT_EQ(byte, FILL_BYTE);
}

TEST_F(TestPictureTest, EveryStationLooksDifferent)
{
    std::vector<TestStation> stations = DefaultTestStations();
    // The same pattern under another name still differs: the name tints the picture.
    stations.push_back({0, "ZULU", stations[0].pattern, false});
    const Size size{384, 288};
    std::vector<TestFrame> frames;
    for (const TestStation& station : stations)
        frames.push_back(Draw(station, size, B_RGB32, {START, START}));
    for (size_t a = 0; a < frames.size(); a++) {
        for (size_t b = a + 1; b < frames.size(); b++) {
            EXPECT_GT(frames[a].Differing(frames[b]), size.width * size.lines / 4)
                << stations[a].name << " and " << stations[b].name;
        }
    }
}

TEST_F(TestPictureTest, EachFieldShowsThePictureAtItsOwnTimeAndRepeatsForTheSameTime)
{
    for (const TestStation& station : DefaultTestStations()) {
        SCOPED_TRACE(station.name);
        const Size size{768, 576};
        const TestFrame interlaced = Draw(station, size, B_RGB32, {START, START + FIELD});
        EXPECT_EQ(
            interlaced.Bytes(), Draw(station, size, B_RGB32, {START, START + FIELD}).Bytes());
        EXPECT_NE(interlaced.Bytes(),
            Draw(station, size, B_RGB32, {START + FRAME, START + FRAME + FIELD}).Bytes());
        const TestFrame early = Draw(station, size, B_RGB32, {START, START});
        const TestFrame late = Draw(station, size, B_RGB32, {START + FIELD, START + FIELD});
        for (int32 y = 0; y < size.lines; y++)
            ASSERT_TRUE(interlaced.RowsEqual(y % 2 == 0 ? early : late, y)) << "row " << y;
        // Moving edges comb: neighbouring lines differ more than in either field's own frame.
        const StationLayout layout(size.width, size.lines);
        const int64 combed = interlaced.VerticalDifference(layout.motionTop, layout.motionBottom);
        EXPECT_GT(combed, early.VerticalDifference(layout.motionTop, layout.motionBottom));
        EXPECT_GT(combed, late.VerticalDifference(layout.motionTop, layout.motionBottom));
    }
}

TEST_F(TestPictureTest, MovingObjectsStayClearOfTheHeaderAndTheSubtitleBand)
{
    for (const TestStation& station : DefaultTestStations()) {
        SCOPED_TRACE(station.name);
        const Size size{384, 288};
        const StationLayout layout(size.width, size.lines);
        const TestFrame reference = Draw(station, size, B_RGB32, {START, START});
        for (bigtime_t time = START; time < START + 4000000; time += 97000) {
            const TestFrame frame = Draw(station, size, B_RGB32, {time, time + FIELD});
            for (int32 y = 0; y < size.lines; y++) {
                const bool moving = y >= layout.motionTop && y < layout.motionBottom;
                ASSERT_TRUE(moving || frame.RowsEqual(reference, y)) << "row " << y;
            }
        }
    }
}

TEST_F(TestPictureTest, TopOfEveryStationMeasuresAsAStation)
{
    for (const TestStation& station : DefaultTestStations()) {
        for (Size size : USUAL_SIZES) {
            for (color_space space : SPACES) {
                const int32 contrast = Contrast(Draw(station, size, space));
                EXPECT_GE(contrast, 1) << Describe(station, size, space);
                EXPECT_LE(contrast, 1499) << Describe(station, size, space);
            }
        }
    }
    // The largest frame.
    const int32 contrast = Contrast(Draw(DefaultTestStations()[2], {1920, 1080}, B_RGB32));
    EXPECT_GE(contrast, 1);
    EXPECT_LE(contrast, 1499);
}

TEST_F(TestPictureTest, SnowMeasuresAsNoiseAndChangesWithTheSeed)
{
    for (Size size : USUAL_SIZES) {
        for (color_space space : SPACES) {
            const TestFrame snow = Snow(size, space, 1);
            EXPECT_GE(Contrast(snow), 1500) << size.width << " " << int32(space);
            EXPECT_NE(snow.Bytes(), Snow(size, space, 2).Bytes());
            EXPECT_EQ(snow.Bytes(), Snow(size, space, 1).Bytes());
        }
    }
}

TEST_F(TestPictureTest, BlankStationIsFlat)
{
    const TestStation blank{0, "OFF AIR", TestPattern::BLANK, false};
    for (color_space space : SPACES)
        EXPECT_EQ(Contrast(Draw(blank, {768, 576}, space)), 0);
}

TEST_F(TestPictureTest, SubtitlesSetOffTheSubtitleFilterAtFullSize)
{
    int32 withSubtitles = 0;
    for (const TestStation& station : DefaultTestStations()) {
        for (color_space space : {B_RGB32, B_RGB16, B_RGB15}) {
            SCOPED_TRACE(Describe(station, {768, 576}, space));
            TestFrame frame = Draw(station, {768, 576}, space);
            const StationLayout layout(768, 576);
            int32 white = 0;
            for (int32 y = layout.bandTop; y < layout.bandBottom; y++) {
                for (int32 x = 0; x < 768; x++)
                    white += IsColourless(frame, x, y);
            }
            SubtitleContrastState state;
            SubtitleContrast(frame.Buffer(), state);
            if (station.subtitles) {
                EXPECT_GT(white, 2000);
                // The rest of the band is dark.
                EXPECT_GT(768 * (layout.bandBottom - layout.bandTop) - white, 6 * white);
                EXPECT_TRUE(state.active);
                EXPECT_GT(state.threshold, 0);
            } else {
                EXPECT_EQ(white, 0);
                EXPECT_FALSE(state.active);
            }
        }
        withSubtitles += station.subtitles;
    }
    EXPECT_GE(withSubtitles, 2);
}

TEST_F(TestPictureTest, EveryControlChangesThePicture)
{
    const TestStation station{0, "PLAIN", TestPattern::LANDSCAPE, true};
    const Size size{384, 288};
    const TestFrame plain = Draw(station, size, B_RGB16);
    const std::pair<const char*, PictureControls> changes[] = {{"brightness", {.brightness = 40}},
        {"contrast", {.contrast = 60}}, {"saturation", {.saturation = 30}}, {"hue", {.hue = 45}},
        {"luma coring", {.lumaCoring = true}}, {"chroma comb", {.chromaComb = false}},
        {"gamma", {.gamma = true}}, {"error diffusion", {.errorDiffusion = true}}};
    for (const auto& [name, changed] : changes) {
        const TestFrame frame = Draw(station, size, B_RGB16, {START, START + FIELD}, changed);
        EXPECT_GT(frame.Differing(plain), size.width * size.lines / 50) << name;
    }
}

TEST_F(TestPictureTest, SnowFollowsBrightnessAndContrast)
{
    TestFrame flat(B_RGB32, 64, 64);
    PictureControls controls;
    controls.contrast = 0;
    ASSERT_EQ(picture.DrawNoise(flat.Buffer(), controls, 3), B_OK);
    EXPECT_EQ(Contrast(flat), 0);
    controls.brightness = 100;
    ASSERT_EQ(picture.DrawNoise(flat.Buffer(), controls, 3), B_OK);
    EXPECT_EQ(flat.Pixel(10, 10) & 0xFFFFFF, 0x646464u);
}

}
}
