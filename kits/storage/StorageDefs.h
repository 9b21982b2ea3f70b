#pragma once
// Open modes and name limits of the storage kit, with the old platform's values.

#include "kits/kernel/SupportDefs.h"

// Bytes, including the terminating null.
constexpr int32 B_FILE_NAME_LENGTH = 256;
constexpr int32 B_PATH_NAME_LENGTH = 1024;

// The access mode is the low two bits; the flags are or-ed to it.
enum : uint32 {
    B_READ_ONLY = 0,
    B_WRITE_ONLY = 1,
    B_READ_WRITE = 2,
    B_ACCESS_MODE_MASK = 3,

    B_CREATE_FILE = 0x0200,
    B_ERASE_FILE = 0x0400,
    B_FAIL_IF_EXISTS = 0x0800,
    B_OPEN_AT_END = 0x1000,
};
