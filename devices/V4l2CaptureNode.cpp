#include "devices/V4l2CaptureNode.h"

#include "devices/PixelConversion.h"
#include "devices/V4l2CaptureNodePrivate.h"
#include "devices/VideoInputSelection.h"
#include "devices/VideoStandard.h"
#include "kits/interface/FrameView.h"
#include "kits/media/Buffer.h"
#include "kits/media/BufferGroup.h"
#include "kits/media/TimeSource.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace devices {

namespace {

// Timed event that takes the frames the device has captured.
constexpr int32 CHECK_EVENT = BTimedEventQueue::B_USER_EVENT + 1;
// How often the device is asked for a frame while none is ready: a fraction of a field.
constexpr bigtime_t CHECK_INTERVAL = 4000;
// Time assumed at first from a frame's capture to its sending; grows with what is measured.
constexpr bigtime_t INITIAL_PROCESSING_LATENCY = 15000;
constexpr bigtime_t MAX_PROCESSING_LATENCY = 200000;
// A consumer buffer that is not free this soon is not waited for: the frame is dropped.
constexpr bigtime_t BUFFER_WAIT = 2000;
constexpr uint32 DEVICE_BUFFERS = 4;

// Formats whose rows hold whole pixels of one plane, so a field can be read as every other row.
bool IsPacked(uint32 fourcc)
{
    switch (fourcc) {
    case FOURCC_YUYV:
    case FOURCC_UYVY:
    case FOURCC_RGB24:
    case FOURCC_BGR24:
    case FOURCC_XRGB32:
    case FOURCC_ARGB32:
    case FOURCC_RGB565:
    case FOURCC_RGB555:
    case FOURCC_GREY:
        return true;
    default:
        return false;
    }
}

// Device formats in the order they are tried for a colour space: first one laid out like it,
// then the packed ones, then planar and compressed ones.
std::vector<uint32> PreferredFormats(color_space space)
{
    std::vector<uint32> order;
    switch (space) {
    case B_RGB32:
        order = {FOURCC_XRGB32, FOURCC_ARGB32};
        break;
    case B_RGB16:
        order = {FOURCC_RGB565};
        break;
    case B_RGB15:
        order = {FOURCC_RGB555};
        break;
    case B_GRAY8:
        order = {FOURCC_GREY};
        break;
    default:
        break;
    }
    for (uint32 fourcc : {FOURCC_YUYV, FOURCC_UYVY, FOURCC_BGR24, FOURCC_RGB24, FOURCC_XRGB32,
             FOURCC_ARGB32, FOURCC_RGB565, FOURCC_RGB555, FOURCC_NV12, FOURCC_YU12,
             FOURCC_GREY, FOURCC_MJPEG, FOURCC_JPEG}) {
        if (std::find(order.begin(), order.end(), fourcc) == order.end())
            order.push_back(fourcc);
    }
    return order;
}

// Whether a buffer laid out so holds the top field at a known place.
bool HoldsTopField(uint32 field)
{
    switch (field) {
    case V4L2_FIELD_ORDER_TOP:
    case V4L2_FIELD_ORDER_INTERLACED:
    case V4L2_FIELD_ORDER_INTERLACED_TB:
    case V4L2_FIELD_ORDER_INTERLACED_BT:
    case V4L2_FIELD_ORDER_SEQ_TB:
    case V4L2_FIELD_ORDER_SEQ_BT:
        return true;
    default:
        return false;
    }
}

// Black over the pixels of `lines` that the nearest-pixel scaling of ConvertFrame takes from the
// first half of the first of `sourceRows` rows, each `sourceWidth` pixels long.
void BlankHalfLine(const TargetFrame& lines, int32 sourceWidth, int32 sourceRows)
{
    if (sourceWidth <= 0 || sourceRows <= 0)
        return;
    const int32 rows = std::min(lines.height, (lines.height + sourceRows - 1) / sourceRows);
    const int32 columns
        = int32((int64(sourceWidth / 2) * lines.width + sourceWidth - 1) / sourceWidth);
    const int32 pixelBytes = BytesPerPixel(lines.space);
    // Black as ConvertFrame writes it: B, G, R, 255 in 32 bits, all bits clear in the others.
    const uint32 black = lines.space == B_RGB32 ? 0xFF000000u : 0;
    for (int32 y = 0; y < rows; y++) {
        uint8* row = lines.bits + int64(y) * lines.bytesPerRow;
        for (int32 x = 0; x < columns; x++)
            std::memcpy(row + int64(x) * pixelBytes, &black, size_t(pixelBytes));
    }
}

}

