#include "devices/ControlRange.h"

#include "devices/PictureControls.h"
#include "kits/kernel/Errors.h"

#include <algorithm>
#include <cmath>

namespace devices {

namespace {

ParameterRange TestCardRange(PictureAdjustment adjustment)
{
    switch (adjustment) {
    case PictureAdjustment::BRIGHTNESS:
        return {BRIGHTNESS_MIN, BRIGHTNESS_MAX};
    case PictureAdjustment::CONTRAST:
        return {CONTRAST_MIN, CONTRAST_MAX};
    case PictureAdjustment::SATURATION:
        return {SATURATION_MIN, SATURATION_MAX};
    case PictureAdjustment::HUE:
        return {HUE_MIN, HUE_MAX};
    }
    return {HUE_MIN, HUE_MAX};
}

int64 StepOf(const DeviceControlRange& device)
{
    return std::max<int64>(device.step, 1);
}

}

ParameterRange ParameterRangeFor(PictureAdjustment adjustment, const DeviceControlRange& device)
{
    const ParameterRange range = TestCardRange(adjustment);
    // A device with one value has nothing to step through; any range shows it.
    const int64 steps = device.maximum > device.minimum
        ? (int64(device.maximum) - device.minimum) / StepOf(device)
        : 0;
    if (steps == 0 || (range.maximum - range.minimum) / float(steps) <= VIEWER_STEP)
        return range;
    return {0, float(steps)};
}

ControlRange::ControlRange(const DeviceControlRange& device, const ParameterRange& parameter)
    : device(device),
      parameter(parameter)
{
}

status_t ControlRange::InitCheck() const
{
    if (device.minimum > device.maximum || !std::isfinite(parameter.minimum)
        || !std::isfinite(parameter.maximum) || !(parameter.minimum < parameter.maximum)) {
        return B_BAD_VALUE;
    }
    return B_OK;
}

int64 ControlRange::StepCount() const
{
    return (int64(device.maximum) - device.minimum) / StepOf(device);
}

float ControlRange::ToParameter(int32 deviceValue) const
{
    if (InitCheck() != B_OK || device.maximum == device.minimum)
        return parameter.minimum;
    const double span = double(int64(device.maximum) - device.minimum);
    const double offset = double(std::clamp(deviceValue, device.minimum, device.maximum))
        - device.minimum;
    return float(
        parameter.minimum + offset / span * (double(parameter.maximum) - parameter.minimum));
}

int32 ControlRange::ToDevice(float parameterValue) const
{
    if (InitCheck() != B_OK || device.maximum == device.minimum)
        return device.minimum;
    // Not a number counts as the minimum.
    const double value = std::isnan(parameterValue)
        ? double(parameter.minimum)
        : std::clamp(double(parameterValue), double(parameter.minimum), double(parameter.maximum));
    const double span = double(int64(device.maximum) - device.minimum);
    const double offset = (value - parameter.minimum)
        / (double(parameter.maximum) - parameter.minimum) * span;
    const int64 step = StepOf(device);
    const int64 steps = std::clamp<int64>(int64(std::floor(offset / double(step) + 0.5)), 0,
        StepCount());
    return int32(device.minimum + steps * step);
}

float ControlRange::DefaultParameter() const
{
    return ToParameter(ToDevice(ToParameter(device.defaultValue)));
}

}
