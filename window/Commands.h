#pragma once
// The main window's command codes, posted by menus, keys, the control panel and other windows.

// MSG_STATION_CHANGED comes from the channel suite and MSG_NODE_ERROR from the node manager,
// which post them.
#include "channels/ChannelSuite.h"
#include "kits/kernel/SupportDefs.h"
#include "video/NodeErrors.h"

// Each is the `what` of a message to the main window; the preferences and channel suite windows
// reuse the same numbers for their own controls, and those never reach the main window.
enum : uint32 {
    MSG_CHANNEL_UP = 0x10000,
    MSG_CHANNEL_DOWN = 0x10001,
    MSG_VOLUME_UP = 0x10002,
    MSG_VOLUME_DOWN = 0x10003,
    MSG_BRIGHTNESS_UP = 0x10004,
    MSG_BRIGHTNESS_DOWN = 0x10005,
    MSG_CONTRAST_UP = 0x10006,
    MSG_CONTRAST_DOWN = 0x10007,
    MSG_SATURATION_UP = 0x10008,
    MSG_SATURATION_DOWN = 0x10009,
    MSG_SHOW_CHANNEL_SUITE = 0x1000a,
    MSG_SHOW_MANUAL = 0x1000b,
    MSG_SHOW_QUICK_START = 0x1000c,
    MSG_SHOW_PREFERENCES = 0x1000d,
    MSG_OPTIMAL_SIZE = 0x1000e,
    MSG_FORMAT_4_3 = 0x1000f,
    MSG_FORMAT_16_9 = 0x10010,
    MSG_TOGGLE_FULLSCREEN = 0x10011,
    // "DI": int32 de-interlace mode, 0 none, 1 single field, 2 dual field interpolation,
    // 3 motion adaptive.
    MSG_SET_DEINTERLACE = 0x10012,
    // "SF": bool, the subtitle contrast filter on or off.
    MSG_SET_SUBTITLE_FILTER = 0x10013,
    // "LM": bool, the 16-bit colour-depth limit on or off.
    MSG_SET_16BIT_LIMIT = 0x10014,
};
