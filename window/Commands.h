#pragma once
// The main window's command codes, posted by menus, keys, the control panel and other windows.

// MSG_STATION_CHANGED comes from the channel suite, MSG_NODE_ERROR from the node manager and
// MSG_SET_DEINTERLACE, MSG_SET_SUBTITLE_FILTER and MSG_SET_16BIT_LIMIT from the preferences,
// which post them.
#include "channels/ChannelSuite.h"
#include "kits/kernel/SupportDefs.h"
#include "prefs/Preferences.h"
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
};
