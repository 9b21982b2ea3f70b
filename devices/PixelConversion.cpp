#include "devices/PixelConversion.h"

#include "devices/PixelConversionPrivate.h"
#include "kits/interface/FrameView.h"
#include "kits/kernel/Errors.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace devices {

namespace {

uint8 Clamp(int32 value)
{
    return uint8(std::clamp(value, 0, 255));
}

int32 LumaTerm(int32 y)
{
    return (y * LUMA_SCALE) >> 8;
}

struct Rgb {
    uint8 red;
    uint8 green;
    uint8 blue;
};

Rgb YuvToRgb(int32 y, int32 u, int32 v)
{
    const int32 t = LumaTerm(y);
    return {Clamp((t + ((v * RED_FROM_V) >> 8) - RED_OFFSET) >> 6),
        Clamp((t - ((u * GREEN_FROM_U) >> 8) - ((v * GREEN_FROM_V) >> 8) + GREEN_OFFSET) >> 6),
        Clamp((t + ((u * BLUE_FROM_U) >> 8) - BLUE_OFFSET) >> 6)};
}

struct Yuv {
    uint8 y;
    uint8 u;
    uint8 v;
};

bool IsCompressed(uint32 fourcc)
{
    return fourcc == FOURCC_MJPEG || fourcc == FOURCC_JPEG;
}

// Bytes a row of the first plane needs for its pixels; 0 for a format not known.
int64 RowBytes(uint32 fourcc, int64 width)
{
    switch (fourcc) {
    case FOURCC_YUYV:
    case FOURCC_UYVY:
        return (width + 1) / 2 * 4;
    case FOURCC_NV12:
    case FOURCC_YU12:
    case FOURCC_GREY:
        return width;
    case FOURCC_RGB24:
    case FOURCC_BGR24:
        return width * 3;
    case FOURCC_XRGB32:
    case FOURCC_ARGB32:
        return width * 4;
    case FOURCC_RGB565:
    case FOURCC_RGB555:
        return width * 2;
    default:
        return 0;
    }
}

template <typename Pixel>
void StorePixel(uint8* at, Pixel pixel)
{
    std::memcpy(at, &pixel, sizeof(pixel));
}

uint16 LoadWord(const uint8* at)
{
    return uint16(at[0] | at[1] << 8);
}

// Sources: each reads the sample at a pixel of the frame, as YUV or as RGB.

template <int Y0, int U, int Y1, int V>
struct PackedYuvSource {
    static constexpr bool IS_YUV = true;
    static Yuv At(const SourcePlanes& planes, int32 x, int32 y)
    {
        const uint8* pair = planes.plane0 + int64(y) * planes.stride0 + int64(x / 2) * 4;
        return {pair[x % 2 == 0 ? Y0 : Y1], pair[U], pair[V]};
    }
};

struct Nv12Source {
    static constexpr bool IS_YUV = true;
    static Yuv At(const SourcePlanes& planes, int32 x, int32 y)
    {
        const uint8* chroma = planes.plane1 + int64(y / 2) * planes.chromaStride + (x / 2) * 2;
        return {planes.plane0[int64(y) * planes.stride0 + x], chroma[0], chroma[1]};
    }
};

struct Yu12Source {
    static constexpr bool IS_YUV = true;
    static Yuv At(const SourcePlanes& planes, int32 x, int32 y)
    {
        const int64 chroma = int64(y / 2) * planes.chromaStride + x / 2;
        return {planes.plane0[int64(y) * planes.stride0 + x], planes.plane1[chroma],
            planes.plane2[chroma]};
    }
};

struct GreySource {
    static constexpr bool IS_YUV = true;
    static Yuv At(const SourcePlanes& planes, int32 x, int32 y)
    {
        return {planes.plane0[int64(y) * planes.stride0 + x], 128, 128};
    }
};

template <int BYTES, int R, int G, int B>
struct PackedRgbSource {
    static constexpr bool IS_YUV = false;
    static Rgb At(const SourcePlanes& planes, int32 x, int32 y)
    {
        const uint8* pixel = planes.plane0 + int64(y) * planes.stride0 + int64(x) * BYTES;
        return {pixel[R], pixel[G], pixel[B]};
    }
};

// 16-bit little-endian words with red at RED_SHIFT, green GREEN_BITS wide; each channel's top
// bits are repeated into its low bits, so full scale stays full scale.
template <int RED_SHIFT, int GREEN_BITS>
struct WordRgbSource {
    static constexpr bool IS_YUV = false;
    static Rgb At(const SourcePlanes& planes, int32 x, int32 y)
    {
        const uint16 word = LoadWord(planes.plane0 + int64(y) * planes.stride0 + int64(x) * 2);
        const int32 red = (word >> RED_SHIFT) & 0x1F;
        const int32 green = (word >> 5) & ((1 << GREEN_BITS) - 1);
        const int32 blue = word & 0x1F;
        return {uint8(red << 3 | red >> 2),
            uint8(green << (8 - GREEN_BITS) | green >> (2 * GREEN_BITS - 8)),
            uint8(blue << 3 | blue >> 2)};
    }
};

}

