#pragma once
// PixelConversion: turns one captured frame into a picture in one of the consumer's colour spaces.

#include "kits/interface/GraphicsDefs.h"
#include "kits/kernel/SupportDefs.h"

#include <cstddef>

namespace devices {

// A four-character pixel format code as capture devices name them: the first character in the
// lowest byte.
constexpr uint32 MakeFourCC(char a, char b, char c, char d)
{
    return uint32(uint8(a)) | uint32(uint8(b)) << 8 | uint32(uint8(c)) << 16
        | uint32(uint8(d)) << 24;
}

// The source formats understood, by their device codes.
constexpr uint32 FOURCC_YUYV = MakeFourCC('Y', 'U', 'Y', 'V');
constexpr uint32 FOURCC_UYVY = MakeFourCC('U', 'Y', 'V', 'Y');
constexpr uint32 FOURCC_NV12 = MakeFourCC('N', 'V', '1', '2');
constexpr uint32 FOURCC_YU12 = MakeFourCC('Y', 'U', '1', '2');
constexpr uint32 FOURCC_RGB24 = MakeFourCC('R', 'G', 'B', '3');
constexpr uint32 FOURCC_BGR24 = MakeFourCC('B', 'G', 'R', '3');
constexpr uint32 FOURCC_XRGB32 = MakeFourCC('X', 'R', '2', '4');
constexpr uint32 FOURCC_ARGB32 = MakeFourCC('A', 'R', '2', '4');
constexpr uint32 FOURCC_RGB565 = MakeFourCC('R', 'G', 'B', 'P');
constexpr uint32 FOURCC_RGB555 = MakeFourCC('R', 'G', 'B', 'O');
constexpr uint32 FOURCC_GREY = MakeFourCC('G', 'R', 'E', 'Y');
constexpr uint32 FOURCC_MJPEG = MakeFourCC('M', 'J', 'P', 'G');
constexpr uint32 FOURCC_JPEG = MakeFourCC('J', 'P', 'E', 'G');

// One frame as the device delivered it; the bytes are only read, and only during the call.
// bytesPerLine is the distance between rows of the first plane (0: rows packed tightly); the
// chroma rows of YU12 are half as long, those of NV12 as long. Compressed frames ignore it.
struct CapturedFrame {
    const uint8* data;
    size_t length;
    uint32 fourcc;
    int32 width;
    int32 height;
    int32 bytesPerLine;
};

// The picture to fill: width by height pixels, rows bytesPerRow bytes apart. Only the pixels
// are written, never the padding at the end of a row.
struct TargetFrame {
    uint8* bits;
    int32 bytesPerRow;
    int32 width;
    int32 height;
    color_space space;
};

// Whether ConvertFrame knows frames of this device format.
bool CanConvertFrom(uint32 fourcc);

// Converts the frame into the target's colour space (B_RGB32, B_RGB16, B_RGB15 or B_GRAY8),
// scaling by the nearest pixel when the sizes differ. Luma and chroma are taken as limited range
// (16 to 235, 16 to 240), grey frames as luma. 32-bit pixels come out as B, G, R, 255.
// Returns B_OK; B_BAD_VALUE for an unknown format or colour space, a size that is not positive,
// rows too short for their pixels (packed 4:2:2 rows hold whole pixel pairs), or a frame shorter
// than its size needs, leaving the target untouched; B_ERROR for a JPEG that cannot be decoded
// whole (corrupt or truncated data) or whose size is not the frame's, and B_NO_MEMORY when its
// decoding buffer cannot be had, both leaving the target's pixels black. Safe to call from
// several threads at once.
[[nodiscard]] status_t ConvertFrame(const CapturedFrame& from, const TargetFrame& to);

}
