#pragma once
// RegisterDefaultNodes: makes the devices of this folder the system's default media nodes.

#include "kits/kernel/SupportDefs.h"

namespace devices {

// The priority the test signal card registers with: the lowest, so any real card registered
// at a higher priority is chosen instead.
constexpr int32 TEST_CARD_PRIORITY = INT32_MIN;

// Registers the test signal card as the default video input. A program that links this library
// whole has it registered before main() runs; calling this again registers the card once more,
// which changes nothing but lets a program that reset the media kit's defaults have it back.
[[nodiscard]] status_t RegisterDefaultNodes();

}
