#include "devices/V4l2CaptureNode.h"

#include "devices/ControlRange.h"
#include "devices/FrequencyPlan.h"
#include "kits/interface/FrameView.h"
#include "devices/PixelConversion.h"
#include "devices/VideoInputSelection.h"
#include "devices/VideoStandard.h"
#include "kits/media/Buffer.h"
#include "kits/media/BufferGroup.h"
#include "kits/media/ContinuousParameter.h"
#include "kits/media/DiscreteParameter.h"
#include "kits/media/ParameterWeb.h"
#include "kits/media/TimeSource.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cmath>
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
constexpr uint32 MAX_WIDTH = 1920;
constexpr uint32 MAX_LINES = 1080;
constexpr uint32 MAX_BYTES_PER_ROW = MAX_WIDTH * 4 * 2;

const char* const SWITCH_ITEMS[] = {"Off", "On"};

// The parameters that follow device controls, with the words that find a switch by name.
struct ControlRule {
    int32 parameter;
    const char* name;
    const char* kind;
    uint32 control;
    const char* word;
    PictureAdjustment adjustment;
};

const ControlRule CONTROL_RULES[] = {
    {V4L2_PARAMETER_BRIGHTNESS, "Brightness", B_BRIGHTNESS, V4L2_CID_BRIGHTNESS, nullptr,
        PictureAdjustment::BRIGHTNESS},
    {V4L2_PARAMETER_CONTRAST, "Contrast", B_CONTRAST, V4L2_CID_CONTRAST, nullptr,
        PictureAdjustment::CONTRAST},
    {V4L2_PARAMETER_SATURATION, "Saturation", B_SATURATION, V4L2_CID_SATURATION, nullptr,
        PictureAdjustment::SATURATION},
    {V4L2_PARAMETER_HUE, "Hue", B_HUE, V4L2_CID_HUE, nullptr, PictureAdjustment::HUE},
    {V4L2_PARAMETER_LUMA_CORING, "Luma Coring", B_ENABLE, 0, "coring", {}},
    {V4L2_PARAMETER_CHROMA_COMB, "Chroma Comb", B_ENABLE, 0, "comb", {}},
    {V4L2_PARAMETER_GAMMA, "Gamma", B_GAMMA, 0, "gamma", {}},
    {V4L2_PARAMETER_ERROR_DIFFUSION, "Error Diffusion", B_ENABLE, 0, "diffusion", {}},
};

bool IsContinuous(int32 id)
{
    return id >= V4L2_PARAMETER_BRIGHTNESS && id <= V4L2_PARAMETER_HUE;
}

// A control that can stand for an on/off switch.
bool IsSwitchControl(const V4l2Control& control)
{
    if ((control.flags & (V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_WRITE_ONLY)) != 0)
        return false;
    return control.type == V4L2_CTRL_TYPE_BOOLEAN
        || (control.type == V4L2_CTRL_TYPE_INTEGER && control.minimum == 0
            && control.maximum == 1);
}

bool NameHasWord(const std::string& name, const char* word)
{
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(),
        [](unsigned char c) { return char(std::tolower(c)); });
    return lower.find(word) != std::string::npos;
}

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

const char* AudioModeName(uint32 mode)
{
    switch (mode) {
    case V4L2_TUNER_MODE_STEREO:
        return "Stereo";
    case V4L2_TUNER_MODE_LANG1:
        return "Language 1";
    case V4L2_TUNER_MODE_LANG2:
        return "Language 2";
    case V4L2_TUNER_MODE_LANG1_LANG2:
        return "Both languages";
    default:
        return "Mono";
    }
}

}

// A parameter bound to a device control; a continuous one maps the device's range onto the
// slider's.
struct V4l2CaptureNode::ControlBinding {
    int32 parameter;
    V4l2Control control;
    std::optional<ControlRange> range;
};

