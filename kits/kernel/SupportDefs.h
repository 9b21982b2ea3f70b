#pragma once
// Fixed-size integer types, status and time types shared by every kit.

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

#include "kits/kernel/Errors.h"

using int8 = int8_t;
using uint8 = uint8_t;
using int16 = int16_t;
using uint16 = uint16_t;
using int32 = int32_t;
using uint32 = uint32_t;
using int64 = int64_t;
using uint64 = uint64_t;

using status_t = int32;
// Microseconds.
using bigtime_t = int64;
using type_code = uint32;

// A four-character code: 'LONG' is the number whose most significant byte is 'L'.
constexpr uint32 FourCC(const char (&code)[5])
{
    return (uint32(uint8(code[0])) << 24) | (uint32(uint8(code[1])) << 16)
        | (uint32(uint8(code[2])) << 8) | uint32(uint8(code[3]));
}