V4l2CaptureNode::V4l2CaptureNode(std::string path, bool cable)
    : BMediaNode(path.c_str()),
      CaptureNode(path.c_str()),
      devicePath(std::move(path)),
      cablePlan(cable),
      input(std::make_unique<InputState>()),
      processingLatency(INITIAL_PROCESSING_LATENCY)
{
    SetPriority(B_URGENT_DISPLAY_PRIORITY);
    initStatus = OpenDevice();
    if (initStatus == B_OK)
        BuildWeb();
}

V4l2CaptureNode::~V4l2CaptureNode()
{
    Quit();
}

status_t V4l2CaptureNode::InitCheck() const
{
    return initStatus;
}

int64 V4l2CaptureNode::StreamFailures() const
{
    return streamFailures;
}

status_t V4l2CaptureNode::LastError() const
{
    return lastError;
}

status_t V4l2CaptureNode::OpenDevice()
{
    const uint32 previousInput = input->current;
    const int32 previousFormat = input->videoFormat;
    const int32 previousChannel = input->channel;
    const bool reopening = !input->inputs.empty();
    status_t opened = device.Open(devicePath);
    if (reopening && (opened != B_OK || device.Card() != card || device.BusInfo() != busInfo)) {
        // Gone from its path, or another device there now: it may be back under another name.
        device.Close();
        if (const std::optional<std::string> found
            = FindDeviceAgain(ProbeVideoDevices(), card, busInfo)) {
            devicePath = *found;
            opened = device.Open(devicePath);
        } else if (opened == B_OK) {
            opened = V4l2Device::DeviceGone();
        }
    }
    if (opened != B_OK)
        return opened;
    card = device.Card();
    busInfo = device.BusInfo();
    std::vector<V4l2Input> inputs;
    if (status_t status = device.GetInputs(inputs); status != B_OK)
        return status;
    uint32 chosen = 0;
    if (reopening && previousInput < inputs.size()) {
        chosen = previousInput;
    } else {
        // The tuner input when there is one, else the first.
        const auto tuner = std::find_if(inputs.begin(), inputs.end(),
            [](const V4l2Input& entry) { return entry.hasTuner; });
        if (tuner != inputs.end())
            chosen = tuner->index;
        else if (!inputs.empty())
            chosen = inputs.front().index;
    }
    if (!inputs.empty()) {
        if (status_t status = SelectInput(chosen); status != B_OK)
            return status;
    } else {
        ReadInputState();
    }
    if (reopening) {
        // A device back after going away gets the standard and channel it had.
        if (previousFormat != VIDEO_FORMAT_AUTO && previousFormat != input->videoFormat)
            (void)ApplyStandard(previousFormat);
        if (previousChannel >= 0)
            (void)Tune(previousChannel);
    }
    return B_OK;
}

NativePicture V4l2CaptureNode::Native() const
{
    if (!input->videoFormats.empty()) {
        const FrameSize size = FrameSizeOf(input->standard);
        const FrameRate rate = FrameRateOf(input->standard);
        // Two fields a frame.
        return {uint32(size.width), uint32(size.height),
            2.0f * float(rate.numerator) / float(rate.denominator), true};
    }
    NativePicture native{std::clamp<uint32>(input->deviceFormat.width, 1, MAX_WIDTH),
        std::clamp<uint32>(input->deviceFormat.height, 1, MAX_LINES), 0, false};
    uint32 numerator = 0;
    uint32 denominator = 0;
    // Progressive pictures: one field a frame.
    if (const_cast<V4l2Device&>(device).GetFrameInterval(numerator, denominator) == B_OK)
        native.fieldRate = float(denominator) / float(numerator);
    return native;
}

