#pragma once
// A seam for tests of the capture code on a real driver: devices that offer only read().

namespace devices {

// From the next V4l2Device::Open on, a device that offers both streaming and read() is treated
// as offering read() only, so the read() path can be run on a driver that streams.
void SetReadOnlyDevices(bool readOnly);

}
