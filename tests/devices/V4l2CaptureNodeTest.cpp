#include "devices/V4l2CaptureNode.h"
#include "devices/VideoStandard.h"

#include <gtest/gtest.h>

#include <vector>

namespace devices::test {
namespace {

std::vector<V4l2PixelFormat> Offered(std::initializer_list<uint32> fourccs)
{
    std::vector<V4l2PixelFormat> formats;
    for (uint32 fourcc : fourccs)
        formats.push_back(V4l2PixelFormat{fourcc, "", false});
    return formats;
}

// The plan for a device on `standard` that answered with YUYV frames `width` pixels wide.
V4l2FramePlan YuyvPlan(uint32 lines, uint32 field, int32 targetLines, uint64 standard = 0,
    uint32 width = 4)
{
    V4l2FramePlan plan;
    const V4l2Format answer{width, lines, FOURCC_YUYV, field, width * 2, width * 2 * lines};
    V4l2CaptureNode::AdoptDeviceFormat(plan, answer, targetLines, standard);
    return plan;
}

TEST(V4l2CaptureNodeTest, AMissingDeviceMakesNoUsableNode)
{
    V4l2CaptureNode node("/dev/ovelin-no-such-video-device");
    EXPECT_EQ(node.InitCheck(), B_ENTRY_NOT_FOUND);
    EXPECT_EQ(node.FramesSent(), 0);
}

TEST(V4l2CaptureNodeTest, AsksForAFormatLaidOutLikeTheColourSpaceAndFramesOrOneField)
{
    const auto offered = Offered({FOURCC_YUYV, FOURCC_XRGB32, FOURCC_RGB565, FOURCC_GREY});
    const auto nothing = Offered({MakeFourCC('H', '2', '6', '4'), MakeFourCC('Y', '1', '6', ' ')});
    const std::vector<V4l2PixelFormat> none;
    const struct {
        const std::vector<V4l2PixelFormat>& offered;
        int32 width, height;
        color_space space;
        // The device's picture, and whether it is interlaced.
        uint32 fullWidth, fullLines;
        bool interlaced;
        V4l2Format device;
    } cases[] = {{offered, 768, 576, B_RGB32, 720, 576, true,
                     {720, 576, FOURCC_XRGB32, V4L2_FIELD_ORDER_INTERLACED}},
        {offered, 766, 574, B_RGB16, 720, 576, true,
            {720, 576, FOURCC_RGB565, V4L2_FIELD_ORDER_INTERLACED}},
        {offered, 768, 288, B_GRAY8, 720, 576, true,
            {720, 288, FOURCC_GREY, V4L2_FIELD_ORDER_TOP}},
        // No RGB555 on offer: the packed YUV format comes next.
        {offered, 768, 576, B_RGB15, 720, 576, true,
            {720, 576, FOURCC_YUYV, V4L2_FIELD_ORDER_INTERLACED}},
        // A progressive source is asked for the connection's size.
        {offered, 640, 360, B_RGB32, 1280, 720, false,
            {640, 360, FOURCC_XRGB32, V4L2_FIELD_ORDER_NONE}},
        // Nothing convertible, or nothing at all: no format.
        {nothing, 768, 576, B_RGB32, 720, 576, true, {0, 0, 0, 0}},
        {none, 768, 576, B_RGB32, 720, 576, true, {0, 0, 0, 0}}};
    for (const auto& entry : cases) {
        SCOPED_TRACE(
            testing::Message() << entry.width << "x" << entry.height << " " << entry.space);
        const V4l2Format device = V4l2CaptureNode::PlanFrames(entry.offered, entry.width,
            entry.height, entry.space, entry.fullWidth, entry.fullLines, entry.interlaced)
                                      .device;
        EXPECT_EQ(device.fourcc, entry.device.fourcc);
        if (entry.device.fourcc != 0) {
            EXPECT_EQ(device.width, entry.device.width);
            EXPECT_EQ(device.height, entry.device.height);
            EXPECT_EQ(device.field, entry.device.field);
        }
    }
}

TEST(V4l2CaptureNodeTest, TheDevicesAnswerSaysHowTheFieldsAreConverted)
{
    const struct {
        uint32 lines, field;
        int32 targetLines;
        uint64 standard;
        bool bottomFirst, sequential, split, firstOnly;
    } cases[] = {// Field order follows the driver, and V4L2_FIELD_INTERLACED the standard.
        {4, V4L2_FIELD_ORDER_INTERLACED, 4, STANDARD_PAL_B, false, false, false, false},
        {4, V4L2_FIELD_ORDER_INTERLACED, 4, STANDARD_NTSC_M, true, false, false, false},
        {4, V4L2_FIELD_ORDER_INTERLACED_TB, 4, STANDARD_NTSC_M, false, false, false, false},
        {4, V4L2_FIELD_ORDER_INTERLACED_BT, 4, 0, true, false, false, false},
        {4, V4L2_FIELD_ORDER_SEQ_BT, 4, 0, true, true, true, false},
        // Fields are converted apart only when scaling or unweaving would mix them.
        {4, V4L2_FIELD_ORDER_INTERLACED, 6, 0, false, false, true, false},
        {4, V4L2_FIELD_ORDER_SEQ_TB, 4, 0, false, true, true, false},
        {4, V4L2_FIELD_ORDER_INTERLACED, 2, 0, false, false, false, true},
        // Single fields and progressive frames have nothing to keep apart.
        {2, V4L2_FIELD_ORDER_TOP, 4, 0, false, false, false, false},
        {4, V4L2_FIELD_ORDER_NONE, 6, 0, false, false, false, false}};
    for (const auto& entry : cases) {
        SCOPED_TRACE(testing::Message() << entry.field << " into " << entry.targetLines);
        const V4l2FramePlan plan
            = YuyvPlan(entry.lines, entry.field, entry.targetLines, entry.standard);
        EXPECT_EQ(plan.bottomFieldFirst, entry.bottomFirst);
        EXPECT_EQ(plan.sequentialFields, entry.sequential);
        EXPECT_EQ(plan.splitFields, entry.split);
        EXPECT_EQ(plan.firstFieldOnly, entry.firstOnly);
    }
    // Planar formats cannot be read a field at a time.
    V4l2FramePlan planar;
    V4l2CaptureNode::AdoptDeviceFormat(
        planar, {4, 4, FOURCC_NV12, V4L2_FIELD_ORDER_INTERLACED, 4, 24}, 6, 0);
    EXPECT_FALSE(planar.splitFields);
}

TEST(V4l2CaptureNodeTest, EachFieldLandsInItsOwnLinesAndAShortFrameIsRefused)
{
    const struct {
        const char* name;
        // Rows in memory, white or black, and how the device laid them out.
        std::vector<bool> white;
        uint32 field;
        // The target's lines, which should come out white or black.
        std::vector<bool> expected;
    } cases[] = {
        // Top field white, bottom field black, scaled from 4 to 6 lines.
        {"scaled", {true, false, true, false}, V4L2_FIELD_ORDER_INTERLACED,
            {true, false, true, false, true, false}},
        // Bottom field (black) first in memory, then the top field (white).
        {"sequential", {false, false, true, true}, V4L2_FIELD_ORDER_SEQ_BT,
            {true, false, true, false}},
        // Half the lines come from the first field alone.
        {"first field", {true, false, true, false}, V4L2_FIELD_ORDER_INTERLACED, {true, true}},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        std::vector<uint8> frame;
        for (bool row : entry.white) {
            const uint8 luma = row ? 235 : 16;
            for (int pair = 0; pair < 2; pair++)
                frame.insert(frame.end(), {luma, 128, luma, 128});
        }
        const int32 lines = int32(entry.expected.size());
        const V4l2FramePlan plan = YuyvPlan(4, entry.field, lines);
        std::vector<uint8> bits(size_t(lines) * 4, 77);
        const TargetFrame target{bits.data(), 4, 4, lines, B_GRAY8};
        // A frame a row short leaves the target alone.
        EXPECT_EQ(V4l2CaptureNode::ConvertCaptured(plan, frame.data(), frame.size() - 8, target),
            B_BAD_VALUE);
        EXPECT_EQ(bits, std::vector<uint8>(bits.size(), 77));
        ASSERT_EQ(
            V4l2CaptureNode::ConvertCaptured(plan, frame.data(), frame.size(), target), B_OK);
        for (int32 y = 0; y < lines; y++)
            EXPECT_NEAR(bits[size_t(y) * 4], entry.expected[size_t(y)] ? 255 : 0, 5) << y;
    }
}

TEST(V4l2CaptureNodeTest, TheFirstHalfOfTheHalfLineOpeningA625LinePictureComesOutBlack)
{
    const struct {
        uint64 standard;
        uint32 field;
        int32 width, lines;
        // Black pixels at the start of each target line; all others white.
        std::vector<int32> black;
    } cases[] = {{STANDARD_PAL_B, V4L2_FIELD_ORDER_INTERLACED, 8, 4, {4, 0, 0, 0}},
        // Scaled to 11 x 8: the top field's first row feeds two of its lines, and pixel 5 of
        // them is picked from pixel 3.
        {STANDARD_SECAM_L, V4L2_FIELD_ORDER_INTERLACED, 11, 8, {6, 0, 6, 0, 0, 0, 0, 0}},
        // The top field second in memory, or alone.
        {STANDARD_PAL_I, V4L2_FIELD_ORDER_SEQ_BT, 8, 4, {4, 0, 0, 0}},
        {STANDARD_PAL_B, V4L2_FIELD_ORDER_INTERLACED, 8, 2, {4, 0}},
        // No half line on top: the bottom field alone, 525 lines, no standard.
        {STANDARD_PAL_B, V4L2_FIELD_ORDER_SEQ_BT, 8, 2, {0, 0}},
        {STANDARD_PAL_B, V4L2_FIELD_ORDER_BOTTOM, 8, 4, {0, 0, 0, 0}},
        {STANDARD_NTSC_M, V4L2_FIELD_ORDER_INTERLACED, 8, 4, {0, 0, 0, 0}},
        {0, V4L2_FIELD_ORDER_INTERLACED, 8, 4, {0, 0, 0, 0}}};
    // Four rows of 8 white pixels, the half line too: what comes out black was blanked.
    std::vector<uint8> frame;
    for (int pair = 0; pair < 16; pair++)
        frame.insert(frame.end(), {235, 128, 235, 128});
    for (const auto& entry : cases) {
        SCOPED_TRACE(testing::Message() << entry.field << " of " << entry.standard << " into "
                                        << entry.width << "x" << entry.lines);
        const V4l2FramePlan plan = YuyvPlan(4, entry.field, entry.lines, entry.standard, 8);
        const size_t width = size_t(entry.width);
        std::vector<uint8> bits(width * size_t(entry.lines));
        const TargetFrame target{bits.data(), entry.width, entry.width, entry.lines, B_GRAY8};
        ASSERT_EQ(
            V4l2CaptureNode::ConvertCaptured(plan, frame.data(), frame.size(), target), B_OK);
        for (size_t i = 0; i < bits.size(); i++) {
            const bool black = int32(i % width) < entry.black[i / width];
            EXPECT_NEAR(bits[i], black ? 0 : 255, 5) << i;
        }
    }
}

}
}
