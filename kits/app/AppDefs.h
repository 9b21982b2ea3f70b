#pragma once
// The system's message codes, with the old platform's four-character values.

#include "kits/kernel/SupportDefs.h"

enum : uint32 {
    B_ABOUT_REQUESTED = FourCC("_ABR"),
    B_ARCHIVED_OBJECT = FourCC("ARCV"),
    B_ARGV_RECEIVED = FourCC("_ARG"),
    B_CANCEL = FourCC("_CNC"),
    B_KEY_DOWN = FourCC("_KYD"),
    B_KEY_UP = FourCC("_KYU"),
    B_MESSAGE_NOT_UNDERSTOOD = FourCC("_MNU"),
    B_MINIMIZE = FourCC("_WMZ"),
    B_MOUSE_DOWN = FourCC("_MDN"),
    B_MOUSE_MOVED = FourCC("_MMV"),
    B_MOUSE_UP = FourCC("_MUP"),
    B_NO_REPLY = FourCC("_NRP"),
    B_PULSE = FourCC("_PUL"),
    B_QUIT_REQUESTED = FourCC("_QRQ"),
    B_READY_TO_RUN = FourCC("_RTR"),
    B_REFS_RECEIVED = FourCC("RREF"),
    B_REPLY = FourCC("_RPY"),
    B_SCREEN_CHANGED = FourCC("_SCH"),
    B_SIMPLE_DATA = FourCC("DATA"),
    B_VIEW_MOVED = FourCC("_VMV"),
    B_VIEW_RESIZED = FourCC("_VRS"),
    B_WINDOW_ACTIVATED = FourCC("_ACT"),
    B_WINDOW_MOVED = FourCC("_WMV"),
    B_WINDOW_RESIZED = FourCC("_WRS"),
    B_WORKSPACE_ACTIVATED = FourCC("_WAC"),
    B_WORKSPACES_CHANGED = FourCC("_WCG"),
    B_ZOOM = FourCC("_WZM"),
};