V4l2FramePlan V4l2CaptureNode::PlanFrames(const std::vector<V4l2PixelFormat>& offered,
    int32 width, int32 height, color_space space, uint32 fullWidth, uint32 fullLines,
    bool interlacedSource)
{
    V4l2FramePlan result;
    for (uint32 fourcc : PreferredFormats(space)) {
        const bool present = std::any_of(offered.begin(), offered.end(),
            [fourcc](const V4l2PixelFormat& format) { return format.fourcc == fourcc; });
        if (present && CanConvertFrom(fourcc)) {
            result.device.fourcc = fourcc;
            break;
        }
    }
    if (!interlacedSource) {
        // A progressive source is asked for the size itself; what it cannot make is scaled.
        result.device.width = uint32(width);
        result.device.height = uint32(height);
        result.device.field = V4L2_FIELD_ORDER_NONE;
    } else if (uint32(height) * 2 <= fullLines) {
        // One field is enough for half the lines, and spares the device the other.
        result.device.width = fullWidth;
        result.device.height = fullLines / 2;
        result.device.field = V4L2_FIELD_ORDER_TOP;
    } else {
        // Whole frames, scaled here field by field so the fields never mix.
        result.device.width = fullWidth;
        result.device.height = fullLines;
        result.device.field = V4L2_FIELD_ORDER_INTERLACED;
    }
    return result;
}

void V4l2CaptureNode::AdoptDeviceFormat(V4l2FramePlan& plan, const V4l2Format& answer,
    int32 height, uint64 standard)
{
    plan.device = answer;
    plan.splitFields = false;
    plan.firstFieldOnly = false;
    plan.sequentialFields = false;
    plan.bottomFieldFirst = false;
    plan.halfLineOnTop = standard != 0 && !Is525Line(standard) && HoldsTopField(answer.field);
    bool twoFields = true;
    switch (answer.field) {
    case V4L2_FIELD_ORDER_INTERLACED:
        // Without a stated order, 525-line signals send the bottom field first.
        plan.bottomFieldFirst = Is525Line(standard);
        break;
    case V4L2_FIELD_ORDER_INTERLACED_TB:
        break;
    case V4L2_FIELD_ORDER_INTERLACED_BT:
        plan.bottomFieldFirst = true;
        break;
    case V4L2_FIELD_ORDER_SEQ_TB:
        plan.sequentialFields = true;
        break;
    case V4L2_FIELD_ORDER_SEQ_BT:
        plan.sequentialFields = true;
        plan.bottomFieldFirst = true;
        break;
    case V4L2_FIELD_ORDER_BOTTOM:
        plan.bottomFieldFirst = true;
        twoFields = false;
        break;
    default:
        twoFields = false;
        break;
    }
    // Fields are read as rows of their own only in formats of one plane of whole pixels.
    if (!twoFields || !IsPacked(answer.fourcc) || answer.bytesPerLine == 0 || answer.height < 2)
        return;
    if (uint32(height) * 2 <= answer.height)
        plan.firstFieldOnly = true;
    else
        plan.splitFields = plan.sequentialFields || answer.height != uint32(height);
}

