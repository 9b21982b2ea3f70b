#include "devices/TestCardNode.h"

#include "devices/ChannelPlan.h"
#include "kits/media/Buffer.h"
#include "kits/media/BufferGroup.h"
#include "kits/media/ParameterWeb.h"
#include "kits/media/TimeSource.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

// Lock order: stationLock is a leaf, held only to copy the stations; no hook, media call or
// drawing happens under it.

namespace devices {

namespace {

constexpr const char* NODE_NAME = "Test Signal Card";

// Timed event that captures one frame.
constexpr int32 FRAME_EVENT = BTimedEventQueue::B_USER_EVENT + 1;
// Time the card needs to draw a frame and hand it on, added to the consumer's latency.
constexpr bigtime_t PROCESSING_LATENCY = 5000;
// The widest row a format may ask for, in bytes: twice a 32-bit row of the widest picture.
constexpr uint32 MAX_BYTES_PER_ROW = MAX_PICTURE_WIDTH * 4 * 2;

const char* const VIDEO_FORMATS[] = {
    "Auto", "NTSC-M", "NTSC-M-JP", "PAL-B/G", "PAL-M", "PAL-N", "SECAM"};
const char* const AUDIO_FORMATS[] = {"B/G", "I", "D/K", "L", "M"};
const char* const SWITCH_ITEMS[] = {"Off", "On"};

// What the card shows without a tuner: the picture on its external input.
const TestStation EXTERNAL_INPUT{-1, "AV INPUT", TestPattern::COLOUR_BARS, false};

bool IsSwitch(int32 id)
{
    return id >= PARAMETER_LUMA_CORING && id <= PARAMETER_ERROR_DIFFUSION;
}

bool IsContinuous(int32 id)
{
    return id >= PARAMETER_BRIGHTNESS && id <= PARAMETER_HUE;
}

}

// The frame timing and picture size of one video standard.
struct TestCardNode::Timing {
    // A frame lasts frameNumerator / frameDenominator microseconds.
    int64 frameNumerator;
    int64 frameDenominator;
    bigtime_t fieldPeriod;
    float fieldRate;
    // 525-line signals send the odd lines first.
    bool bottomFieldFirst;
    int32 width;
    int32 lines;
};

TestCardNode::TestCardNode()
    : BMediaNode(NODE_NAME),
      CaptureNode(NODE_NAME, PARAMETER_ERROR_DIFFUSION + 1),
      stations(DefaultTestStations())
{
    SetPriority(B_URGENT_DISPLAY_PRIORITY);
    // Frames are drawn this much ahead of their time, so they reach the consumer with its whole
    // latency to spare; a parameter written for a time applies to the frames of that time on.
    SetEventLatency(PROCESSING_LATENCY);
    channel = stations.empty() ? 0 : stations.front().channel;
    BuildWeb();
}

TestCardNode::~TestCardNode()
{
    Quit();
}

void TestCardNode::SetStations(std::vector<TestStation> newStations)
{
    std::lock_guard guard(stationLock);
    stations = std::move(newStations);
}

std::vector<TestStation> TestCardNode::Stations() const
{
    std::lock_guard guard(stationLock);
    return stations;
}

void TestCardNode::SetTunerFitted(bool fitted)
{
    std::lock_guard guard(stationLock);
    tunerFitted = fitted;
}

TestCardNode::Timing TestCardNode::CurrentTiming() const
{
    switch (videoFormat) {
    case VIDEO_FORMAT_NTSC_M:
    case VIDEO_FORMAT_NTSC_M_JP:
    case VIDEO_FORMAT_PAL_M:
        return {1001000, 30, 16683, 59.94f, true, 640, 480};
    default:
        return {40000, 1, 20000, 50.0f, false, 768, 576};
    }
}

status_t TestCardNode::Negotiate(media_format& format) const
{
    if (format.type == B_MEDIA_NO_TYPE || format.type == B_MEDIA_UNKNOWN_TYPE)
        format.type = B_MEDIA_RAW_VIDEO;
    if (format.type != B_MEDIA_RAW_VIDEO)
        return B_MEDIA_BAD_FORMAT;
    const Timing timing = CurrentTiming();
    media_raw_video_format& video = format.u.raw_video;
    media_video_display_info& display = video.display;
    if (display.format == B_NO_COLOR_SPACE)
        display.format = B_RGB32;
    const int32 pixelBytes = BytesPerPixel(display.format);
    if (pixelBytes == 0)
        return B_MEDIA_BAD_FORMAT;
    if (display.line_width == 0)
        display.line_width = uint32(timing.width);
    if (display.line_count == 0)
        display.line_count = uint32(timing.lines);
    if (display.line_width > uint32(MAX_PICTURE_WIDTH)
        || display.line_count > uint32(MAX_PICTURE_LINES)) {
        return B_MEDIA_BAD_FORMAT;
    }
    const uint32 rowBytes = display.line_width * uint32(pixelBytes);
    if (display.bytes_per_row == 0)
        display.bytes_per_row = rowBytes;
    // The card writes whole frames from the first byte, rows as wide as asked.
    if (display.bytes_per_row < rowBytes || display.bytes_per_row > MAX_BYTES_PER_ROW
        || display.pixel_offset != 0 || display.line_offset != 0) {
        return B_MEDIA_BAD_FORMAT;
    }
    if (video.field_rate == 0)
        video.field_rate = timing.fieldRate;
    else if (std::abs(video.field_rate - timing.fieldRate) > 0.01f)
        return B_MEDIA_BAD_FORMAT;
    if (video.orientation == 0)
        video.orientation = B_VIDEO_TOP_LEFT_RIGHT;
    else if (video.orientation != B_VIDEO_TOP_LEFT_RIGHT)
        return B_MEDIA_BAD_FORMAT;
    if (video.interlace == 0)
        video.interlace = display.line_count * 2 <= uint32(timing.lines) ? 1 : 2;
    if (video.last_active == 0)
        video.last_active = display.line_count - 1;
    if (video.pixel_width_aspect == 0 || video.pixel_height_aspect == 0) {
        video.pixel_width_aspect = 4;
        video.pixel_height_aspect = 3;
    }
    return B_OK;
}

void TestCardNode::BuildWeb()
{
    // Handed to SetParameterWeb, which takes ownership.
    auto web = std::make_unique<BParameterWeb>();
    BParameterGroup* tuner = web->MakeGroup("Tuner");
    BDiscreteParameter* formats = tuner->MakeDiscreteParameter(PARAMETER_VIDEO_FORMAT,
        B_MEDIA_RAW_VIDEO, "Video Format", B_VIDEO_FORMAT);
    for (int32 i = 0; i < int32(std::size(VIDEO_FORMATS)); i++)
        formats->AddItem(i, VIDEO_FORMATS[i]);
    BDiscreteParameter* channels = tuner->MakeDiscreteParameter(PARAMETER_CHANNEL,
        B_MEDIA_RAW_VIDEO, "Channel", B_TUNER_CHANNEL);
    for (int32 i = 0; i < ChannelPlan::CountChannels(); i++)
        channels->AddItem(i, ChannelPlan::LabelAt(i).c_str());
    BDiscreteParameter* sound = tuner->MakeDiscreteParameter(PARAMETER_AUDIO_FORMAT,
        B_MEDIA_RAW_VIDEO, "Audio Format", B_AUDIO_FORMAT);
    for (int32 i = 0; i < int32(std::size(AUDIO_FORMATS)); i++)
        sound->AddItem(i, AUDIO_FORMATS[i]);
    BDiscreteParameter* brand = tuner->MakeDiscreteParameter(PARAMETER_TUNER_BRAND,
        B_MEDIA_RAW_VIDEO, "Tuner Brand", B_GENERIC);
    brand->AddItem(0, "None");
    brand->AddItem(1, "Test signal tuner");

    BParameterGroup* picture = web->MakeGroup("Picture");
    picture->MakeContinuousParameter(PARAMETER_BRIGHTNESS, B_MEDIA_RAW_VIDEO, "Brightness",
        B_BRIGHTNESS, B_UNIT_NONE, BRIGHTNESS_MIN, BRIGHTNESS_MAX, 1);
    picture->MakeContinuousParameter(PARAMETER_CONTRAST, B_MEDIA_RAW_VIDEO, "Contrast",
        B_CONTRAST, B_UNIT_PERCENT, CONTRAST_MIN, CONTRAST_MAX, 1);
    picture->MakeContinuousParameter(PARAMETER_SATURATION, B_MEDIA_RAW_VIDEO, "Saturation",
        B_SATURATION, B_UNIT_PERCENT, SATURATION_MIN, SATURATION_MAX, 1);
    picture->MakeContinuousParameter(PARAMETER_HUE, B_MEDIA_RAW_VIDEO, "Hue", B_HUE,
        B_UNIT_NONE, HUE_MIN, HUE_MAX, 1);
    const struct {
        int32 id;
        const char* name;
        const char* kind;
    } switches[] = {
        {PARAMETER_LUMA_CORING, "Luma Coring", B_ENABLE},
        {PARAMETER_CHROMA_COMB, "Chroma Comb", B_ENABLE},
        {PARAMETER_GAMMA, "Gamma", B_GAMMA},
        {PARAMETER_ERROR_DIFFUSION, "Error Diffusion", B_ENABLE},
    };
    for (const auto& entry : switches) {
        BDiscreteParameter* parameter = picture->MakeDiscreteParameter(entry.id,
            B_MEDIA_RAW_VIDEO, entry.name, entry.kind);
        for (int32 i = 0; i < int32(std::size(SWITCH_ITEMS)); i++)
            parameter->AddItem(i, SWITCH_ITEMS[i]);
    }
    SetParameterWeb(web.release());
}

void TestCardNode::HandleEvent(const media_timed_event* event, bigtime_t, bool)
{
    switch (event->type) {
    case BTimedEventQueue::B_START:
        StartProducing(event->event_time);
        break;
    case BTimedEventQueue::B_STOP:
        producing = false;
        EventQueue()->FlushEvents(0, BTimedEventQueue::B_ALWAYS, true, FRAME_EVENT);
        break;
    case FRAME_EVENT:
        if (producing)
            ProduceFrame(event->event_time);
        break;
    case BTimedEventQueue::B_PARAMETER:
        ApplyParameterEvent(event);
        break;
    default:
        // Seeking and time warps change nothing: the card shows live pictures.
        break;
    }
}

void TestCardNode::StartProducing(bigtime_t performanceTime)
{
    if (producing)
        return;
    producing = true;
    anchorTime = performanceTime;
    framesSinceAnchor = 0;
    anchorFormat = videoFormat;
    EventQueue()->AddEvent(media_timed_event(performanceTime, FRAME_EVENT));
}

void TestCardNode::ProduceFrame(bigtime_t frameTime)
{
    BBufferGroup* group = output.Group();
    if (output.IsSending()) {
        const media_video_display_info& display = output.Display();
        const size_t frameBytes = size_t(display.bytes_per_row) * display.line_count;
        const Timing timing = CurrentTiming();
        // A buffer that is not back within a frame period belongs to a frame already lost.
        const bigtime_t wait = timing.frameNumerator / timing.frameDenominator;
        HeldBuffer buffer(group != nullptr ? group->RequestBuffer(frameBytes, wait) : nullptr);
        if (buffer == nullptr || DrawFrame(buffer.get(), frameTime) != B_OK)
            framesDropped++;
        else if (SendBuffer(buffer.release(), output.Output().source,
                     output.Output().destination)
            == B_OK)
            framesSent++;
        else
            framesDropped++;
    }
    fieldSequence++;
    ScheduleNextFrame(frameTime);
}

void TestCardNode::ScheduleNextFrame(bigtime_t frameTime)
{
    if (videoFormat != anchorFormat) {
        anchorTime = frameTime;
        framesSinceAnchor = 0;
        anchorFormat = videoFormat;
    }
    const Timing timing = CurrentTiming();
    const auto timeOf = [this, &timing](int64 frame) {
        return anchorTime + frame * timing.frameNumerator / timing.frameDenominator;
    };
    framesSinceAnchor++;
    // After a stall the frames whose time has passed were never captured: carry on with the
    // current one.
    const bigtime_t now = TimeSource()->Now();
    const int64 current = (now - anchorTime) * timing.frameDenominator / timing.frameNumerator;
    if (current > framesSinceAnchor) {
        framesDropped += current - framesSinceAnchor;
        framesSinceAnchor = current;
    }
    // A time source set back would leave the next frame far ahead: start again from now.
    const bigtime_t period = timing.frameNumerator / timing.frameDenominator;
    if (timeOf(framesSinceAnchor) > now + 2 * period) {
        anchorTime = now;
        framesSinceAnchor = 0;
    }
    EventQueue()->AddEvent(media_timed_event(timeOf(framesSinceAnchor), FRAME_EVENT));
}

status_t TestCardNode::DrawFrame(BBuffer* buffer, bigtime_t frameTime)
{
    const media_video_display_info& display = output.Display();
    const FrameView frame{static_cast<uint8*>(buffer->Data()), int32(display.bytes_per_row),
        int32(display.line_width), int32(display.line_count), display.format};
    const Timing timing = CurrentTiming();
    // A frame of half the standard's lines or fewer is one field, scaled: no combing.
    FieldTimes times{frameTime, frameTime};
    if (frame.lines * 2 > timing.lines) {
        if (timing.bottomFieldFirst)
            times.evenLines += timing.fieldPeriod;
        else
            times.oddLines += timing.fieldPeriod;
    }

    std::optional<TestStation> station;
    {
        std::lock_guard guard(stationLock);
        if (!tunerFitted) {
            station = EXTERNAL_INPUT;
        } else {
            for (const TestStation& candidate : stations) {
                if (candidate.channel == channel)
                    station = candidate;
            }
        }
    }
    const status_t status = station.has_value()
        ? picture.DrawStation(frame, *station, controls, times)
        : picture.DrawNoise(frame, controls, uint64(frameTime) * 0x9E3779B97F4A7C15ull);
    if (status != B_OK)
        return status;

    buffer->SetSizeUsed(size_t(display.bytes_per_row) * display.line_count);
    media_header* header = buffer->Header();
    header->type = B_MEDIA_RAW_VIDEO;
    header->time_source = TimeSource()->ID();
    header->start_time = frameTime + output.DownstreamLatency();
    header->u.raw_video.field_sequence = fieldSequence;
    header->u.raw_video.field_number = 0;
    header->u.raw_video.first_active_line = 0;
    header->u.raw_video.line_count = uint16(display.line_count);
    return B_OK;
}

bigtime_t TestCardNode::ProcessingLatency() const
{
    return PROCESSING_LATENCY;
}

status_t TestCardNode::GetParameterValue(int32 id, bigtime_t* lastChange, void* value,
    size_t* ioSize)
{
    if (value == nullptr || ioSize == nullptr || *ioSize < sizeof(int32))
        return B_BAD_VALUE;
    int32 number = 0;
    float real = 0;
    switch (id) {
    case PARAMETER_VIDEO_FORMAT:
        number = videoFormat;
        break;
    case PARAMETER_CHANNEL:
        number = channel;
        break;
    case PARAMETER_AUDIO_FORMAT:
        number = audioFormat;
        break;
    case PARAMETER_TUNER_BRAND: {
        std::lock_guard guard(stationLock);
        number = tunerFitted ? 1 : 0;
        break;
    }
    case PARAMETER_BRIGHTNESS:
        real = controls.brightness;
        break;
    case PARAMETER_CONTRAST:
        real = controls.contrast;
        break;
    case PARAMETER_SATURATION:
        real = controls.saturation;
        break;
    case PARAMETER_HUE:
        real = controls.hue;
        break;
    default:
        if (!IsSwitch(id))
            return B_BAD_VALUE;
        number = switchValues[id - PARAMETER_LUMA_CORING];
        break;
    }
    if (IsContinuous(id))
        std::memcpy(value, &real, sizeof(real));
    else
        std::memcpy(value, &number, sizeof(number));
    *ioSize = sizeof(int32);
    if (lastChange != nullptr)
        *lastChange = lastChanges[id];
    return B_OK;
}

void TestCardNode::ApplyParameter(int32 id, int32 bits, bigtime_t when)
{
    float real = 0;
    std::memcpy(&real, &bits, sizeof(real));
    switch (id) {
    case PARAMETER_VIDEO_FORMAT:
        if (bits < 0 || bits >= int32(std::size(VIDEO_FORMATS)))
            return;
        videoFormat = bits;
        break;
    case PARAMETER_CHANNEL: {
        std::lock_guard guard(stationLock);
        if (!tunerFitted || bits < 0 || bits >= ChannelPlan::CountChannels())
            return;
        channel = bits;
        break;
    }
    case PARAMETER_AUDIO_FORMAT:
        if (bits < 0 || bits >= int32(std::size(AUDIO_FORMATS)))
            return;
        audioFormat = bits;
        break;
    case PARAMETER_TUNER_BRAND:
        // Tells what is fitted; not for writing.
        return;
    case PARAMETER_BRIGHTNESS:
    case PARAMETER_CONTRAST:
    case PARAMETER_SATURATION:
    case PARAMETER_HUE: {
        if (!std::isfinite(real))
            return;
        static constexpr float LIMITS[][2] = {{BRIGHTNESS_MIN, BRIGHTNESS_MAX},
            {CONTRAST_MIN, CONTRAST_MAX}, {SATURATION_MIN, SATURATION_MAX}, {HUE_MIN, HUE_MAX}};
        const float* limits = LIMITS[id - PARAMETER_BRIGHTNESS];
        float* targets[] = {&controls.brightness, &controls.contrast, &controls.saturation,
            &controls.hue};
        *targets[id - PARAMETER_BRIGHTNESS] = std::clamp(real, limits[0], limits[1]);
        break;
    }
    default: {
        switchValues[id - PARAMETER_LUMA_CORING] = bits;
        bool* targets[] = {&controls.lumaCoring, &controls.chromaComb, &controls.gamma,
            &controls.errorDiffusion};
        *targets[id - PARAMETER_LUMA_CORING] = bits != 0;
        break;
    }
    }
    lastChanges[id] = when;
}

}
