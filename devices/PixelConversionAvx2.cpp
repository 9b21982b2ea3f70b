// The AVX2 path of ConvertFrame: sixteen pixels at a time, the arithmetic of the reference in
// 16-bit lanes. The only file built for AVX2; called only after the CPU has been asked.

#include "devices/PixelConversionPrivate.h"

#include <immintrin.h>

#include <array>
#include <cstring>

namespace devices {

namespace {

constexpr int32 STEP = 16;

// The pixel order of the sixteen 16-bit lanes. 32-bit targets interleave with in-lane unpacks,
// which want pixels 0-3 and 8-11 in the low half and 4-7 and 12-15 in the high half; the other
// targets keep pixels in order.
constexpr int PixelOfLane(bool paired, int lane)
{
    const int half = lane / 8;
    const int k = lane % 8;
    if (!paired)
        return lane;
    return (k < 4 ? k : k + 4) + half * 4;
}

struct ShuffleMask {
    alignas(32) std::array<uint8, 32> bytes;
};

// A byte shuffle that puts source byte index(pixel) into the high byte of each 16-bit lane and
// zero into its low byte.
template <typename Index>
constexpr ShuffleMask HighByteMask(bool paired, Index index)
{
    ShuffleMask mask{};
    for (int lane = 0; lane < 16; lane++) {
        mask.bytes[size_t(lane * 2)] = 0x80;
        mask.bytes[size_t(lane * 2 + 1)] = uint8(index(PixelOfLane(paired, lane), lane / 8));
    }
    return mask;
}

__m256i LoadMask(const ShuffleMask& mask)
{
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(mask.bytes.data()));
}

// Sixteen pixels as 16-bit lanes of luma, U and V, each sample shifted up by 8.
struct Samples {
    __m256i luma;
    __m256i u;
    __m256i v;
};

// YUYV (LUMA_FIRST) or UYVY: 32 bytes hold the sixteen pixels; the paired order swaps their
// middle 64-bit quarters, which keeps every pixel pair in one quarter.
template <bool LUMA_FIRST, bool PAIRED>
struct PackedLoader {
    static constexpr int U_BYTE = LUMA_FIRST ? 1 : 0;
    static constexpr int V_BYTE = LUMA_FIRST ? 3 : 2;
    // Within a 128-bit half the pixels sit in order, four bytes per pair.
    static constexpr ShuffleMask U_MASK = HighByteMask(
        false, [](int pixel, int) { return pixel % 8 / 2 * 4 + U_BYTE; });
    static constexpr ShuffleMask V_MASK = HighByteMask(
        false, [](int pixel, int) { return pixel % 8 / 2 * 4 + V_BYTE; });

    static Samples Load(const SourcePlanes& planes, int32 row, int32 x)
    {
        __m256i words = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(
            planes.plane0 + int64(row) * planes.stride0 + int64(x) * 2));
        if constexpr (PAIRED)
            words = _mm256_permute4x64_epi64(words, 0xD8);
        const __m256i luma = LUMA_FIRST
            ? _mm256_slli_epi16(words, 8)
            : _mm256_and_si256(words, _mm256_set1_epi16(short(0xFF00)));
        return {luma, _mm256_shuffle_epi8(words, LoadMask(U_MASK)),
            _mm256_shuffle_epi8(words, LoadMask(V_MASK))};
    }
};

__m256i LoadBroadcast128(const uint8* at)
{
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)));
}

__m256i LoadBroadcast64(const uint8* at)
{
    int64 quarter;
    std::memcpy(&quarter, at, sizeof(quarter));
    return _mm256_set1_epi64x(quarter);
}

template <bool PAIRED>
struct LumaMask {
    static constexpr ShuffleMask MASK = HighByteMask(PAIRED, [](int pixel, int) { return pixel; });
};

