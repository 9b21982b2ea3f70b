#include "devices/V4l2CaptureNode.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace devices::test {
namespace {

constexpr uint8 WHITE_LUMA = 235;
constexpr uint8 BLACK_LUMA = 16;

std::vector<V4l2PixelFormat> Offered(std::initializer_list<uint32> fourccs)
{
    std::vector<V4l2PixelFormat> formats;
    for (uint32 fourcc : fourccs)
        formats.push_back(V4l2PixelFormat{fourcc, "", false});
    return formats;
}

// A YUYV frame, 4 pixels wide, whose rows are white or black as `white` says.
std::vector<uint8> YuyvRows(const std::vector<bool>& white)
{
    std::vector<uint8> bytes;
    for (bool row : white) {
        const uint8 luma = row ? WHITE_LUMA : BLACK_LUMA;
        for (int pair = 0; pair < 2; pair++)
            bytes.insert(bytes.end(), {luma, 128, luma, 128});
    }
    return bytes;
}

V4l2FramePlan YuyvPlan(uint32 lines, uint32 field, int32 targetLines, bool sixtyHertz = false)
{
    V4l2FramePlan plan;
    V4l2Format answer;
    answer.width = 4;
    answer.height = lines;
    answer.fourcc = FOURCC_YUYV;
    answer.field = field;
    answer.bytesPerLine = 8;
    answer.sizeImage = 8 * lines;
    V4l2CaptureNode::AdoptDeviceFormat(plan, answer, targetLines, sixtyHertz);
    return plan;
}

// The grey level of the first pixel of each row after converting into `lines` rows.
std::vector<int> GreyRows(const V4l2FramePlan& plan, const std::vector<uint8>& frame, int32 lines)
{
    std::vector<uint8> bits(size_t(lines) * 4, 77);
    const TargetFrame target{bits.data(), 4, 4, lines, B_GRAY8};
    EXPECT_EQ(V4l2CaptureNode::ConvertCaptured(plan, frame.data(), frame.size(), target), B_OK);
    std::vector<int> rows;
    for (int32 y = 0; y < lines; y++)
        rows.push_back(bits[size_t(y) * 4]);
    return rows;
}

TEST(V4l2CaptureNodeTest, AMissingDeviceMakesNoUsableNode)
{
    V4l2CaptureNode node("/dev/ovelin-no-such-video-device");
    EXPECT_EQ(node.InitCheck(), B_ENTRY_NOT_FOUND);
    EXPECT_EQ(node.FramesSent(), 0);
}

TEST(V4l2CaptureNodeTest, AFormatLaidOutLikeTheColourSpaceIsPreferred)
{
    const auto offered = Offered({FOURCC_YUYV, FOURCC_XRGB32, FOURCC_RGB565, FOURCC_GREY});
    const auto nothing = Offered({MakeFourCC('H', '2', '6', '4'), MakeFourCC('Y', '1', '6', ' ')});
    const std::vector<V4l2PixelFormat> none;
    const struct {
        const std::vector<V4l2PixelFormat>& offered;
        color_space space;
        uint32 fourcc;
    } cases[] = {{offered, B_RGB32, FOURCC_XRGB32}, {offered, B_RGB16, FOURCC_RGB565},
        {offered, B_GRAY8, FOURCC_GREY},
        // No RGB555 on offer: the packed YUV format comes next.
        {offered, B_RGB15, FOURCC_YUYV},
        // Nothing convertible, or nothing at all: no format.
        {nothing, B_RGB32, 0}, {none, B_RGB32, 0}};
    for (const auto& entry : cases) {
        EXPECT_EQ(V4l2CaptureNode::PlanFrames(entry.offered, 768, 576, entry.space, 720, 576, true)
                      .device.fourcc,
            entry.fourcc)
            << entry.space;
    }
}

TEST(V4l2CaptureNodeTest, InterlacedSourcesAreAskedForFramesOrOneField)
{
    const auto offered = Offered({FOURCC_YUYV});
    const V4l2FramePlan full
        = V4l2CaptureNode::PlanFrames(offered, 766, 574, B_RGB16, 720, 576, true);
    EXPECT_EQ(full.device.width, 720u);
    EXPECT_EQ(full.device.height, 576u);
    EXPECT_EQ(full.device.field, uint32(V4L2_FIELD_ORDER_INTERLACED));
    const V4l2FramePlan half
        = V4l2CaptureNode::PlanFrames(offered, 768, 288, B_RGB16, 720, 576, true);
    EXPECT_EQ(half.device.height, 288u);
    EXPECT_EQ(half.device.field, uint32(V4L2_FIELD_ORDER_TOP));
    const V4l2FramePlan webcam
        = V4l2CaptureNode::PlanFrames(offered, 640, 360, B_RGB32, 1280, 720, false);
    EXPECT_EQ(webcam.device.width, 640u);
    EXPECT_EQ(webcam.device.height, 360u);
    EXPECT_EQ(webcam.device.field, uint32(V4L2_FIELD_ORDER_NONE));
}

TEST(V4l2CaptureNodeTest, FieldOrderFollowsTheDriverAndTheStandard)
{
    const std::tuple<uint32, bool, bool> cases[] = {{V4L2_FIELD_ORDER_INTERLACED, false, false},
        {V4L2_FIELD_ORDER_INTERLACED, true, true}, {V4L2_FIELD_ORDER_INTERLACED_TB, true, false},
        {V4L2_FIELD_ORDER_INTERLACED_BT, false, true}, {V4L2_FIELD_ORDER_SEQ_BT, false, true}};
    for (const auto& [field, sixtyHertz, bottomFirst] : cases)
        EXPECT_EQ(YuyvPlan(4, field, 4, sixtyHertz).bottomFieldFirst, bottomFirst) << field;
    EXPECT_TRUE(YuyvPlan(4, V4L2_FIELD_ORDER_SEQ_BT, 4).sequentialFields);
}

TEST(V4l2CaptureNodeTest, FieldsAreConvertedApartOnlyWhenNeeded)
{
    // Same height, interleaved: the frame converts whole.
    const V4l2FramePlan same = YuyvPlan(4, V4L2_FIELD_ORDER_INTERLACED, 4);
    EXPECT_FALSE(same.splitFields);
    EXPECT_FALSE(same.firstFieldOnly);
    EXPECT_TRUE(YuyvPlan(4, V4L2_FIELD_ORDER_INTERLACED, 6).splitFields);
    EXPECT_TRUE(YuyvPlan(4, V4L2_FIELD_ORDER_SEQ_TB, 4).splitFields);
    EXPECT_TRUE(YuyvPlan(4, V4L2_FIELD_ORDER_INTERLACED, 2).firstFieldOnly);
    // Single fields and progressive frames have nothing to keep apart.
    EXPECT_FALSE(YuyvPlan(2, V4L2_FIELD_ORDER_TOP, 4).splitFields);
    EXPECT_FALSE(YuyvPlan(4, V4L2_FIELD_ORDER_NONE, 6).splitFields);
    // Planar formats cannot be read a field at a time.
    V4l2FramePlan planar;
    V4l2Format answer{4, 4, FOURCC_NV12, V4L2_FIELD_ORDER_INTERLACED, 4, 24};
    V4l2CaptureNode::AdoptDeviceFormat(planar, answer, 6, false);
    EXPECT_FALSE(planar.splitFields);
}

TEST(V4l2CaptureNodeTest, EachFieldLandsInItsOwnLines)
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
        const int32 lines = int32(entry.expected.size());
        const std::vector<int> rows
            = GreyRows(YuyvPlan(4, entry.field, lines), YuyvRows(entry.white), lines);
        for (int32 y = 0; y < lines; y++) {
            EXPECT_NEAR(rows[size_t(y)], entry.expected[size_t(y)] ? 255 : 0, 5)
                << entry.name << " line " << y;
        }
    }
}

TEST(V4l2CaptureNodeTest, AShortFrameIsRefusedAndLeavesTheTargetAlone)
{
    std::vector<uint8> frame = YuyvRows({true, false, true, false});
    frame.resize(frame.size() - 8);
    std::vector<uint8> bits(6 * 4, 77);
    const TargetFrame target{bits.data(), 4, 4, 6, B_GRAY8};
    EXPECT_EQ(V4l2CaptureNode::ConvertCaptured(
                  YuyvPlan(4, V4L2_FIELD_ORDER_INTERLACED, 6), frame.data(), frame.size(), target),
        B_BAD_VALUE);
    EXPECT_EQ(bits, std::vector<uint8>(6 * 4, 77));
}

}
}