// What the node knows of the device's current input; read again whenever the input changes.
struct V4l2CaptureNode::InputState {
    std::vector<V4l2Input> inputs;
    uint32 current = 0;
    // The "Video Format" items by value (empty without standards), the one chosen, and the
    // device's standard mask.
    std::vector<VideoFormatChoice> videoFormats;
    int32 videoFormat = VIDEO_FORMAT_AUTO;
    uint64 standard = 0;
    bool hasTuner = false;
    uint32 tunerIndex = 0;
    V4l2Tuner tuner;
    // The tuner's audio modes by "Audio Format" position, and the position chosen.
    std::vector<uint32> audioModes;
    int32 audioFormat = 0;
    // Position in the frequency plan of the standard: the channel nearest the tuner.
    int32 channel = -1;
    std::vector<ControlBinding> controls;
    // The device's format as found, for inputs without standards.
    V4l2Format deviceFormat;
};

V4l2CaptureNode::V4l2CaptureNode(std::string path, bool cable)
    : BMediaNode(path.c_str()),
      CaptureNode(path.c_str(), V4L2_PARAMETER_COUNT),
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

status_t V4l2CaptureNode::SelectInput(uint32 index)
{
    if (status_t status = device.SetInput(index); status != B_OK)
        return status;
    ReadInputState();
    return B_OK;
}

void V4l2CaptureNode::ReadInputState()
{
    auto state = std::make_unique<InputState>();
    (void)device.GetInputs(state->inputs);
    if (device.GetInput(state->current) != B_OK)
        state->current = 0;
    const auto found = std::find_if(state->inputs.begin(), state->inputs.end(),
        [&](const V4l2Input& entry) { return entry.index == state->current; });
    const V4l2Input* current = found != state->inputs.end() ? &*found : nullptr;

    if (current != nullptr && current->standards != 0) {
        std::vector<V4l2Standard> standards;
        std::vector<EnumeratedStandard> enumerated;
        if (device.GetStandards(standards) == B_OK) {
            for (const V4l2Standard& standard : standards)
                enumerated.push_back(EnumeratedStandard{standard.name, standard.id});
        }
        if (!enumerated.empty())
            state->videoFormats = VideoFormatChoices(enumerated);
        if (device.GetStandard(state->standard) == B_OK)
            state->videoFormat = VideoFormatForStandard(state->standard);
    }
    if (current != nullptr && current->hasTuner
        && device.GetTuner(current->tuner, state->tuner) == B_OK) {
        state->hasTuner = true;
        state->tunerIndex = current->tuner;
        state->audioModes.push_back(V4L2_TUNER_MODE_MONO);
        if ((state->tuner.audioCapabilities & V4L2_TUNER_CAP_STEREO) != 0)
            state->audioModes.push_back(V4L2_TUNER_MODE_STEREO);
        if ((state->tuner.audioCapabilities & V4L2_TUNER_CAP_LANG1) != 0)
            state->audioModes.push_back(V4L2_TUNER_MODE_LANG1);
        if ((state->tuner.audioCapabilities & V4L2_TUNER_CAP_LANG2) != 0) {
            state->audioModes.push_back(V4L2_TUNER_MODE_LANG2);
            state->audioModes.push_back(V4L2_TUNER_MODE_LANG1_LANG2);
        }
        const auto mode = std::find(state->audioModes.begin(), state->audioModes.end(),
            state->tuner.audioMode);
        state->audioFormat = mode != state->audioModes.end()
            ? int32(mode - state->audioModes.begin()) : 0;
        uint32 frequency = 0;
        if (device.GetFrequency(state->tunerIndex, frequency) == B_OK) {
            state->channel = PlanFor(state->standard).NearestChannel(
                TunerUnitsToKilohertz(frequency, state->tuner.lowUnits));
        }
    }

    std::vector<V4l2Control> controls;
    (void)device.GetControls(controls);
    for (const ControlRule& rule : CONTROL_RULES) {
        const auto match = std::find_if(controls.begin(), controls.end(),
            [&](const V4l2Control& control) {
                if (rule.control != 0) {
                    return control.id == rule.control
                        && control.type == V4L2_CTRL_TYPE_INTEGER
                        && control.maximum > control.minimum
                        && (control.flags & V4L2_CTRL_FLAG_READ_ONLY) == 0;
                }
                return IsSwitchControl(control) && NameHasWord(control.name, rule.word);
            });
        if (match == controls.end())
            continue;
        ControlBinding binding{rule.parameter, *match, std::nullopt};
        if (IsContinuous(rule.parameter)) {
            const DeviceControlRange range{match->minimum, match->maximum, match->step,
                match->defaultValue};
            ControlRange mapping(range, ParameterRangeFor(rule.adjustment, range));
            if (mapping.InitCheck() != B_OK)
                continue;
            binding.range = mapping;
        }
        state->controls.push_back(std::move(binding));
    }
    (void)device.GetFormat(state->deviceFormat);
    input = std::move(state);
}