status_t V4l2CaptureNode::ConvertCaptured(const V4l2FramePlan& plan, const uint8* data,
    size_t length, const TargetFrame& to)
{
    const V4l2Format& source = plan.device;
    const int32 width = int32(source.width);
    if (!plan.splitFields && !plan.firstFieldOnly) {
        const status_t status = ConvertFrame(CapturedFrame{data, length, source.fourcc, width,
            int32(source.height), int32(source.bytesPerLine)}, to);
        // Fields one after the other in a frame converted whole put the half line mid-frame.
        if (status == B_OK && plan.halfLineOnTop && !plan.sequentialFields)
            BlankHalfLine(to, width, int32(source.height));
        return status;
    }
    const int32 fieldLines = int32(source.height / 2);
    const size_t rowBytes = source.bytesPerLine;
    // A short frame is refused before either field is written.
    if (length < rowBytes * source.height)
        return B_BAD_VALUE;
    const int32 fieldStride = int32(plan.sequentialFields ? rowBytes : rowBytes * 2);
    // Where each field starts in the buffer: interleaved fields a row apart, sequential ones
    // half a frame apart, the first in memory being the first in time.
    const auto fieldStart = [&](bool bottom) -> size_t {
        if (!plan.sequentialFields)
            return bottom ? rowBytes : 0;
        return bottom == plan.bottomFieldFirst ? 0 : rowBytes * size_t(fieldLines);
    };
    const auto fieldAt = [&](size_t start) {
        const size_t offset = std::min(start, length);
        return CapturedFrame{data + offset, length - offset, source.fourcc, width, fieldLines,
            fieldStride};
    };
    if (plan.firstFieldOnly) {
        const status_t status = ConvertFrame(fieldAt(0), to);
        const bool topFirstInMemory = !(plan.sequentialFields && plan.bottomFieldFirst);
        if (status == B_OK && plan.halfLineOnTop && topFirstInMemory)
            BlankHalfLine(to, width, fieldLines);
        return status;
    }
    for (int32 bottom = 0; bottom < 2; bottom++) {
        const TargetFrame lines{to.bits + size_t(bottom) * size_t(to.bytesPerRow),
            to.bytesPerRow * 2, to.width, (to.height + 1 - bottom) / 2, to.space};
        if (lines.height <= 0)
            continue;
        if (status_t status = ConvertFrame(fieldAt(fieldStart(bottom != 0)), lines);
            status != B_OK) {
            return status;
        }
        if (bottom == 0 && plan.halfLineOnTop)
            BlankHalfLine(lines, width, fieldLines);
    }
    return B_OK;
}

void V4l2CaptureNode::HandleEvent(const media_timed_event* event, bigtime_t, bool)
{
    switch (event->type) {
    case BTimedEventQueue::B_START:
        // Also a start after a failure, which tries the device again.
        started = true;
        if (output.IsConnected() && !capturing) {
            if (status_t status = StartCapture(); status != B_OK)
                Fail(status);
        }
        break;
    case BTimedEventQueue::B_STOP:
        started = false;
        StopCapture();
        break;
    case CHECK_EVENT:
        ProduceFrames();
        break;
    case BTimedEventQueue::B_PARAMETER:
        ApplyParameterEvent(event);
        break;
    default:
        // Seeking and time warps change nothing: the card shows live pictures.
        break;
    }
}

status_t V4l2CaptureNode::StartCapture()
{
    if (capturing)
        return B_OK;
    if (!device.IsOpen()) {
        // The device went away before; it may be back.
        if (status_t status = OpenDevice(); status != B_OK)
            return status;
        BuildWeb();
    }
    const media_video_display_info& display = output.Display();
    const NativePicture native = Native();
    std::vector<V4l2PixelFormat> offered;
    if (status_t status = device.GetPixelFormats(offered); status != B_OK)
        return status;
    plan = PlanFrames(offered, int32(display.line_width), int32(display.line_count),
        display.format, native.width, native.lines, native.interlaced);
    if (plan.device.fourcc == 0)
        return B_MEDIA_BAD_FORMAT;
    V4l2Format answer = plan.device;
    if (status_t status = device.SetFormat(answer); status != B_OK)
        return status;
    if (answer.fourcc != plan.device.fourcc)
        return B_MEDIA_BAD_FORMAT;
    AdoptDeviceFormat(plan, answer, int32(display.line_count),
        native.interlaced ? input->standard : 0);
    // A buffer holds the two fields of a frame; with alternating fields one field, and from a
    // progressive source one picture, whose rate is the field rate.
    framePeriod = 0;
    if (native.fieldRate > 0) {
        const bool fieldPerBuffer = answer.field == V4L2_FIELD_ORDER_ALTERNATE
            || !native.interlaced;
        framePeriod = bigtime_t((fieldPerBuffer ? 1e6 : 2e6) / native.fieldRate);
    }
    if (status_t status = device.StartStreaming(DEVICE_BUFFERS); status != B_OK)
        return status;
    capturing = true;
    ScheduleCheck(0);
    return B_OK;
}

void V4l2CaptureNode::StopCapture()
{
    capturing = false;
    EventQueue()->FlushEvents(0, BTimedEventQueue::B_ALWAYS, true, CHECK_EVENT);
    device.StopStreaming();
}

