#pragma once
// SetVividControl: one control of the vivid device inside the test machine, set by its name.

#include "devices/V4l2Device.h"

#include <cctype>
#include <string>
#include <vector>

namespace vivid_test {

// Sets a control of /dev/video0 by the name v4l2-ctl shows (lower case, words joined by "_").
inline status_t SetVividControl(const char* name, int32 value)
{
    devices::V4l2Device device;
    if (status_t status = device.Open("/dev/video0"); status != B_OK)
        return status;
    std::vector<devices::V4l2Control> controls;
    if (status_t status = device.GetControls(controls); status != B_OK)
        return status;
    for (const devices::V4l2Control& control : controls) {
        std::string plain;
        for (char c : control.name)
            plain += std::isalnum(static_cast<unsigned char>(c)) ? char(std::tolower(c)) : '_';
        if (plain == name)
            return device.SetControl(control.id, value);
    }
    return B_NAME_NOT_FOUND;
}

}
