#pragma once
// Type codes of the values a message field can hold.

#include "kits/kernel/SupportDefs.h"

enum : type_code {
    B_ANY_TYPE = FourCC("ANYT"),
    B_BOOL_TYPE = FourCC("BOOL"),
    B_INT8_TYPE = FourCC("BYTE"),
    B_UINT8_TYPE = FourCC("UBYT"),
    B_INT16_TYPE = FourCC("SHRT"),
    B_UINT16_TYPE = FourCC("USHT"),
    B_INT32_TYPE = FourCC("LONG"),
    B_UINT32_TYPE = FourCC("ULNG"),
    B_INT64_TYPE = FourCC("LLNG"),
    B_UINT64_TYPE = FourCC("ULLG"),
    B_FLOAT_TYPE = FourCC("FLOT"),
    B_DOUBLE_TYPE = FourCC("DBLE"),
    B_POINT_TYPE = FourCC("BPNT"),
    B_RECT_TYPE = FourCC("RECT"),
    B_RGB_COLOR_TYPE = FourCC("RGBC"),
    B_POINTER_TYPE = FourCC("PNTR"),
    B_STRING_TYPE = FourCC("CSTR"),
    B_MESSAGE_TYPE = FourCC("MSGG"),
    B_RAW_TYPE = FourCC("RAWT"),
};
