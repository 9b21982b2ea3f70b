#include "video/MotionDeInterlace.h"

#include "tests/video/FrameTestSupport.h"
#include "video/MotionDeInterlacePrivate.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace video::test {
namespace {

constexpr FieldOrder ORDERS[] = {FIELD_ORDER_TOP_FIRST, FIELD_ORDER_BOTTOM_FIRST};

// The public entry and every implementation.
std::vector<MotionDeInterlaceImplementation> EveryPath()
{
    std::vector<MotionDeInterlaceImplementation> paths = MotionDeInterlaceImplementations();
    paths.push_back({"MotionDeInterlace", MotionDeInterlace});
    return paths;
}

// The first row of the later field.
int32 FirstLaterRow(FieldOrder order)
{
    return order == FIELD_ORDER_TOP_FIRST ? 1 : 0;
}

// The previous field a state holds, row after row; empty when it holds none.
std::vector<uint8> PreviousField(
    const MotionDeInterlaceState& state, const FrameView& frame, FieldOrder order)
{
    if (!state.hasPrevious)
        return {};
    const int32 rows = (frame.lines - FirstLaterRow(order) + 1) / 2;
    const uint8* bytes = state.previousField.get();
    return {bytes, bytes + size_t(frame.RowBytes()) * size_t(rows)};
}

// With no frame before, every row of the later field becomes the mean of its neighbours, or
// the one neighbour it has at an edge; the earlier field stays as it is.
TEST(MotionDeInterlaceTest, FirstFrameInterpolatesTheLaterFieldFromTheEarlierOne)
{
    const struct {
        color_space space;
        uint32 upper;
        uint32 lower;
        uint32 mean;
    } pixels[] = {
        {B_GRAY8, 0x10, 0x13, 0x11},
        {B_GRAY8, 0xFF, 0xFF, 0xFF},
        // Red 2, green 4, blue 4 over black: red 1, green 2, blue 2.
        {B_RGB16, 0x1084, 0x0000, 0x0842},
        {B_RGB16, 0xFFFF, 0xFFFF, 0xFFFF},
        {B_RGB15, 0x7C1F, 0x0BE1, 0x41F0},
        {B_RGB32, 0x00804020, 0x00204081, 0x00504050},
    };
    // Five rows: the earlier field alternates upper and lower from row 0 or 1.
    for (const MotionDeInterlaceImplementation& path : EveryPath()) {
        for (const auto& test : pixels) {
            for (FieldOrder order : ORDERS) {
                const int32 later = FirstLaterRow(order);
                TestFrame frame(test.space, 40, 5, 3);
                std::mt19937 random(1);
                frame.Randomize(random);
                for (int32 y = 1 - later; y < 5; y += 2) {
                    for (int32 x = 0; x < 40; x++)
                        frame.SetPixel(x, y, (y / 2) % 2 == 0 ? test.upper : test.lower);
                }
                TestFrame expected = frame;
                for (int32 y = later; y < 5; y += 2) {
                    const uint32 value = y == 0 ? test.upper : y == 4 ? test.lower : test.mean;
                    for (int32 x = 0; x < 40; x++)
                        expected.SetPixel(x, y, value);
                }
                MotionDeInterlaceState state;
                path.function(frame.View(), state, order);
                ASSERT_EQ(frame.Bytes(), expected.Bytes())
                    << path.name << " space " << test.space << " order " << order;
            }
        }
    }
}

// A slanting edge between two colours: the rows above and below change colour two pixels apart,
// and the row between them takes the pair along the edge, so it changes colour halfway and no
// pixel is the mean of the two colours.
TEST(MotionDeInterlaceTest, InterpolationFollowsAnEdgeSlantingEitherWay)
{
    const struct {
        color_space space;
        uint32 first;
        uint32 second;
    } colours[] = {{B_GRAY8, 0x00, 0xF0}, {B_RGB15, Rgb15Pixel(31, 0, 4), Rgb15Pixel(0, 31, 4)},
        {B_RGB16, Rgb16Pixel(31, 0, 0), Rgb16Pixel(0, 63, 0)},
        {B_RGB32, Rgb32Pixel(255, 10, 0), Rgb32Pixel(0, 200, 0)}};
    for (const MotionDeInterlaceImplementation& path : EveryPath()) {
        for (const auto& test : colours) {
            for (auto [aboveEdge, belowEdge] : {std::pair{20, 18}, std::pair{18, 20}}) {
                TestFrame frame(test.space, 40, 3);
                TestFrame expected = frame;
                for (int32 x = 0; x < 40; x++) {
                    frame.SetPixel(x, 0, x < aboveEdge ? test.first : test.second);
                    frame.SetPixel(x, 2, x < belowEdge ? test.first : test.second);
                    for (int32 y = 0; y < 3; y++)
                        expected.SetPixel(x, y, frame.Pixel(x, y));
                    expected.SetPixel(x, 1, x < 19 ? test.first : test.second);
                }
                MotionDeInterlaceState state;
                path.function(frame.View(), state, FIELD_ORDER_TOP_FIRST);
                ASSERT_EQ(frame.Bytes(), expected.Bytes())
                    << path.name << " space " << test.space << " edges " << aboveEdge;
            }
        }
    }
}

TEST(MotionDeInterlaceTest, StillPictureKeepsBothFieldsUntilTheFrameBeforeIsDropped)
{
    std::mt19937 random(2);
    for (const MotionDeInterlaceImplementation& path : EveryPath()) {
        for (color_space space : CONSUMER_SPACES) {
            TestFrame original(space, 53, 31, 2);
            original.Randomize(random);
            MotionDeInterlaceState state;
            TestFrame first = original;
            path.function(first.View(), state, FIELD_ORDER_TOP_FIRST);
            ASSERT_NE(first.Bytes(), original.Bytes());
            TestFrame still = original;
            path.function(still.View(), state, FIELD_ORDER_TOP_FIRST);
            ASSERT_EQ(still.Bytes(), original.Bytes()) << path.name << " space " << space;

            // Another field order, or a dropped frame before, start afresh.
            TestFrame reordered = original;
            path.function(reordered.View(), state, FIELD_ORDER_BOTTOM_FIRST);
            EXPECT_NE(reordered.Bytes(), original.Bytes()) << path.name;
            state.Drop();
            TestFrame afterDrop = original;
            path.function(afterDrop.View(), state, FIELD_ORDER_BOTTOM_FIRST);
            EXPECT_EQ(afterDrop.Bytes(), reordered.Bytes()) << path.name;
        }
    }
}

// One pixel of the later field changes: it and its neighbours, one pixel across and one row of
// the field up or down, are interpolated, and nothing else. A change of the threshold itself
// does not count, one more does.
TEST(MotionDeInterlaceTest, MotionSpreadsToTheNeighboursInTheField)
{
    const struct {
        color_space space;
        uint32 before;
        uint32 within;
        uint32 beyond;
    } cases[] = {
        {B_GRAY8, 0x80, 0x90, 0x91},
        {B_GRAY8, 0x80, 0x70, 0x6F},
        {B_RGB15, Rgb15Pixel(9, 9, 9), Rgb15Pixel(11, 9, 7), Rgb15Pixel(9, 9, 12)},
        {B_RGB16, Rgb16Pixel(9, 9, 9), Rgb16Pixel(7, 13, 11), Rgb16Pixel(9, 14, 9)},
        {B_RGB16, Rgb16Pixel(9, 9, 9), Rgb16Pixel(7, 13, 11), Rgb16Pixel(6, 9, 9)},
        {B_RGB32, Rgb32Pixel(90, 90, 90), Rgb32Pixel(106, 74, 90, 0xFF), Rgb32Pixel(90, 90, 107)},
    };
    constexpr int32 WIDTH = 70;
    constexpr int32 LINES = 12;
    for (const MotionDeInterlaceImplementation& path : EveryPath()) {
        for (const auto& test : cases) {
            for (FieldOrder order : ORDERS) {
                const int32 later = FirstLaterRow(order);
                // Earlier rows 0x00..., later rows `before`: every interpolated pixel shows.
                TestFrame frame(test.space, WIDTH, LINES, 1);
                std::mt19937 random(3);
                frame.Randomize(random);
                for (int32 y = 0; y < LINES; y++) {
                    for (int32 x = 0; x < WIDTH; x++)
                        frame.SetPixel(x, y, (y % 2 == later) ? test.before : 0);
                }
                MotionDeInterlaceState state;
                TestFrame first = frame;
                path.function(first.View(), state, order);

                const int32 row = later + 4;
                // Each frame is followed by the first again, so the state holds it.
                const auto run = [&](TestFrame& next) {
                    path.function(next.View(), state, order);
                    TestFrame back = frame;
                    path.function(back.View(), state, order);
                };
                for (int32 x : {0, 33, WIDTH - 1}) {
                    TestFrame within = frame;
                    within.SetPixel(x, row, test.within);
                    TestFrame filtered = within;
                    run(filtered);
                    ASSERT_EQ(filtered.Bytes(), within.Bytes())
                        << path.name << " space " << test.space << " x " << x;

                    TestFrame beyond = frame;
                    beyond.SetPixel(x, row, test.beyond);
                    const TestFrame came = beyond;
                    TestFrame expected = beyond;
                    for (int32 y = row - 2; y <= row + 2; y += 2) {
                        for (int32 i = std::max(x - 1, 0); i <= std::min(x + 1, WIDTH - 1); i++)
                            expected.SetPixel(i, y, 0);
                    }
                    path.function(beyond.View(), state, order);
                    ASSERT_EQ(beyond.Bytes(), expected.Bytes())
                        << path.name << " space " << test.space << " x " << x;
                    // The next frame is compared with this one as it came, not as it went.
                    TestFrame again = came;
                    run(again);
                    ASSERT_EQ(again.Bytes(), came.Bytes()) << path.name;
                }
            }
        }
    }
}

// A square moving three pixels a field over a black picture, beside still stripes one row high
// in alternate colours, frame after frame: where the rows above and below a pixel of the later
// field agree, it agrees with them (no comb), and from the second frame the stripes keep both
// fields.
TEST(MotionDeInterlaceTest, MovingObjectDoesNotCombWhileStillDetailKeepsBothFields)
{
    const struct {
        color_space space;
        uint32 object;
        uint32 stripe;
    } cases[] = {{B_GRAY8, 0xF0, 0x60}, {B_RGB15, Rgb15Pixel(31, 20, 3), Rgb15Pixel(3, 9, 27)},
        {B_RGB16, Rgb16Pixel(31, 40, 3), Rgb16Pixel(3, 17, 27)},
        {B_RGB32, Rgb32Pixel(250, 160, 30), Rgb32Pixel(30, 70, 220)}};
    constexpr int32 WIDTH = 64;
    constexpr int32 LINES = 24;
    constexpr int32 STRIPES = 48;
    for (const MotionDeInterlaceImplementation& path : EveryPath()) {
        for (const auto& test : cases) {
            for (FieldOrder order : ORDERS) {
                const int32 later = FirstLaterRow(order);
                MotionDeInterlaceState state;
                for (int32 n = 0; n < 6; n++) {
                    TestFrame frame(test.space, WIDTH, LINES);
                    for (int32 y = 0; y < LINES; y++) {
                        // The later field is taken half a frame after the earlier one.
                        const int32 left = 2 + 6 * n + (y % 2 == later ? 3 : 0);
                        for (int32 x = 0; x < WIDTH; x++) {
                            const bool inObject = y >= 6 && y < 18 && x >= left && x < left + 10;
                            frame.SetPixel(x, y,
                                x >= STRIPES   ? (y % 2 == later ? test.stripe : 0)
                                    : inObject ? test.object
                                               : 0);
                        }
                    }
                    const TestFrame original = frame;
                    path.function(frame.View(), state, order);
                    for (int32 y = later; y < LINES; y += 2) {
                        for (int32 x = 0; x < STRIPES; x++) {
                            const uint32 above = original.Pixel(x, y > 0 ? y - 1 : y + 1);
                            const uint32 below = original.Pixel(x, y + 1 < LINES ? y + 1 : y - 1);
                            if (above == below) {
                                ASSERT_EQ(frame.Pixel(x, y), above)
                                    << path.name << " space " << test.space << " frame " << n
                                    << " at " << x << "," << y;
                            }
                        }
                        for (int32 x = STRIPES; x < WIDTH && n > 0; x++)
                            ASSERT_EQ(frame.Pixel(x, y), test.stripe) << path.name;
                    }
                }
            }
        }
    }
}

TEST(MotionDeInterlaceTest, OtherColourSpacesAndUnusableFramesAreLeftAloneAndDropTheFrameBefore)
{
    std::mt19937 random(4);
    TestFrame still(B_RGB32, 40, 10);
    still.Randomize(random);
    std::vector<TestFrame> frames;
    for (color_space space : {B_RGB24, B_CMAP8, B_NO_COLOR_SPACE})
        frames.emplace_back(space, 8, 10, 100);
    frames.emplace_back(B_RGB32, 40, 1);
    for (const MotionDeInterlaceImplementation& path : EveryPath()) {
        for (TestFrame& frame : frames) {
            MotionDeInterlaceState state;
            TestFrame first = still;
            path.function(first.View(), state, FIELD_ORDER_TOP_FIRST);
            frame.Randomize(random);
            const TestFrame original = frame;
            path.function(frame.View(), state, FIELD_ORDER_TOP_FIRST);
            EXPECT_EQ(frame.Bytes(), original.Bytes()) << path.name;
            EXPECT_FALSE(state.hasPrevious) << path.name;
        }
        // Rows shorter than their pixels: nothing is touched.
        FrameView tooShort = still.View();
        tooShort.bytesPerRow = 100;
        const TestFrame original = still;
        MotionDeInterlaceState state;
        path.function(tooShort, state, FIELD_ORDER_TOP_FIRST);
        EXPECT_EQ(still.Bytes(), original.Bytes()) << path.name;
    }
}

// A frame after the one before with some pixels changed a little, some a lot and some not.
void Disturb(TestFrame& frame, std::mt19937& random)
{
    const int32 pixelBytes = frame.BytesPerPixel();
    for (int32 y = 0; y < frame.View().lines; y++) {
        for (int32 x = 0; x < frame.View().width; x++) {
            const uint32 pixel = frame.Pixel(x, y);
            const uint32 roll = random() % 8;
            if (roll < 4)
                continue;
            const uint32 noise = roll < 7 ? (random() & 0x03030303u) : random();
            frame.SetPixel(x, y, (pixel ^ noise) & (0xFFFFFFFFu >> (32 - 8 * pixelBytes)));
        }
    }
}

TEST(MotionDeInterlaceTest, FastPathsMatchReferenceOnRandomFrameSequences)
{
    std::mt19937 random(5);
    const std::vector<MotionDeInterlaceImplementation> paths = EveryPath();
    const std::vector<FrameSize> sizes = FastPathSizes(random, 2, 6, 400, 301);
    for (color_space space : CONSUMER_SPACES) {
        for (const FrameSize& size : sizes) {
            const FieldOrder order = ORDERS[random() % 2];
            std::vector<MotionDeInterlaceState> states(paths.size());
            MotionDeInterlaceState reference;
            TestFrame original(space, size.width, size.lines, size.padding);
            original.Randomize(random);
            for (int32 n = 0; n < 3; n++) {
                TestFrame expected = original;
                MotionDeInterlaceReference(expected.View(), reference, order);
                for (size_t i = 0; i < paths.size(); i++) {
                    TestFrame frame = original;
                    paths[i].function(frame.View(), states[i], order);
                    ASSERT_EQ(frame.Bytes(), expected.Bytes())
                        << paths[i].name << " space " << space << " width " << size.width
                        << " lines " << size.lines << " padding " << size.padding;
                    ASSERT_EQ(PreviousField(states[i], frame.View(), order),
                        PreviousField(reference, frame.View(), order))
                        << paths[i].name;
                }
                Disturb(original, random);
            }
        }
    }
}

}
}
