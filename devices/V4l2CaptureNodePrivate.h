#pragma once
// What V4l2CaptureNode knows of its device's current input, shared by its two source files.

#include "devices/ControlRange.h"
#include "devices/V4l2CaptureNode.h"
#include "devices/VideoStandard.h"

#include <optional>
#include <vector>

namespace devices {

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

}
