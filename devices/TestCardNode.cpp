#include "devices/TestCardNode.h"

#include "devices/ChannelPlan.h"
#include "kits/media/Buffer.h"
#include "kits/media/BufferGroup.h"
#include "kits/media/TimeSource.h"

#include <algorithm>
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

const char* const VIDEO_FORMATS[] = {
    "Auto", "NTSC-M", "NTSC-M-JP", "PAL-B/G", "PAL-M", "PAL-N", "SECAM"};
const char* const AUDIO_FORMATS[] = {"B/G", "I", "D/K", "L", "M"};

// The adjustments' ranges, from PARAMETER_BRIGHTNESS on.
constexpr ParameterRange RANGES[] = {{BRIGHTNESS_MIN, BRIGHTNESS_MAX},
    {CONTRAST_MIN, CONTRAST_MAX}, {SATURATION_MIN, SATURATION_MAX}, {HUE_MIN, HUE_MAX}};

// What the card shows without a tuner: the picture on its external input.
const TestStation EXTERNAL_INPUT{-1, "AV INPUT", TestPattern::COLOUR_BARS, false};

bool IsSwitch(int32 id)
{
    return id >= PARAMETER_LUMA_CORING && id <= PARAMETER_ERROR_DIFFUSION;
}

template <size_t N>
std::vector<ParameterItem> ItemsFrom(const char* const (&names)[N])
{
    std::vector<ParameterItem> items;
    for (size_t i = 0; i < N; i++)
        items.push_back({int32(i), names[i]});
    return items;
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
      CaptureNode(NODE_NAME),
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

NativePicture TestCardNode::Native() const
{
    const Timing timing = CurrentTiming();
    return {uint32(timing.width), uint32(timing.lines), timing.fieldRate, true};
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

std::vector<ParameterItem> TestCardNode::ItemsOf(int32 id) const
{
    switch (id) {
    case PARAMETER_VIDEO_FORMAT:
        return ItemsFrom(VIDEO_FORMATS);
    case PARAMETER_CHANNEL: {
        std::vector<ParameterItem> items;
        for (int32 i = 0; i < ChannelPlan::CountChannels(); i++)
            items.push_back({i, ChannelPlan::LabelAt(i)});
        return items;
    }
    case PARAMETER_AUDIO_FORMAT:
        return ItemsFrom(AUDIO_FORMATS);
    case PARAMETER_TUNER_BRAND:
        return {{0, "None"}, {1, "Test signal tuner"}};
    default:
        return {};
    }
}

std::optional<ParameterRange> TestCardNode::RangeOf(int32 id) const
{
    return RANGES[id - PARAMETER_BRIGHTNESS];
}

bool TestCardNode::HasSwitch(int32) const
{
    return true;
}

std::optional<int32> TestCardNode::ReadDiscrete(int32 id)
{
    switch (id) {
    case PARAMETER_VIDEO_FORMAT:
        return videoFormat;
    case PARAMETER_CHANNEL:
        return channel;
    case PARAMETER_AUDIO_FORMAT:
        return audioFormat;
    case PARAMETER_TUNER_BRAND: {
        std::lock_guard guard(stationLock);
        return tunerFitted ? 1 : 0;
    }
    default:
        if (!IsSwitch(id))
            return std::nullopt;
        return switchValues[id - PARAMETER_LUMA_CORING];
    }
}

std::optional<float> TestCardNode::ReadContinuous(int32 id)
{
    const float values[] = {controls.brightness, controls.contrast, controls.saturation,
        controls.hue};
    return values[id - PARAMETER_BRIGHTNESS];
}

status_t TestCardNode::WriteDiscrete(int32 id, int32 value)
{
    switch (id) {
    case PARAMETER_VIDEO_FORMAT:
        if (value < 0 || value >= int32(std::size(VIDEO_FORMATS)))
            return B_BAD_VALUE;
        videoFormat = value;
        return B_OK;
    case PARAMETER_CHANNEL: {
        std::lock_guard guard(stationLock);
        if (!tunerFitted || value < 0 || value >= ChannelPlan::CountChannels())
            return B_BAD_VALUE;
        channel = value;
        return B_OK;
    }
    case PARAMETER_AUDIO_FORMAT:
        if (value < 0 || value >= int32(std::size(AUDIO_FORMATS)))
            return B_BAD_VALUE;
        audioFormat = value;
        return B_OK;
    default: {
        // "Tuner Brand" tells what is fitted; it is not for writing.
        if (!IsSwitch(id))
            return B_BAD_VALUE;
        switchValues[id - PARAMETER_LUMA_CORING] = value;
        bool* targets[] = {&controls.lumaCoring, &controls.chromaComb, &controls.gamma,
            &controls.errorDiffusion};
        *targets[id - PARAMETER_LUMA_CORING] = value != 0;
        return B_OK;
    }
    }
}

status_t TestCardNode::WriteContinuous(int32 id, float value)
{
    const ParameterRange& range = RANGES[id - PARAMETER_BRIGHTNESS];
    float* targets[] = {&controls.brightness, &controls.contrast, &controls.saturation,
        &controls.hue};
    *targets[id - PARAMETER_BRIGHTNESS] = std::clamp(value, range.minimum, range.maximum);
    return B_OK;
}

}