template <bool PAIRED>
struct Nv12Loader {
    static constexpr ShuffleMask U_MASK = HighByteMask(
        PAIRED, [](int pixel, int) { return pixel / 2 * 2; });
    static constexpr ShuffleMask V_MASK = HighByteMask(
        PAIRED, [](int pixel, int) { return pixel / 2 * 2 + 1; });

    static Samples Load(const SourcePlanes& planes, int32 row, int32 x)
    {
        const __m256i luma = LoadBroadcast128(planes.plane0 + int64(row) * planes.stride0 + x);
        const __m256i chroma = LoadBroadcast128(
            planes.plane1 + int64(row / 2) * planes.chromaStride + x);
        return {_mm256_shuffle_epi8(luma, LoadMask(LumaMask<PAIRED>::MASK)),
            _mm256_shuffle_epi8(chroma, LoadMask(U_MASK)),
            _mm256_shuffle_epi8(chroma, LoadMask(V_MASK))};
    }
};

template <bool PAIRED>
struct Yu12Loader {
    static constexpr ShuffleMask CHROMA_MASK = HighByteMask(
        PAIRED, [](int pixel, int) { return pixel / 2; });

    static Samples Load(const SourcePlanes& planes, int32 row, int32 x)
    {
        const __m256i luma = LoadBroadcast128(planes.plane0 + int64(row) * planes.stride0 + x);
        const int64 offset = int64(row / 2) * planes.chromaStride + x / 2;
        const __m256i mask = LoadMask(CHROMA_MASK);
        return {_mm256_shuffle_epi8(luma, LoadMask(LumaMask<PAIRED>::MASK)),
            _mm256_shuffle_epi8(LoadBroadcast64(planes.plane1 + offset), mask),
            _mm256_shuffle_epi8(LoadBroadcast64(planes.plane2 + offset), mask)};
    }
};

struct Channels {
    __m256i red;
    __m256i green;
    __m256i blue;
};

__m256i LumaTerm(const Samples& samples)
{
    return _mm256_mulhi_epu16(samples.luma, _mm256_set1_epi16(short(LUMA_SCALE)));
}

// Red, green and blue as signed 16-bit values, not yet clamped.
Channels ToRgb(const Samples& s)
{
    const __m256i t = LumaTerm(s);
    const __m256i red = _mm256_sub_epi16(
        _mm256_mulhi_epu16(s.v, _mm256_set1_epi16(short(RED_FROM_V))),
        _mm256_set1_epi16(short(RED_OFFSET)));
    const __m256i green = _mm256_sub_epi16(
        _mm256_sub_epi16(_mm256_set1_epi16(short(GREEN_OFFSET)),
            _mm256_mulhi_epu16(s.u, _mm256_set1_epi16(short(GREEN_FROM_U)))),
        _mm256_mulhi_epu16(s.v, _mm256_set1_epi16(short(GREEN_FROM_V))));
    const __m256i blue = _mm256_sub_epi16(
        _mm256_mulhi_epu16(s.u, _mm256_set1_epi16(short(BLUE_FROM_U))),
        _mm256_set1_epi16(short(BLUE_OFFSET)));
    return {_mm256_srai_epi16(_mm256_add_epi16(t, red), 6),
        _mm256_srai_epi16(_mm256_add_epi16(t, green), 6),
        _mm256_srai_epi16(_mm256_adds_epi16(t, blue), 6)};
}

__m256i Clamp(__m256i value)
{
    return _mm256_min_epi16(_mm256_max_epi16(value, _mm256_setzero_si256()),
        _mm256_set1_epi16(255));
}

struct Rgb32Storer {
    static constexpr int32 BYTES = 4;
    static constexpr bool PAIRED = true;
    static void Store(const Samples& samples, uint8* at)
    {
        const Channels c = ToRgb(samples);
        const __m256i blueGreen = _mm256_packus_epi16(c.blue, c.green);
        const __m256i pairs = _mm256_unpacklo_epi8(blueGreen, _mm256_srli_si256(blueGreen, 8));
        const __m256i redOpaque = _mm256_unpacklo_epi8(_mm256_packus_epi16(c.red, c.red),
            _mm256_set1_epi8(char(0xFF)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(at),
            _mm256_unpacklo_epi16(pairs, redOpaque));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(at + 32),
            _mm256_unpackhi_epi16(pairs, redOpaque));
    }
};

