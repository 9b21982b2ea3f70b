#pragma once
// ControlRange: maps a device control's integer range onto the continuous parameter the viewer
// shows as a slider, and back.

#include "kits/kernel/SupportDefs.h"

namespace devices {

// A device control's range as the device reports it. step below 1 is taken as 1.
struct DeviceControlRange {
    int32 minimum;
    int32 maximum;
    int32 step;
    int32 defaultValue;
};

// The parameter's published range.
struct ParameterRange {
    float minimum;
    float maximum;
};

// The picture adjustments the viewer shows as sliders.
enum class PictureAdjustment { BRIGHTNESS, CONTRAST, SATURATION, HUE };

// How far one press of the viewer's stepping keys moves a slider, in parameter units.
constexpr float VIEWER_STEP = 5;

// The range to publish for an adjustment on this device: the test signal card's (brightness -128
// to 127, contrast and saturation 0 to 200, hue -90 to 90), so sliders look alike whatever card
// is fitted and a device whose range moves (as it may when the input changes) keeps its slider.
// When one device step would span more than VIEWER_STEP units of that range, a stepping press
// would round back to the same device value; the range is then 0 to the device's number of
// steps, so every press moves whole steps.
ParameterRange ParameterRangeFor(PictureAdjustment adjustment, const DeviceControlRange& device);

// A linear map between a device range and a parameter range: the device minimum shows as the
// parameter minimum, the device maximum as the parameter maximum. Values are clamped at both
// ends; device values are rounded to the nearest step from the minimum (halves up), never past
// the last step within the maximum. Plain data, usable from any thread.
class ControlRange {
public:
    ControlRange(const DeviceControlRange& device, const ParameterRange& parameter);

    // B_BAD_VALUE when the device minimum lies above its maximum, or the parameter range is not
    // a finite, rising one; the mappings then give the minimums.
    [[nodiscard]] status_t InitCheck() const;

    const DeviceControlRange& Device() const { return device; }
    const ParameterRange& Parameter() const { return parameter; }

    float ToParameter(int32 deviceValue) const;
    int32 ToDevice(float parameterValue) const;
    // The device's default, as the parameter shows it.
    float DefaultParameter() const;

private:
    int64 StepCount() const;

    DeviceControlRange device;
    ParameterRange parameter;
};

}