void V4l2CaptureNode::BuildWeb()
{
    // Handed to SetParameterWeb, which takes ownership.
    auto web = std::make_unique<BParameterWeb>();
    BParameterGroup* tuner = web->MakeGroup("Tuner");
    if (!input->videoFormats.empty()) {
        BDiscreteParameter* formats = tuner->MakeDiscreteParameter(V4L2_PARAMETER_VIDEO_FORMAT,
            B_MEDIA_RAW_VIDEO, "Video Format", B_VIDEO_FORMAT);
        // Items the device lacks keep their places, so each value is its position.
        for (const VideoFormatChoice& choice : input->videoFormats)
            formats->AddItem(choice.item, choice.name.c_str());
    }
    if (input->hasTuner) {
        BDiscreteParameter* channels = tuner->MakeDiscreteParameter(V4L2_PARAMETER_CHANNEL,
            B_MEDIA_RAW_VIDEO, "Channel", B_TUNER_CHANNEL);
        const FrequencyPlan& plan = PlanFor(input->standard);
        for (int32 i = 0; i < plan.CountChannels(); i++)
            channels->AddItem(i, plan.ChannelAt(i)->name.c_str());
        BDiscreteParameter* sound = tuner->MakeDiscreteParameter(V4L2_PARAMETER_AUDIO_FORMAT,
            B_MEDIA_RAW_VIDEO, "Audio Format", B_AUDIO_FORMAT);
        for (size_t i = 0; i < input->audioModes.size(); i++)
            sound->AddItem(int32(i), AudioModeName(input->audioModes[i]));
    }
    BDiscreteParameter* brand = tuner->MakeDiscreteParameter(V4L2_PARAMETER_TUNER_BRAND,
        B_MEDIA_RAW_VIDEO, "Tuner Brand", B_GENERIC);
    brand->AddItem(0, "None");
    brand->AddItem(1, input->hasTuner ? input->tuner.name.c_str() : "Tuner");
    if (!input->inputs.empty()) {
        BDiscreteParameter* inputs = tuner->MakeDiscreteParameter(V4L2_PARAMETER_VIDEO_INPUT,
            B_MEDIA_RAW_VIDEO, "Video Input", B_INPUT_MUX);
        for (const V4l2Input& entry : input->inputs)
            inputs->AddItem(int32(entry.index), entry.name.c_str());
    }

    BParameterGroup* picture = web->MakeGroup("Picture");
    for (const ControlRule& rule : CONTROL_RULES) {
        const ControlBinding* binding = BindingFor(rule.parameter);
        if (binding == nullptr)
            continue;
        if (binding->range.has_value()) {
            const ParameterRange& range = binding->range->Parameter();
            picture->MakeContinuousParameter(rule.parameter, B_MEDIA_RAW_VIDEO, rule.name,
                rule.kind, B_UNIT_NONE, range.minimum, range.maximum, 1);
        } else {
            BDiscreteParameter* parameter = picture->MakeDiscreteParameter(rule.parameter,
                B_MEDIA_RAW_VIDEO, rule.name, rule.kind);
            for (int32 i = 0; i < int32(std::size(SWITCH_ITEMS)); i++)
                parameter->AddItem(i, SWITCH_ITEMS[i]);
        }
    }
    SetParameterWeb(web.release());
}

