#pragma once
// VideoStandard: TV standards as capture devices name them (bit masks), and the items of the
// card's "Video Format" parameter that the viewer sizes its picture by.

#include "kits/kernel/SupportDefs.h"

#include <string>
#include <string_view>
#include <vector>

namespace devices {

// Standard bits as capture devices publish them; a mask may hold several.
constexpr uint64 STANDARD_PAL_B = 0x00000001;
constexpr uint64 STANDARD_PAL_B1 = 0x00000002;
constexpr uint64 STANDARD_PAL_G = 0x00000004;
constexpr uint64 STANDARD_PAL_H = 0x00000008;
constexpr uint64 STANDARD_PAL_I = 0x00000010;
constexpr uint64 STANDARD_PAL_D = 0x00000020;
constexpr uint64 STANDARD_PAL_D1 = 0x00000040;
constexpr uint64 STANDARD_PAL_K = 0x00000080;
constexpr uint64 STANDARD_PAL_M = 0x00000100;
constexpr uint64 STANDARD_PAL_N = 0x00000200;
constexpr uint64 STANDARD_PAL_NC = 0x00000400;
constexpr uint64 STANDARD_PAL_60 = 0x00000800;
constexpr uint64 STANDARD_NTSC_M = 0x00001000;
constexpr uint64 STANDARD_NTSC_M_JP = 0x00002000;
constexpr uint64 STANDARD_NTSC_443 = 0x00004000;
constexpr uint64 STANDARD_NTSC_M_KR = 0x00008000;
constexpr uint64 STANDARD_SECAM_B = 0x00010000;
constexpr uint64 STANDARD_SECAM_D = 0x00020000;
constexpr uint64 STANDARD_SECAM_G = 0x00040000;
constexpr uint64 STANDARD_SECAM_H = 0x00080000;
constexpr uint64 STANDARD_SECAM_K = 0x00100000;
constexpr uint64 STANDARD_SECAM_K1 = 0x00200000;
constexpr uint64 STANDARD_SECAM_L = 0x00400000;
constexpr uint64 STANDARD_SECAM_LC = 0x00800000;

// Every 525-line, 59.94 field/s standard; the rest of the analogue ones have 625 lines.
constexpr uint64 STANDARD_525_60 = STANDARD_PAL_M | STANDARD_PAL_60 | STANDARD_NTSC_M
    | STANDARD_NTSC_M_JP | STANDARD_NTSC_M_KR | STANDARD_NTSC_443;

// Values of the "Video Format" parameter. The viewer classifies 1 and 2 as 525-line NTSC, 3 and
// 5 as 625-line, 4 as 525-line PAL and 6 as 625-line SECAM; 0 leaves the standard to the device.
enum : int32 {
    VIDEO_FORMAT_AUTO = 0,
    VIDEO_FORMAT_NTSC_M = 1,
    VIDEO_FORMAT_NTSC_M_JP = 2,
    VIDEO_FORMAT_PAL = 3,
    VIDEO_FORMAT_PAL_M = 4,
    VIDEO_FORMAT_PAL_N = 5,
    VIDEO_FORMAT_SECAM = 6,
    VIDEO_FORMAT_COUNT = 7,
};

// The item's name ("Auto", "NTSC-M", "NTSC-M-JP", "PAL-B/G/D/H/I", "PAL-M", "PAL-N", "SECAM"), or
// an empty one for another value.
std::string_view VideoFormatName(int32 item);

// The item a standard mask belongs to. A mask with any 525-line bit is a 525-line item, as devices
// send 525 lines then: NTSC-M (also NTSC-M-KR and NTSC-443), NTSC-M-JP, or PAL-M (also PAL-60). Of
// the rest, PAL B, G, D, K, H or I comes before SECAM, then PAL-N and PAL-Nc. A mask with no
// analogue standard bit gives VIDEO_FORMAT_AUTO.
int32 VideoFormatForStandard(uint64 standard);

// Whether a device on this standard sends 525 lines at 59.94 fields/s (any 525-line bit).
bool Is525Line(uint64 standard);

// Frames per second as a fraction: 30000/1001 for 525-line standards, 25/1 otherwise.
struct FrameRate {
    int32 numerator;
    int32 denominator;
};
FrameRate FrameRateOf(uint64 standard);

// The full frame: 720x480 for 525-line standards, 720x576 otherwise.
struct FrameSize {
    int32 width;
    int32 height;
};
FrameSize FrameSizeOf(uint64 standard);

// One standard as a device enumerates it.
struct EnumeratedStandard {
    std::string name;
    uint64 mask;
};

// One item to offer: its value, name and the mask to set on the device when it is chosen. A mask
// of 0 means the device has no standard for the item.
struct VideoFormatChoice {
    int32 item;
    std::string name;
    uint64 mask;
};

// The items to offer for the standards a device enumerates. The viewer writes an item's position
// as its value, so item i sits at position i, from Auto up to the highest item the device has;
// items between that it lacks are listed with mask 0. Auto gets every enumerated standard; another
// item gets those standards that belong to it, narrowed to its own family (NTSC-M keeps M and
// M-KR, PAL keeps B/G/D/K/H/I, PAL-M keeps M, PAL-N keeps N and Nc) unless that leaves nothing.
// A device without standards gets Auto alone, with mask 0.
std::vector<VideoFormatChoice> VideoFormatChoices(
    const std::vector<EnumeratedStandard>& standards);

}