// Targets: each makes its pixel from RGB or from YUV.

struct Rgb32Target {
    using Pixel = uint32;
    static Pixel FromRgb(Rgb c)
    {
        return 0xFF000000u | uint32(c.red) << 16 | uint32(c.green) << 8 | c.blue;
    }
    static Pixel FromYuv(Yuv s) { return FromRgb(YuvToRgb(s.y, s.u, s.v)); }
};

struct Rgb16Target {
    using Pixel = uint16;
    static Pixel FromRgb(Rgb c)
    {
        return Pixel((c.red >> 3) << 11 | (c.green >> 2) << 5 | c.blue >> 3);
    }
    static Pixel FromYuv(Yuv s) { return FromRgb(YuvToRgb(s.y, s.u, s.v)); }
};

struct Rgb15Target {
    using Pixel = uint16;
    static Pixel FromRgb(Rgb c)
    {
        return Pixel((c.red >> 3) << 10 | (c.green >> 3) << 5 | c.blue >> 3);
    }
    static Pixel FromYuv(Yuv s) { return FromRgb(YuvToRgb(s.y, s.u, s.v)); }
};

struct Gray8Target {
    using Pixel = uint8;
    // Full-range luma with weights 77, 150 and 29 out of 256, which keep white at 255.
    static Pixel FromRgb(Rgb c)
    {
        return Pixel((77 * c.red + 150 * c.green + 29 * c.blue + 128) >> 8);
    }
    static Pixel FromYuv(Yuv s) { return Clamp((LumaTerm(s.y) - GREY_OFFSET) >> 6); }
};

namespace {

template <typename Target, typename Source>
void ConvertFrom(const SourcePlanes& from, const TargetFrame& to)
{
    using Pixel = typename Target::Pixel;
    // The source column of every target column, worked out once rather than divided per pixel.
    std::vector<int32> columns(size_t(to.width));
    for (int32 x = 0; x < to.width; x++)
        columns[size_t(x)] = int32(int64(x) * from.width / to.width);
    for (int32 y = 0; y < to.height; y++) {
        const int32 sourceY = int32(int64(y) * from.height / to.height);
        uint8* row = to.bits + int64(y) * to.bytesPerRow;
        for (int32 x = 0; x < to.width; x++) {
            const auto sample = Source::At(from, columns[size_t(x)], sourceY);
            Pixel pixel;
            if constexpr (Source::IS_YUV)
                pixel = Target::FromYuv(sample);
            else
                pixel = Target::FromRgb(sample);
            StorePixel(row + int64(x) * int64(sizeof(Pixel)), pixel);
        }
    }
}

}

template <typename Target>
void ConvertScalar(const SourcePlanes& from, const TargetFrame& to)
{
    switch (from.fourcc) {
    case FOURCC_YUYV:
        return ConvertFrom<Target, PackedYuvSource<0, 1, 2, 3>>(from, to);
    case FOURCC_UYVY:
        return ConvertFrom<Target, PackedYuvSource<1, 0, 3, 2>>(from, to);
    case FOURCC_NV12:
        return ConvertFrom<Target, Nv12Source>(from, to);
    case FOURCC_YU12:
        return ConvertFrom<Target, Yu12Source>(from, to);
    case FOURCC_GREY:
        return ConvertFrom<Target, GreySource>(from, to);
    case FOURCC_RGB24:
        return ConvertFrom<Target, PackedRgbSource<3, 0, 1, 2>>(from, to);
    case FOURCC_BGR24:
        return ConvertFrom<Target, PackedRgbSource<3, 2, 1, 0>>(from, to);
    case FOURCC_XRGB32:
    case FOURCC_ARGB32:
        return ConvertFrom<Target, PackedRgbSource<4, 2, 1, 0>>(from, to);
    case FOURCC_RGB565:
        return ConvertFrom<Target, WordRgbSource<11, 6>>(from, to);
    case FOURCC_RGB555:
        return ConvertFrom<Target, WordRgbSource<10, 5>>(from, to);
    default:
        return;
    }
}

