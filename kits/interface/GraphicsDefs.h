#pragma once
// Colour spaces and the colour record, with the old platform's codes.

#include "kits/kernel/SupportDefs.h"

enum color_space : uint32 {
    B_NO_COLOR_SPACE = 0x0000,
    B_GRAY1 = 0x0001,
    B_GRAY8 = 0x0002,
    B_RGB24 = 0x0003,
    B_CMAP8 = 0x0004,
    B_RGB16 = 0x0005,
    B_RGB32 = 0x0008,
    B_RGB15 = 0x0010,
    B_RGB24_BIG = 0x1003,
    B_RGB16_BIG = 0x1005,
    B_RGB32_BIG = 0x1008,
    B_RGB15_BIG = 0x1010,
    B_RGBA32 = 0x2008,
    B_RGBA15 = 0x2010,
};

struct rgb_color {
    uint8 red;
    uint8 green;
    uint8 blue;
    uint8 alpha;
};

// An 8 by 8 pixel pattern for filling: a set bit takes the high colour, a clear bit the low
// colour. Row y is data[y % 8]; its most significant bit is column 0.
struct pattern {
    uint8 data[8];
};

inline constexpr pattern B_SOLID_HIGH = {{0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}};
inline constexpr pattern B_SOLID_LOW = {{0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}};
inline constexpr pattern B_MIXED_COLORS = {{0xaa, 0x55, 0xaa, 0x55, 0xaa, 0x55, 0xaa, 0x55}};
