// V4l2CaptureNode's parameters: what the device's current input offers, and the web over it.
#include "devices/V4l2CaptureNode.h"

#include "devices/FrequencyPlan.h"
#include "devices/V4l2CaptureNodePrivate.h"

#include <algorithm>
#include <cctype>

namespace devices {

namespace {

// The parameters that follow device controls: an adjustment follows the control of its id, a
// switch the first on/off control whose name holds its word.
struct ControlRule {
    int32 parameter;
    uint32 control;
    const char* word;
    PictureAdjustment adjustment;
};

const ControlRule CONTROL_RULES[] = {
    {PARAMETER_BRIGHTNESS, V4L2_CONTROL_BRIGHTNESS, nullptr, PictureAdjustment::BRIGHTNESS},
    {PARAMETER_CONTRAST, V4L2_CONTROL_CONTRAST, nullptr, PictureAdjustment::CONTRAST},
    {PARAMETER_SATURATION, V4L2_CONTROL_SATURATION, nullptr, PictureAdjustment::SATURATION},
    {PARAMETER_HUE, V4L2_CONTROL_HUE, nullptr, PictureAdjustment::HUE},
    {PARAMETER_LUMA_CORING, 0, "coring", {}},
    {PARAMETER_CHROMA_COMB, 0, "comb", {}},
    {PARAMETER_GAMMA, 0, "gamma", {}},
    {PARAMETER_ERROR_DIFFUSION, 0, "diffusion", {}},
};

// A control that can stand for an on/off switch.
bool IsSwitchControl(const V4l2Control& control)
{
    if ((control.flags & (V4L2_CONTROL_READ_ONLY | V4L2_CONTROL_WRITE_ONLY)) != 0)
        return false;
    return control.type == V4L2_CONTROL_BOOLEAN
        || (control.type == V4L2_CONTROL_INTEGER && control.minimum == 0
            && control.maximum == 1);
}

// A control that can stand for a slider.
bool IsLevelControl(const V4l2Control& control)
{
    return control.type == V4L2_CONTROL_INTEGER && control.maximum > control.minimum
        && (control.flags & V4L2_CONTROL_READ_ONLY) == 0;
}

bool NameHasWord(const std::string& name, const char* word)
{
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(),
        [](unsigned char c) { return char(std::tolower(c)); });
    return lower.find(word) != std::string::npos;
}

const char* AudioModeName(uint32 mode)
{
    switch (mode) {
    case V4L2_AUDIO_STEREO:
        return "Stereo";
    case V4L2_AUDIO_LANGUAGE_1:
        return "Language 1";
    case V4L2_AUDIO_LANGUAGE_2:
        return "Language 2";
    case V4L2_AUDIO_BOTH_LANGUAGES:
        return "Both languages";
    default:
        return "Mono";
    }
}

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
    if (found != state->inputs.end()) {
        if (found->standards != 0)
            ReadStandards(*state);
        if (found->hasTuner)
            ReadTuner(*state, found->tuner);
    }
    BindControls(*state);
    (void)device.GetFormat(state->deviceFormat);
    input = std::move(state);
}

void V4l2CaptureNode::ReadStandards(InputState& state)
{
    std::vector<V4l2Standard> standards;
    std::vector<EnumeratedStandard> enumerated;
    if (device.GetStandards(standards) == B_OK) {
        for (const V4l2Standard& standard : standards)
            enumerated.push_back(EnumeratedStandard{standard.name, standard.id});
    }
    if (!enumerated.empty())
        state.videoFormats = VideoFormatChoices(enumerated);
    if (device.GetStandard(state.standard) == B_OK)
        state.videoFormat = VideoFormatForStandard(state.standard);
}