template void ConvertScalar<Rgb32Target>(const SourcePlanes&, const TargetFrame&);
template void ConvertScalar<Rgb16Target>(const SourcePlanes&, const TargetFrame&);
template void ConvertScalar<Rgb15Target>(const SourcePlanes&, const TargetFrame&);
template void ConvertScalar<Gray8Target>(const SourcePlanes&, const TargetFrame&);

void ConvertReference(const SourcePlanes& from, const TargetFrame& to)
{
    switch (to.space) {
    case B_RGB32:
        return ConvertScalar<Rgb32Target>(from, to);
    case B_RGB16:
        return ConvertScalar<Rgb16Target>(from, to);
    case B_RGB15:
        return ConvertScalar<Rgb15Target>(from, to);
    case B_GRAY8:
        return ConvertScalar<Gray8Target>(from, to);
    default:
        return;
    }
}

status_t LocatePlanes(const CapturedFrame& frame, SourcePlanes& planes)
{
    const int64 rowBytes = RowBytes(frame.fourcc, frame.width);
    if (rowBytes == 0 || frame.width <= 0 || frame.height <= 0 || frame.bytesPerLine < 0
        || frame.data == nullptr) {
        return B_BAD_VALUE;
    }
    const int64 stride = frame.bytesPerLine == 0 ? rowBytes : frame.bytesPerLine;
    if (stride < rowBytes || stride > INT32_MAX)
        return B_BAD_VALUE;
    const int64 height = frame.height;
    // The last row needs its pixels only, not its padding.
    int64 needed = (height - 1) * stride + rowBytes;
    int64 chromaStride = 0;
    const int64 chromaRows = (height + 1) / 2;
    const int64 chromaBytes = (int64(frame.width) + 1) / 2;
    if (frame.fourcc == FOURCC_NV12) {
        chromaStride = stride;
        needed = height * stride + (chromaRows - 1) * chromaStride + chromaBytes * 2;
    } else if (frame.fourcc == FOURCC_YU12) {
        chromaStride = (stride + 1) / 2;
        needed = height * stride + chromaRows * chromaStride + (chromaRows - 1) * chromaStride
            + chromaBytes;
    }
    if (uint64(needed) > frame.length)
        return B_BAD_VALUE;
    planes = SourcePlanes{frame.fourcc, frame.width, frame.height, frame.data, int32(stride),
        nullptr, nullptr, int32(chromaStride)};
    if (chromaStride != 0) {
        planes.plane1 = frame.data + height * stride;
        if (frame.fourcc == FOURCC_YU12)
            planes.plane2 = planes.plane1 + chromaRows * chromaStride;
    }
    return B_OK;
}

status_t CheckTarget(const TargetFrame& target)
{
    const int32 bytesPerPixel = BytesPerPixel(target.space);
    if (bytesPerPixel == 0 || target.bits == nullptr || target.width <= 0 || target.height <= 0
        || int64(target.bytesPerRow) < int64(target.width) * bytesPerPixel) {
        return B_BAD_VALUE;
    }
    return B_OK;
}

SourcePlanes PlanesFromColumn(const SourcePlanes& planes, int32 x)
{
    SourcePlanes part = planes;
    part.width -= x;
    part.plane0 += RowBytes(planes.fourcc, x);
    if (planes.fourcc == FOURCC_NV12)
        part.plane1 += x;
    if (planes.fourcc == FOURCC_YU12) {
        part.plane1 += x / 2;
        part.plane2 += x / 2;
    }
    return part;
}

SourceRows RowsOf(const SourcePlanes& planes, int32 y)
{
    const int64 chroma = int64(y / 2) * planes.chromaStride;
    return {planes.plane0 + int64(y) * planes.stride0,
        planes.plane1 != nullptr ? planes.plane1 + chroma : nullptr,
        planes.plane2 != nullptr ? planes.plane2 + chroma : nullptr};
}

TargetFrame TargetFromColumn(const TargetFrame& target, int32 x)
{
    TargetFrame part = target;
    part.width -= x;
    part.bits += int64(x) * BytesPerPixel(target.space);
    return part;
}