V4l2CaptureNode::ControlBinding* V4l2CaptureNode::BindingFor(int32 id)
{
    for (ControlBinding& binding : input->controls) {
        if (binding.parameter == id)
            return &binding;
    }
    return nullptr;
}

void V4l2CaptureNode::NativeSize(uint32& width, uint32& lines, float& fieldRate,
    bool& sixtyHertz) const
{
    sixtyHertz = false;
    if (!input->videoFormats.empty()) {
        sixtyHertz = Is525Line(input->standard);
        const FrameSize size = FrameSizeOf(input->standard);
        const FrameRate rate = FrameRateOf(input->standard);
        width = uint32(size.width);
        lines = uint32(size.height);
        // Two fields a frame.
        fieldRate = 2.0f * float(rate.numerator) / float(rate.denominator);
        return;
    }
    width = std::clamp<uint32>(input->deviceFormat.width, 1, MAX_WIDTH);
    lines = std::clamp<uint32>(input->deviceFormat.height, 1, MAX_LINES);
    fieldRate = 0;
    uint32 numerator = 0;
    uint32 denominator = 0;
    // Progressive pictures: one field a frame.
    if (const_cast<V4l2Device&>(device).GetFrameInterval(numerator, denominator) == B_OK)
        fieldRate = float(denominator) / float(numerator);
}