void V4l2CaptureNode::ReadTuner(InputState& state, uint32 tunerIndex)
{
    if (device.GetTuner(tunerIndex, state.tuner) != B_OK)
        return;
    state.hasTuner = true;
    state.tunerIndex = tunerIndex;
    state.audioModes.push_back(V4L2_AUDIO_MONO);
    const uint32 capabilities = state.tuner.audioCapabilities;
    if ((capabilities & V4L2_AUDIO_CAN_STEREO) != 0)
        state.audioModes.push_back(V4L2_AUDIO_STEREO);
    if ((capabilities & V4L2_AUDIO_CAN_LANGUAGE_1) != 0)
        state.audioModes.push_back(V4L2_AUDIO_LANGUAGE_1);
    if ((capabilities & V4L2_AUDIO_CAN_LANGUAGE_2) != 0) {
        state.audioModes.push_back(V4L2_AUDIO_LANGUAGE_2);
        state.audioModes.push_back(V4L2_AUDIO_BOTH_LANGUAGES);
    }
    const auto mode = std::find(state.audioModes.begin(), state.audioModes.end(),
        state.tuner.audioMode);
    state.audioFormat = mode != state.audioModes.end()
        ? int32(mode - state.audioModes.begin()) : 0;
    uint32 frequency = 0;
    if (device.GetFrequency(state.tunerIndex, frequency) == B_OK) {
        state.channel = PlanFor(state.standard).NearestChannel(
            TunerUnitsToKilohertz(frequency, state.tuner.lowUnits));
    }
}

void V4l2CaptureNode::BindControls(InputState& state)
{
    std::vector<V4l2Control> controls;
    (void)device.GetControls(controls);
    for (const ControlRule& rule : CONTROL_RULES) {
        const auto match = std::find_if(controls.begin(), controls.end(),
            [&](const V4l2Control& control) {
                if (rule.control != 0)
                    return control.id == rule.control && IsLevelControl(control);
                return IsSwitchControl(control) && NameHasWord(control.name, rule.word);
            });
        if (match == controls.end())
            continue;
        ControlBinding binding{rule.parameter, *match, std::nullopt};
        if (rule.control != 0) {
            const DeviceControlRange range{match->minimum, match->maximum, match->step,
                match->defaultValue};
            ControlRange mapping(range, ParameterRangeFor(rule.adjustment, range));
            if (mapping.InitCheck() != B_OK)
                continue;
            binding.range = mapping;
        }
        state.controls.push_back(std::move(binding));
    }
}

std::vector<ParameterItem> V4l2CaptureNode::ItemsOf(int32 id) const
{
    std::vector<ParameterItem> items;
    switch (id) {
    case PARAMETER_VIDEO_FORMAT:
        // Items the device lacks keep their places, so each value is its position.
        for (const VideoFormatChoice& choice : input->videoFormats)
            items.push_back({choice.item, choice.name});
        break;
    case PARAMETER_CHANNEL:
        if (input->hasTuner) {
            const FrequencyPlan& plan = PlanFor(input->standard);
            for (int32 i = 0; i < plan.CountChannels(); i++)
                items.push_back({i, plan.ChannelAt(i)->name});
        }
        break;
    case PARAMETER_AUDIO_FORMAT:
        if (input->hasTuner) {
            for (size_t i = 0; i < input->audioModes.size(); i++)
                items.push_back({int32(i), AudioModeName(input->audioModes[i])});
        }
        break;
    case PARAMETER_TUNER_BRAND:
        items = {{0, "None"}, {1, input->hasTuner ? input->tuner.name : "Tuner"}};
        break;
    case PARAMETER_VIDEO_INPUT:
        for (const V4l2Input& entry : input->inputs)
            items.push_back({int32(entry.index), entry.name});
        break;
    default:
        break;
    }
    return items;
}

std::optional<ParameterRange> V4l2CaptureNode::RangeOf(int32 id) const
{
    const ControlBinding* binding = BindingFor(id);
    if (binding == nullptr || !binding->range.has_value())
        return std::nullopt;
    return binding->range->Parameter();
}

