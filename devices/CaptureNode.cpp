#include "devices/CaptureNode.h"

#include "devices/PictureControls.h"
#include "kits/interface/FrameView.h"
#include "kits/media/ParameterWeb.h"
#include "kits/media/TimeSource.h"

#include <cmath>
#include <cstring>
#include <memory>

namespace devices {

namespace {

struct ParameterName {
    int32 id;
    const char* name;
    const char* kind;
};

const ParameterName TUNER_PARAMETERS[] = {
    {PARAMETER_VIDEO_FORMAT, "Video Format", B_VIDEO_FORMAT},
    {PARAMETER_CHANNEL, "Channel", B_TUNER_CHANNEL},
    {PARAMETER_AUDIO_FORMAT, "Audio Format", B_AUDIO_FORMAT},
    {PARAMETER_TUNER_BRAND, "Tuner Brand", B_GENERIC},
    {PARAMETER_VIDEO_INPUT, "Video Input", B_INPUT_MUX},
};

const ParameterName ADJUSTMENTS[] = {
    {PARAMETER_BRIGHTNESS, "Brightness", B_BRIGHTNESS},
    {PARAMETER_CONTRAST, "Contrast", B_CONTRAST},
    {PARAMETER_SATURATION, "Saturation", B_SATURATION},
    {PARAMETER_HUE, "Hue", B_HUE},
};

const ParameterName SWITCHES[] = {
    {PARAMETER_LUMA_CORING, "Luma Coring", B_ENABLE},
    {PARAMETER_CHROMA_COMB, "Chroma Comb", B_ENABLE},
    {PARAMETER_GAMMA, "Gamma", B_GAMMA},
    {PARAMETER_ERROR_DIFFUSION, "Error Diffusion", B_ENABLE},
};

const char* const SWITCH_ITEMS[] = {"Off", "On"};

bool IsContinuous(int32 id)
{
    return id >= PARAMETER_BRIGHTNESS && id <= PARAMETER_HUE;
}

// Contrast and saturation are percentages on the sliders every card shares; a range of device
// steps has no unit.
const char* UnitOf(int32 id, const ParameterRange& range)
{
    const bool percent = (id == PARAMETER_CONTRAST && range.minimum == CONTRAST_MIN
                             && range.maximum == CONTRAST_MAX)
        || (id == PARAMETER_SATURATION && range.minimum == SATURATION_MIN
            && range.maximum == SATURATION_MAX);
    return percent ? B_UNIT_PERCENT : B_UNIT_NONE;
}

}

CaptureNode::CaptureNode(const char* name)
    : BMediaNode(name),
      BBufferProducer(B_MEDIA_RAW_VIDEO)
{
    AddNodeKind(B_PHYSICAL_INPUT);
}

CaptureNode::~CaptureNode() = default;

int64 CaptureNode::FramesSent() const
{
    return framesSent.load();
}

int64 CaptureNode::FramesDropped() const
{
    return framesDropped.load();
}

BMediaAddOn* CaptureNode::AddOn(int32* internalId) const
{
    if (internalId != nullptr)
        *internalId = 0;
    return nullptr;
}

void CaptureNode::OutputConnected() {}

void CaptureNode::OutputDisconnecting() {}

void CaptureNode::NodeRegistered()
{
    output.Register(Node(), ControlPort());
    BMediaEventLooper::NodeRegistered();
}

status_t CaptureNode::HandleMessage(int32 message, const void* data, size_t size)
{
    if (BControllable::HandleMessage(message, data, size) == B_OK
        || BBufferProducer::HandleMessage(message, data, size) == B_OK
        || BMediaNode::HandleMessage(message, data, size) == B_OK) {
        return B_OK;
    }
    HandleBadMessage(message, data, size);
    return B_ERROR;
}

status_t CaptureNode::Negotiate(media_format& format) const
{
    if (format.type == B_MEDIA_NO_TYPE || format.type == B_MEDIA_UNKNOWN_TYPE)
        format.type = B_MEDIA_RAW_VIDEO;
    if (format.type != B_MEDIA_RAW_VIDEO)
        return B_MEDIA_BAD_FORMAT;
    // The widest row a format may ask for, in bytes: twice a 32-bit row of the widest picture.
    constexpr uint32 MAX_BYTES_PER_ROW = MAX_WIDTH * 4 * 2;
    const NativePicture native = Native();
    media_raw_video_format& video = format.u.raw_video;
    media_video_display_info& display = video.display;
    if (display.format == B_NO_COLOR_SPACE)
        display.format = B_RGB32;
    const int32 pixelBytes = BytesPerPixel(display.format);
    if (pixelBytes == 0)
        return B_MEDIA_BAD_FORMAT;
    if (display.line_width == 0)
        display.line_width = native.width;
    if (display.line_count == 0)
        display.line_count = native.lines;
    if (display.line_width > MAX_WIDTH || display.line_count > MAX_LINES)
        return B_MEDIA_BAD_FORMAT;
    const uint32 rowBytes = display.line_width * uint32(pixelBytes);
    if (display.bytes_per_row == 0)
        display.bytes_per_row = rowBytes;
    // Frames are written whole from the first byte, rows as wide as asked.
    if (display.bytes_per_row < rowBytes || display.bytes_per_row > MAX_BYTES_PER_ROW
        || display.pixel_offset != 0 || display.line_offset != 0) {
        return B_MEDIA_BAD_FORMAT;
    }
    if (video.field_rate == 0)
        video.field_rate = native.fieldRate;
    else if (native.fieldRate != 0 && std::abs(video.field_rate - native.fieldRate) > 0.01f)
        return B_MEDIA_BAD_FORMAT;
    if (video.orientation == 0)
        video.orientation = B_VIDEO_TOP_LEFT_RIGHT;
    else if (video.orientation != B_VIDEO_TOP_LEFT_RIGHT)
        return B_MEDIA_BAD_FORMAT;
    if (video.interlace == 0)
        video.interlace = native.interlaced && display.line_count * 2 > native.lines ? 2 : 1;
    if (video.last_active == 0)
        video.last_active = display.line_count - 1;
    if (video.pixel_width_aspect == 0 || video.pixel_height_aspect == 0) {
        video.pixel_width_aspect = 4;
        video.pixel_height_aspect = 3;
    }
    return B_OK;
}

VideoOutput::Negotiator CaptureNode::Negotiation() const
{
    return [this](media_format& format) { return Negotiate(format); };
}

status_t CaptureNode::FormatSuggestionRequested(media_type type, int32, media_format* format)
{
    return output.FormatSuggestionRequested(type, format, Negotiation());
}

status_t CaptureNode::FormatProposal(const media_source& source, media_format* format)
{
    return output.FormatProposal(source, format, Negotiation());
}

status_t CaptureNode::FormatChangeRequested(const media_source&, const media_destination&,
    media_format*, int32*)
{
    // A new format takes a new connection, which also brings the consumer's new buffers.
    return B_NOT_ALLOWED;
}

status_t CaptureNode::GetNextOutput(int32* cookie, media_output* outOutput)
{
    return output.GetNextOutput(cookie, outOutput);
}

status_t CaptureNode::DisposeOutputCookie(int32)
{
    return B_OK;
}

status_t CaptureNode::SetBufferGroup(const media_source& forSource, BBufferGroup* group)
{
    return output.SetBufferGroup(forSource, group);
}

status_t CaptureNode::PrepareToConnect(const media_source& what, const media_destination& where,
    media_format* format, media_source* outSource, char* outName)
{
    return output.PrepareToConnect(what, where, format, outSource, outName, Negotiation());
}

void CaptureNode::Connect(status_t error, const media_source& source,
    const media_destination& destination, const media_format& format, char* ioName)
{
    if (!output.IsConnection(source, destination))
        return;
    if (error != B_OK) {
        Disconnect(source, destination);
        return;
    }
    bigtime_t latency = 0;
    media_node_id timeSource = -1;
    if (FindLatencyFor(destination, &latency, &timeSource) != B_OK)
        latency = 0;
    output.Connected(format, latency, ioName);
    OutputConnected();
}

void CaptureNode::Disconnect(const media_source& what, const media_destination& where)
{
    if (!output.IsConnection(what, where))
        return;
    OutputDisconnecting();
    output.Disconnected();
}

void CaptureNode::LateNoticeReceived(const media_source&, bigtime_t, bigtime_t)
{
    // The signal sets the pace of a capture card: a late consumer cannot make it send sooner.
}

void CaptureNode::EnableOutput(const media_source& what, bool enabled, int32*)
{
    output.EnableOutput(what, enabled);
}

status_t CaptureNode::GetLatency(bigtime_t* outLatency)
{
    if (status_t status = BBufferProducer::GetLatency(outLatency); status != B_OK)
        return status;
    *outLatency += ProcessingLatency();
    return B_OK;
}

void CaptureNode::BuildWeb()
{
    // Handed to SetParameterWeb, which takes ownership.
    auto web = std::make_unique<BParameterWeb>();
    BParameterGroup* tuner = web->MakeGroup("Tuner");
    for (const ParameterName& entry : TUNER_PARAMETERS) {
        const std::vector<ParameterItem> items = ItemsOf(entry.id);
        if (items.empty())
            continue;
        BDiscreteParameter* parameter = tuner->MakeDiscreteParameter(entry.id,
            B_MEDIA_RAW_VIDEO, entry.name, entry.kind);
        for (const ParameterItem& item : items)
            parameter->AddItem(item.value, item.name.c_str());
    }
    BParameterGroup* picture = web->MakeGroup("Picture");
    for (const ParameterName& entry : ADJUSTMENTS) {
        if (const std::optional<ParameterRange> range = RangeOf(entry.id)) {
            picture->MakeContinuousParameter(entry.id, B_MEDIA_RAW_VIDEO, entry.name,
                entry.kind, UnitOf(entry.id, *range), range->minimum, range->maximum, 1);
        }
    }
    for (const ParameterName& entry : SWITCHES) {
        if (!HasSwitch(entry.id))
            continue;
        BDiscreteParameter* parameter = picture->MakeDiscreteParameter(entry.id,
            B_MEDIA_RAW_VIDEO, entry.name, entry.kind);
        for (int32 i = 0; i < int32(std::size(SWITCH_ITEMS)); i++)
            parameter->AddItem(i, SWITCH_ITEMS[i]);
    }
    SetParameterWeb(web.release());
}

status_t CaptureNode::GetParameterValue(int32 id, bigtime_t* lastChange, void* value,
    size_t* ioSize)
{
    if (value == nullptr || ioSize == nullptr || *ioSize < sizeof(int32) || id <= 0
        || id >= PARAMETER_COUNT) {
        return B_BAD_VALUE;
    }
    if (IsContinuous(id)) {
        const std::optional<float> real = ReadContinuous(id);
        if (!real.has_value())
            return B_BAD_VALUE;
        std::memcpy(value, &*real, sizeof(float));
    } else {
        const std::optional<int32> number = ReadDiscrete(id);
        if (!number.has_value())
            return B_BAD_VALUE;
        std::memcpy(value, &*number, sizeof(int32));
    }
    *ioSize = sizeof(int32);
    if (lastChange != nullptr)
        *lastChange = lastChanges[id];
    return B_OK;
}

void CaptureNode::SetParameterValue(int32 id, bigtime_t when, const void* value, size_t size)
{
    if (value == nullptr || size != sizeof(int32) || id <= 0 || id >= PARAMETER_COUNT)
        return;
    int32 bits = 0;
    std::memcpy(&bits, value, sizeof(bits));
    if (when > BTimeSource::RealTime()) {
        EventQueue()->AddEvent(media_timed_event(TimeSource()->PerformanceTimeFor(when),
            BTimedEventQueue::B_PARAMETER, nullptr, BTimedEventQueue::B_NO_CLEANUP, id, bits));
        return;
    }
    ApplyParameter(id, bits, when);
}

void CaptureNode::ApplyParameter(int32 id, int32 bits, bigtime_t when)
{
    status_t status = B_BAD_VALUE;
    if (IsContinuous(id)) {
        float real = 0;
        std::memcpy(&real, &bits, sizeof(real));
        if (std::isfinite(real))
            status = WriteContinuous(id, real);
    } else {
        status = WriteDiscrete(id, bits);
    }
    if (status == B_OK)
        lastChanges[id] = when;
}

void CaptureNode::ApplyParameterEvent(const media_timed_event* event)
{
    ApplyParameter(event->data, int32(event->bigdata),
        TimeSource()->RealTimeFor(event->event_time, 0));
}

}
