#include "devices/VideoStandard.h"

namespace devices {

namespace {

constexpr uint64 PAL_BGDKHI = STANDARD_PAL_B | STANDARD_PAL_B1 | STANDARD_PAL_G | STANDARD_PAL_H
    | STANDARD_PAL_I | STANDARD_PAL_D | STANDARD_PAL_D1 | STANDARD_PAL_K;
constexpr uint64 PAL_N_NC = STANDARD_PAL_N | STANDARD_PAL_NC;
constexpr uint64 SECAM = STANDARD_SECAM_B | STANDARD_SECAM_D | STANDARD_SECAM_G
    | STANDARD_SECAM_H | STANDARD_SECAM_K | STANDARD_SECAM_K1 | STANDARD_SECAM_L
    | STANDARD_SECAM_LC;

// What an item keeps of the standards gathered for it.
uint64 FamilyOf(int32 item)
{
    switch (item) {
    case VIDEO_FORMAT_NTSC_M:
        return STANDARD_NTSC_M | STANDARD_NTSC_M_KR;
    case VIDEO_FORMAT_NTSC_M_JP:
        return STANDARD_NTSC_M_JP;
    case VIDEO_FORMAT_PAL:
        return PAL_BGDKHI;
    case VIDEO_FORMAT_PAL_M:
        return STANDARD_PAL_M;
    case VIDEO_FORMAT_PAL_N:
        return PAL_N_NC;
    case VIDEO_FORMAT_SECAM:
        return SECAM;
    default:
        return 0;
    }
}

}

std::string_view VideoFormatName(int32 item)
{
    static constexpr std::string_view NAMES[VIDEO_FORMAT_COUNT] = {
        "Auto", "NTSC-M", "NTSC-M-JP", "PAL-B/G/D/H/I", "PAL-M", "PAL-N", "SECAM"};
    if (item < 0 || item >= VIDEO_FORMAT_COUNT)
        return {};
    return NAMES[item];
}

int32 VideoFormatForStandard(uint64 standard)
{
    if (Is525Line(standard)) {
        if (standard & (STANDARD_NTSC_M | STANDARD_NTSC_M_KR))
            return VIDEO_FORMAT_NTSC_M;
        if (standard & STANDARD_NTSC_M_JP)
            return VIDEO_FORMAT_NTSC_M_JP;
        if (standard & (STANDARD_PAL_M | STANDARD_PAL_60))
            return VIDEO_FORMAT_PAL_M;
        return VIDEO_FORMAT_NTSC_M;
    }
    if (standard & PAL_BGDKHI)
        return VIDEO_FORMAT_PAL;
    if (standard & SECAM)
        return VIDEO_FORMAT_SECAM;
    if (standard & PAL_N_NC)
        return VIDEO_FORMAT_PAL_N;
    return VIDEO_FORMAT_AUTO;
}

bool Is525Line(uint64 standard)
{
    return (standard & STANDARD_525_60) != 0;
}

FrameRate FrameRateOf(uint64 standard)
{
    return Is525Line(standard) ? FrameRate{30000, 1001} : FrameRate{25, 1};
}

FrameSize FrameSizeOf(uint64 standard)
{
    return Is525Line(standard) ? FrameSize{720, 480} : FrameSize{720, 576};
}

std::vector<VideoFormatChoice> VideoFormatChoices(const std::vector<EnumeratedStandard>& standards)
{
    uint64 gathered[VIDEO_FORMAT_COUNT] = {};
    int32 highest = VIDEO_FORMAT_AUTO;
    for (const EnumeratedStandard& standard : standards) {
        const int32 item = VideoFormatForStandard(standard.mask);
        if (item == VIDEO_FORMAT_AUTO)
            continue;
        gathered[VIDEO_FORMAT_AUTO] |= standard.mask;
        gathered[item] |= standard.mask;
        if (item > highest)
            highest = item;
    }
    std::vector<VideoFormatChoice> choices;
    for (int32 item = VIDEO_FORMAT_AUTO; item <= highest; item++) {
        uint64 mask = gathered[item];
        if (item != VIDEO_FORMAT_AUTO && (mask & FamilyOf(item)) != 0)
            mask &= FamilyOf(item);
        choices.push_back({item, std::string(VideoFormatName(item)), mask});
    }
    return choices;
}

}