namespace {

// Row y of the frame as a frame of one row.
SourcePlanes PlanesOfRow(const SourcePlanes& planes, int32 y)
{
    SourcePlanes row = planes;
    row.height = 1;
    row.plane0 += int64(y) * planes.stride0;
    const int64 chroma = int64(y / 2) * planes.chromaStride;
    if (row.plane1 != nullptr)
        row.plane1 += chroma;
    if (row.plane2 != nullptr)
        row.plane2 += chroma;
    return row;
}

template <typename Pixel>
void PickPixels(const uint8* converted, const int32* columns, int32 count, uint8* row)
{
    for (int32 x = 0; x < count; x++) {
        Pixel pixel;
        std::memcpy(&pixel, converted + size_t(columns[x]) * sizeof(Pixel), sizeof(Pixel));
        StorePixel(row + size_t(x) * sizeof(Pixel), pixel);
    }
}

ColumnPicks MakeColumnPicks(int32 sourceWidth, int32 targetWidth, int32 bytesPerPixel)
{
    ColumnPicks picks;
    picks.bytesPerPixel = bytesPerPixel;
    picks.columns.resize(size_t(targetWidth));
    for (int32 x = 0; x < targetWidth; x++)
        picks.columns[size_t(x)] = int32(int64(x) * sourceWidth / targetWidth);
    const int32 pixelsPerChunk = PICK_CHUNK / bytesPerPixel;
    const int32 chunks = targetWidth / pixelsPerChunk;
    picks.chunkStart.resize(size_t(chunks));
    picks.chunkShuffle.resize(size_t(chunks));
    for (int32 chunk = 0; chunk < chunks; chunk++) {
        const int32* columns = picks.columns.data() + chunk * pixelsPerChunk;
        const int32 start = columns[0] * bytesPerPixel;
        const int32 end = columns[pixelsPerChunk - 1] * bytesPerPixel + bytesPerPixel;
        picks.chunkStart[size_t(chunk)] = end - start <= PICK_CHUNK ? start : -1;
        uint8* shuffle = picks.chunkShuffle[size_t(chunk)].bytes.data();
        for (int32 pixel = 0; pixel < pixelsPerChunk; pixel++) {
            for (int32 byte = 0; byte < bytesPerPixel; byte++)
                *shuffle++ = uint8(columns[pixel] * bytesPerPixel + byte - start);
        }
    }
    return picks;
}

}

void PickColumns(const uint8* converted, const ColumnPicks& picks, int32 firstPixel, int32 count,
    uint8* row)
{
    const int32* columns = picks.columns.data() + firstPixel;
    row += int64(firstPixel) * picks.bytesPerPixel;
    if (picks.bytesPerPixel == 4)
        PickPixels<uint32>(converted, columns, count, row);
    else if (picks.bytesPerPixel == 2)
        PickPixels<uint16>(converted, columns, count, row);
    else
        PickPixels<uint8>(converted, columns, count, row);
}

void ConvertScaled(const SourcePlanes& from, const TargetFrame& to, ConvertFunction sameSize,
    PickFunction pick)
{
    const ColumnPicks picks = MakeColumnPicks(from.width, to.width, BytesPerPixel(to.space));
    // The spare bytes let a chunk's 16-byte read start at any pixel of the row.
    std::vector<uint8> converted(size_t(from.width) * size_t(picks.bytesPerPixel) + PICK_CHUNK);
    const TargetFrame convertedRow{converted.data(), from.width * picks.bytesPerPixel, from.width,
        1, to.space};
    int32 lastSourceY = -1;
    for (int32 y = 0; y < to.height; y++) {
        const int32 sourceY = int32(int64(y) * from.height / to.height);
        if (sourceY != lastSourceY) {
            sameSize(PlanesOfRow(from, sourceY), convertedRow);
            lastSourceY = sourceY;
        }
        pick(converted.data(), picks, to.bits + int64(y) * to.bytesPerRow);
    }
}

void PickColumnsReference(const uint8* converted, const ColumnPicks& picks, uint8* row)
{
    PickColumns(converted, picks, 0, int32(picks.columns.size()), row);
}

#if defined(__x86_64__)
namespace {

bool HasAvx512()
{
    // The AVX-512 path hands what it does not convert itself to the AVX2 one.
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("avx512bw")
        && __builtin_cpu_supports("avx512vbmi");
}

}
#endif