status_t V4l2CaptureNode::Negotiate(media_format& format) const
{
    if (format.type == B_MEDIA_NO_TYPE || format.type == B_MEDIA_UNKNOWN_TYPE)
        format.type = B_MEDIA_RAW_VIDEO;
    if (format.type != B_MEDIA_RAW_VIDEO)
        return B_MEDIA_BAD_FORMAT;
    uint32 width = 0;
    uint32 lines = 0;
    float fieldRate = 0;
    bool sixtyHertz = false;
    NativeSize(width, lines, fieldRate, sixtyHertz);
    media_raw_video_format& video = format.u.raw_video;
    media_video_display_info& display = video.display;
    if (display.format == B_NO_COLOR_SPACE)
        display.format = B_RGB32;
    const int32 pixelBytes = BytesPerPixel(display.format);
    if (pixelBytes == 0)
        return B_MEDIA_BAD_FORMAT;
    if (display.line_width == 0)
        display.line_width = width;
    if (display.line_count == 0)
        display.line_count = lines;
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
        video.field_rate = fieldRate;
    else if (fieldRate != 0 && std::abs(video.field_rate - fieldRate) > 0.01f)
        return B_MEDIA_BAD_FORMAT;
    if (video.orientation == 0)
        video.orientation = B_VIDEO_TOP_LEFT_RIGHT;
    else if (video.orientation != B_VIDEO_TOP_LEFT_RIGHT)
        return B_MEDIA_BAD_FORMAT;
    if (video.interlace == 0) {
        const bool interlaced = !input->videoFormats.empty() && display.line_count * 2 > lines;
        video.interlace = interlaced ? 2 : 1;
    }
    if (video.last_active == 0)
        video.last_active = display.line_count - 1;
    if (video.pixel_width_aspect == 0 || video.pixel_height_aspect == 0) {
        video.pixel_width_aspect = 4;
        video.pixel_height_aspect = 3;
    }
    return B_OK;
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
    int32 height, bool sixtyHertz)
{
    plan.device = answer;
    plan.splitFields = false;
    plan.firstFieldOnly = false;
    plan.sequentialFields = false;
    plan.bottomFieldFirst = false;
    bool twoFields = true;
    switch (answer.field) {
    case V4L2_FIELD_ORDER_INTERLACED:
        // Without a stated order, 525-line signals send the bottom field first.
        plan.bottomFieldFirst = sixtyHertz;
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
    if (!plan.splitFields && !plan.firstFieldOnly) {
        return ConvertFrame(CapturedFrame{data, length, source.fourcc, int32(source.width),
            int32(source.height), int32(source.bytesPerLine)}, to);
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
        return CapturedFrame{data + offset, length - offset, source.fourcc, int32(source.width),
            fieldLines, fieldStride};
    };
    if (plan.firstFieldOnly)
        return ConvertFrame(fieldAt(0), to);
    for (int32 bottom = 0; bottom < 2; bottom++) {
        const TargetFrame lines{to.bits + size_t(bottom) * size_t(to.bytesPerRow),
            to.bytesPerRow * 2, to.width, (to.height + 1 - bottom) / 2, to.space};
        if (lines.height <= 0)
            continue;
        if (status_t status = ConvertFrame(fieldAt(fieldStart(bottom != 0)), lines);
            status != B_OK) {
            return status;
        }
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
    uint32 width = 0;
    uint32 lines = 0;
    float fieldRate = 0;
    bool sixtyHertz = false;
    NativeSize(width, lines, fieldRate, sixtyHertz);
    std::vector<V4l2PixelFormat> offered;
    if (status_t status = device.GetPixelFormats(offered); status != B_OK)
        return status;
    plan = PlanFrames(offered, int32(display.line_width), int32(display.line_count),
        display.format, width, lines, !input->videoFormats.empty());
    if (plan.device.fourcc == 0)
        return B_MEDIA_BAD_FORMAT;
    V4l2Format answer = plan.device;
    if (status_t status = device.SetFormat(answer); status != B_OK)
        return status;
    if (answer.fourcc != plan.device.fourcc)
        return B_MEDIA_BAD_FORMAT;
    AdoptDeviceFormat(plan, answer, int32(display.line_count), sixtyHertz);
    // A buffer holds the two fields of a frame; with alternating fields one field, and from a
    // progressive source one picture, whose rate is the field rate.
    framePeriod = 0;
    if (fieldRate > 0) {
        const bool fieldPerBuffer = answer.field == V4L2_FIELD_ORDER_ALTERNATE
            || input->videoFormats.empty();
        framePeriod = bigtime_t((fieldPerBuffer ? 1e6 : 2e6) / fieldRate);
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

status_t V4l2CaptureNode::GetParameterValue(int32 id, bigtime_t* lastChange, void* value,
    size_t* ioSize)
{
    if (value == nullptr || ioSize == nullptr || *ioSize < sizeof(int32) || id <= 0
        || id >= V4L2_PARAMETER_COUNT) {
        return B_BAD_VALUE;
    }
    int32 number = 0;
    float real = 0;
    switch (id) {
    case V4L2_PARAMETER_VIDEO_FORMAT:
        if (input->videoFormats.empty())
            return B_BAD_VALUE;
        number = input->videoFormat;
        break;
    case V4L2_PARAMETER_CHANNEL:
        if (!input->hasTuner)
            return B_BAD_VALUE;
        number = std::max(0, input->channel);
        break;
    case V4L2_PARAMETER_AUDIO_FORMAT:
        if (!input->hasTuner)
            return B_BAD_VALUE;
        number = input->audioFormat;
        break;
    case V4L2_PARAMETER_TUNER_BRAND:
        number = input->hasTuner ? 1 : 0;
        break;
    case V4L2_PARAMETER_VIDEO_INPUT:
        number = int32(input->current);
        break;
    default: {
        ControlBinding* binding = BindingFor(id);
        if (binding == nullptr)
            return B_BAD_VALUE;
        int32 current = binding->control.defaultValue;
        if (device.GetControl(binding->control.id, current) != B_OK)
            current = binding->control.defaultValue;
        if (binding->range.has_value())
            real = binding->range->ToParameter(current);
        else
            number = current != binding->control.minimum ? 1 : 0;
        break;
    }
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

void V4l2CaptureNode::ApplyParameter(int32 id, int32 bits, bigtime_t when)
{
    if (!device.IsOpen())
        return;
    status_t status = B_BAD_VALUE;
    switch (id) {
    case V4L2_PARAMETER_VIDEO_FORMAT:
        status = ApplyStandard(bits);
        break;
    case V4L2_PARAMETER_CHANNEL:
        status = Tune(bits);
        break;
    case V4L2_PARAMETER_AUDIO_FORMAT:
        if (input->hasTuner && bits >= 0 && bits < int32(input->audioModes.size())) {
            status = device.SetAudioMode(input->tunerIndex, input->audioModes[size_t(bits)]);
            if (status == B_OK)
                input->audioFormat = bits;
        }
        break;
    case V4L2_PARAMETER_VIDEO_INPUT: {
        const bool wasCapturing = capturing;
        if (bits < 0 || uint32(bits) == input->current)
            break;
        StopCapture();
        status = SelectInput(uint32(bits));
        // The new input's standards, tuner and control ranges make a new web.
        BuildWeb();
        if (wasCapturing) {
            if (status_t restarted = StartCapture(); restarted != B_OK)
                Fail(restarted);
        }
        break;
    }
    default: {
        ControlBinding* binding = BindingFor(id);
        if (binding == nullptr)
            return;
        const V4l2Control& control = binding->control;
        int32 level = 0;
        if (binding->range.has_value()) {
            float real = 0;
            std::memcpy(&real, &bits, sizeof(real));
            if (!std::isfinite(real))
                return;
            level = binding->range->ToDevice(real);
        } else {
            level = bits != 0 ? control.maximum : control.minimum;
        }
        status = device.SetControl(control.id, level);
        break;
    }
    }
    if (status == B_OK)
        lastChanges[id] = when;
}

const FrequencyPlan& V4l2CaptureNode::PlanFor(uint64 standard) const
{
    return FrequencyPlan::ForStandard(standard, cablePlan);
}

status_t V4l2CaptureNode::ApplyStandard(int32 value)
{
    const auto choice = std::find_if(input->videoFormats.begin(), input->videoFormats.end(),
        [value](const VideoFormatChoice& entry) { return entry.item == value; });
    if (choice == input->videoFormats.end() || choice->mask == 0)
        return B_BAD_VALUE;
    // The device takes no new standard while it streams: stop, change, and carry on at the
    // new picture size.
    const bool wasCapturing = capturing;
    StopCapture();
    const FrequencyPlan& oldPlan = PlanFor(input->standard);
    status_t status = device.SetStandard(choice->mask);
    if (status == B_OK) {
        input->videoFormat = value;
        if (device.GetStandard(input->standard) != B_OK)
            input->standard = choice->mask;
        (void)device.GetFormat(input->deviceFormat);
        const FrequencyPlan& plan = PlanFor(input->standard);
        if (input->hasTuner && &plan != &oldPlan) {
            // Another frequency plan: its channels make a new web; the tuner stays put.
            uint32 frequency = 0;
            if (device.GetFrequency(input->tunerIndex, frequency) == B_OK) {
                input->channel = plan.NearestChannel(
                    TunerUnitsToKilohertz(frequency, input->tuner.lowUnits));
            }
            BuildWeb();
        }
    }
    if (wasCapturing) {
        if (status_t restarted = StartCapture(); restarted != B_OK)
            Fail(restarted);
    }
    return status;
}

status_t V4l2CaptureNode::Tune(int32 channel)
{
    const PlanChannel* entry = PlanFor(input->standard).ChannelAt(channel);
    if (!input->hasTuner || entry == nullptr)
        return B_BAD_VALUE;
    const std::optional<uint32> units = KilohertzToTunerUnits(entry->kilohertz,
        input->tuner.lowUnits);
    if (!units.has_value() || *units < input->tuner.rangeLow || *units > input->tuner.rangeHigh)
        return B_BAD_VALUE;
    if (status_t status = device.SetFrequency(input->tunerIndex, *units); status != B_OK)
        return status;
    input->channel = channel;
    return B_OK;
}

}
