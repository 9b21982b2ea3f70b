#pragma once
// The message the node manager posts to the view's window when the media graph fails.

#include "kits/kernel/SupportDefs.h"

enum : uint32 {
    // "Number": int32, the node error below.
    MSG_NODE_ERROR = 0x20000,
};

// Node error numbers, one for each step of starting the graph that can fail.
enum : int32 {
    NODE_ERROR_CONNECT = 2410,
    NODE_ERROR_NO_ROSTER = 2500,
    NODE_ERROR_TIME_SOURCE = 2510,
    NODE_ERROR_VIDEO_INPUT = 2520,
    NODE_ERROR_CREATE_CONSUMER = 2530,
    NODE_ERROR_REGISTER_CONSUMER = 2531,
    NODE_ERROR_NO_FREE_OUTPUT = 2540,
    NODE_ERROR_NO_FREE_INPUT = 2541,
    NODE_ERROR_PARAMETER_WEB = 2550,
    NODE_ERROR_NO_PARAMETER_WEB = 2551,
    NODE_ERROR_INPUT_TIME_SOURCE = 2560,
    NODE_ERROR_CONSUMER_TIME_SOURCE = 2561,
    NODE_ERROR_START_INPUT = 2570,
    NODE_ERROR_START_CONSUMER = 2571,
};