std::vector<ConvertImplementation> ConvertImplementations()
{
    std::vector<ConvertImplementation> implementations{{"Scalar", ConvertReference}};
#if defined(__x86_64__)
    implementations.push_back({"Sse2", ConvertSse2});
    if (__builtin_cpu_supports("avx2"))
        implementations.push_back({"Avx2", ConvertAvx2});
    if (HasAvx512())
        implementations.push_back({"Avx512", ConvertAvx512});
#endif
    return implementations;
}

ConvertFunction ChosenConversion()
{
    // Chosen once, on the first frame; the CPU does not change under a running process.
    static const ConvertFunction chosen = [] {
#if defined(__x86_64__)
        if (HasAvx512())
            return ConvertAvx512;
        return __builtin_cpu_supports("avx2") ? ConvertAvx2 : ConvertSse2;
#else
        return ConvertReference;
#endif
    }();
    return chosen;
}

namespace {

// Black in every target space, written over the pixels only.
void FillBlack(const TargetFrame& to)
{
    for (int32 y = 0; y < to.height; y++) {
        uint8* row = to.bits + int64(y) * to.bytesPerRow;
        if (to.space == B_RGB32) {
            for (int32 x = 0; x < to.width; x++)
                StorePixel(row + int64(x) * 4, Rgb32Target::FromRgb({0, 0, 0}));
        } else {
            std::memset(row, 0, size_t(to.width) * size_t(BytesPerPixel(to.space)));
        }
    }
}

struct DecoderDeleter {
    void operator()(void* handle) const { tjDestroy(handle); }
};

// One decoder and one frame buffer per thread, kept between frames so a stream of JPEG frames
// allocates nothing after its first.
struct JpegDecoder {
    std::unique_ptr<void, DecoderDeleter> handle{tjInitDecompress()};
    std::unique_ptr<uint8[]> buffer;
    size_t bufferSize = 0;

    uint8* Buffer(size_t size)
    {
        if (size > bufferSize) {
            buffer.reset(new (std::nothrow) uint8[size]);
            bufferSize = buffer != nullptr ? size : 0;
        }
        return buffer.get();
    }
};

status_t DecodeJpeg(const CapturedFrame& from, const TargetFrame& to)
{
    thread_local JpegDecoder decoder;
    if (decoder.handle == nullptr || from.data == nullptr || from.length == 0)
        return B_ERROR;
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colourSpace = 0;
    unsigned char* data = const_cast<unsigned char*>(from.data);
    if (tjDecompressHeader3(decoder.handle.get(), data, from.length, &width, &height,
            &subsampling, &colourSpace) != 0
        || width != from.width || height != from.height) {
        return B_ERROR;
    }
    if (to.space == B_RGB32 && to.width == width && to.height == height) {
        return tjDecompress2(decoder.handle.get(), data, from.length, to.bits, width,
                   to.bytesPerRow, height, TJPF_BGRA, 0) == 0 ? B_OK : B_ERROR;
    }
    const size_t bytes = size_t(width) * size_t(height) * 4;
    uint8* buffer = decoder.Buffer(bytes);
    if (buffer == nullptr)
        return B_NO_MEMORY;
    if (tjDecompress2(decoder.handle.get(), data, from.length, buffer, width, width * 4, height,
            TJPF_BGRA, 0) != 0) {
        return B_ERROR;
    }
    const SourcePlanes planes{
        FOURCC_ARGB32, width, height, buffer, width * 4, nullptr, nullptr, 0};
    ChosenConversion()(planes, to);
    return B_OK;
}

}

bool CanConvertFrom(uint32 fourcc)
{
    return IsCompressed(fourcc) || RowBytes(fourcc, 1) != 0;
}

status_t ConvertFrame(const CapturedFrame& from, const TargetFrame& to)
{
    if (status_t status = CheckTarget(to); status != B_OK)
        return status;
    if (IsCompressed(from.fourcc)) {
        if (from.width <= 0 || from.height <= 0)
            return B_BAD_VALUE;
        const status_t status = DecodeJpeg(from, to);
        if (status != B_OK)
            FillBlack(to);
        return status;
    }
    SourcePlanes planes;
    if (status_t status = LocatePlanes(from, planes); status != B_OK)
        return status;
    ChosenConversion()(planes, to);
    return B_OK;
}

}