template <int RED_SHIFT, int GREEN_SHIFT, int GREEN_MASK>
struct WordStorer {
    static constexpr int32 BYTES = 2;
    static constexpr bool PAIRED = false;
    static void Store(const Samples& samples, uint8* at)
    {
        const Channels c = ToRgb(samples);
        const __m256i topFive = _mm256_set1_epi16(0xF8);
        const __m256i red = _mm256_slli_epi16(_mm256_and_si256(Clamp(c.red), topFive), RED_SHIFT);
        const __m256i green = _mm256_slli_epi16(
            _mm256_and_si256(Clamp(c.green), _mm256_set1_epi16(GREEN_MASK)), GREEN_SHIFT);
        const __m256i blue = _mm256_srli_epi16(Clamp(c.blue), 3);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(at),
            _mm256_or_si256(_mm256_or_si256(red, green), blue));
    }
};

struct Gray8Storer {
    static constexpr int32 BYTES = 1;
    static constexpr bool PAIRED = false;
    static void Store(const Samples& samples, uint8* at)
    {
        const __m256i grey = _mm256_srai_epi16(
            _mm256_sub_epi16(LumaTerm(samples), _mm256_set1_epi16(short(GREY_OFFSET))), 6);
        // Packing leaves pixels 0-7 in the first and 8-15 in the third quarter.
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(grey, grey), 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at), _mm256_castsi256_si128(packed));
    }
};

template <typename Loader, typename Storer>
void ConvertWith(const SourcePlanes& from, const TargetFrame& to)
{
    const int32 covered = to.width / STEP * STEP;
    for (int32 y = 0; y < to.height; y++) {
        uint8* row = to.bits + int64(y) * to.bytesPerRow;
        for (int32 x = 0; x < covered; x += STEP)
            Storer::Store(Loader::Load(from, y, x), row + int64(x) * Storer::BYTES);
    }
    if (covered < to.width)
        ConvertReference(PlanesFromColumn(from, covered), TargetFromColumn(to, covered));
}

template <template <bool> typename Loader>
void ConvertInto(const SourcePlanes& from, const TargetFrame& to)
{
    switch (to.space) {
    case B_RGB32:
        return ConvertWith<Loader<Rgb32Storer::PAIRED>, Rgb32Storer>(from, to);
    case B_RGB16:
        return ConvertWith<Loader<false>, WordStorer<8, 3, 0xFC>>(from, to);
    case B_RGB15:
        return ConvertWith<Loader<false>, WordStorer<7, 2, 0xF8>>(from, to);
    case B_GRAY8:
        return ConvertWith<Loader<false>, Gray8Storer>(from, to);
    default:
        return;
    }
}

template <bool PAIRED>
using YuyvLoader = PackedLoader<true, PAIRED>;
template <bool PAIRED>
using UyvyLoader = PackedLoader<false, PAIRED>;

}

void ConvertAvx2(const SourcePlanes& from, const TargetFrame& to)
{
    if (from.width != to.width || from.height != to.height)
        return ConvertReference(from, to);
    switch (from.fourcc) {
    case FOURCC_YUYV:
        return ConvertInto<YuyvLoader>(from, to);
    case FOURCC_UYVY:
        return ConvertInto<UyvyLoader>(from, to);
    case FOURCC_NV12:
        return ConvertInto<Nv12Loader>(from, to);
    case FOURCC_YU12:
        return ConvertInto<Yu12Loader>(from, to);
    default:
        return ConvertReference(from, to);
    }
}

}