bool V4l2CaptureNode::HasSwitch(int32 id) const
{
    return BindingFor(id) != nullptr;
}

std::optional<int32> V4l2CaptureNode::ReadDiscrete(int32 id)
{
    switch (id) {
    case PARAMETER_VIDEO_FORMAT:
        if (input->videoFormats.empty())
            return std::nullopt;
        return input->videoFormat;
    case PARAMETER_CHANNEL:
        if (!input->hasTuner)
            return std::nullopt;
        return std::max(0, input->channel);
    case PARAMETER_AUDIO_FORMAT:
        if (!input->hasTuner)
            return std::nullopt;
        return input->audioFormat;
    case PARAMETER_TUNER_BRAND:
        return input->hasTuner ? 1 : 0;
    case PARAMETER_VIDEO_INPUT:
        return int32(input->current);
    default: {
        const ControlBinding* binding = BindingFor(id);
        if (binding == nullptr || binding->range.has_value())
            return std::nullopt;
        return ControlValue(*binding) != binding->control.minimum ? 1 : 0;
    }
    }
}

std::optional<float> V4l2CaptureNode::ReadContinuous(int32 id)
{
    const ControlBinding* binding = BindingFor(id);
    if (binding == nullptr || !binding->range.has_value())
        return std::nullopt;
    return binding->range->ToParameter(ControlValue(*binding));
}

status_t V4l2CaptureNode::WriteDiscrete(int32 id, int32 value)
{
    if (!device.IsOpen())
        return B_BAD_VALUE;
    switch (id) {
    case PARAMETER_VIDEO_FORMAT:
        return ApplyStandard(value);
    case PARAMETER_CHANNEL:
        return Tune(value);
    case PARAMETER_AUDIO_FORMAT: {
        if (!input->hasTuner || value < 0 || value >= int32(input->audioModes.size()))
            return B_BAD_VALUE;
        const status_t status = device.SetAudioMode(input->tunerIndex,
            input->audioModes[size_t(value)]);
        if (status == B_OK)
            input->audioFormat = value;
        return status;
    }
    case PARAMETER_VIDEO_INPUT:
        return SwitchInput(value);
    default: {
        const ControlBinding* binding = BindingFor(id);
        if (binding == nullptr || binding->range.has_value())
            return B_BAD_VALUE;
        const V4l2Control& control = binding->control;
        return device.SetControl(control.id, value != 0 ? control.maximum : control.minimum);
    }
    }
}

status_t V4l2CaptureNode::WriteContinuous(int32 id, float value)
{
    const ControlBinding* binding = BindingFor(id);
    if (!device.IsOpen() || binding == nullptr || !binding->range.has_value())
        return B_BAD_VALUE;
    return device.SetControl(binding->control.id, binding->range->ToDevice(value));
}

const V4l2CaptureNode::ControlBinding* V4l2CaptureNode::BindingFor(int32 id) const
{
    for (const ControlBinding& binding : input->controls) {
        if (binding.parameter == id)
            return &binding;
    }
    return nullptr;
}

int32 V4l2CaptureNode::ControlValue(const ControlBinding& binding)
{
    int32 value = binding.control.defaultValue;
    if (device.GetControl(binding.control.id, value) != B_OK)
        value = binding.control.defaultValue;
    return value;
}

const FrequencyPlan& V4l2CaptureNode::PlanFor(uint64 standard) const
{
    return FrequencyPlan::ForStandard(standard, cablePlan);
}

status_t V4l2CaptureNode::SwitchInput(int32 value)
{
    if (value < 0 || uint32(value) == input->current)
        return B_BAD_VALUE;
    const bool wasCapturing = capturing;
    StopCapture();
    const status_t status = SelectInput(uint32(value));
    // The new input's standards, tuner and control ranges make a new web.
    BuildWeb();
    if (wasCapturing) {
        if (status_t restarted = StartCapture(); restarted != B_OK)
            Fail(restarted);
    }
    return status;
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