void V4l2CaptureNode::Fail(status_t status)
{
    lastError = status;
    streamFailures++;
    // Production ends until the next start or connection, which opens the device again when it
    // had gone.
    StopCapture();
    if (status == V4l2Device::DeviceGone() || status == B_FILE_ERROR)
        device.Close();
}

void V4l2CaptureNode::ScheduleCheck(bigtime_t delay)
{
    EventQueue()->AddEvent(media_timed_event(TimeSource()->Now() + delay, CHECK_EVENT));
}

void V4l2CaptureNode::ProduceFrames()
{
    if (!capturing)
        return;
    V4l2Frame newest;
    bool have = false;
    // Only the newest of several waiting frames is sent: the others are already late.
    for (uint32 taken = 0; taken <= DEVICE_BUFFERS * 2; taken++) {
        V4l2Frame frame;
        const status_t status = device.DequeueFrame(frame);
        if (status == B_WOULD_BLOCK)
            break;
        if (status != B_OK) {
            Fail(status);
            return;
        }
        if (have) {
            framesDropped++;
            if (status_t requeued = device.RequeueFrame(newest); requeued != B_OK) {
                Fail(requeued);
                return;
            }
        }
        newest = frame;
        have = true;
    }
    if (!have) {
        ScheduleCheck(CHECK_INTERVAL);
        return;
    }
    DeliverFrame(newest);
    if (status_t status = device.RequeueFrame(newest); status != B_OK) {
        Fail(status);
        return;
    }
    // The next frame is not due before a frame period after this one was captured: sleep till
    // then rather than asking the device in vain.
    const bigtime_t due = newest.timestamp + framePeriod - CHECK_INTERVAL - system_time();
    ScheduleCheck(std::clamp<bigtime_t>(due, 0, framePeriod));
}

void V4l2CaptureNode::DeliverFrame(const V4l2Frame& frame)
{
    if (!output.IsSending())
        return;
    BBufferGroup* group = output.Group();
    const media_video_display_info& display = output.Display();
    const size_t frameBytes = size_t(display.bytes_per_row) * display.line_count;
    HeldBuffer buffer(group != nullptr ? group->RequestBuffer(frameBytes, BUFFER_WAIT) : nullptr);
    if (frame.damaged || buffer == nullptr
        || ConvertCaptured(plan, frame.data, frame.bytesUsed,
               TargetFrame{static_cast<uint8*>(buffer->Data()), int32(display.bytes_per_row),
                   int32(display.line_width), int32(display.line_count), display.format})
            != B_OK) {
        framesDropped++;
        return;
    }
    // A frame that took longer than allowed makes the node allow more for the next ones.
    const bigtime_t took = system_time() - frame.timestamp;
    if (took > processingLatency)
        processingLatency = std::min(took + took / 4, MAX_PROCESSING_LATENCY);

    buffer->SetSizeUsed(frameBytes);
    media_header* header = buffer->Header();
    header->type = B_MEDIA_RAW_VIDEO;
    header->time_source = TimeSource()->ID();
    header->start_time = TimeSource()->PerformanceTimeFor(frame.timestamp) + processingLatency
        + output.DownstreamLatency();
    // The device's own frame count, so a gap tells of frames it lost.
    header->u.raw_video.field_sequence = frame.sequence;
    // The field that comes first in time: 0 the top one, 1 the bottom one.
    header->u.raw_video.field_number = plan.bottomFieldFirst ? 1 : 0;
    header->u.raw_video.first_active_line = 0;
    header->u.raw_video.line_count = uint16(display.line_count);
    if (SendBuffer(buffer.release(), output.Output().source, output.Output().destination)
        == B_OK)
        framesSent++;
    else
        framesDropped++;
}

void V4l2CaptureNode::OutputConnected()
{
    if (started) {
        if (status_t status = StartCapture(); status != B_OK)
            Fail(status);
    }
}

void V4l2CaptureNode::OutputDisconnecting()
{
    StopCapture();
}

bigtime_t V4l2CaptureNode::ProcessingLatency() const
{
    return processingLatency;
}

}
