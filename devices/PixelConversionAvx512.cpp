// The AVX-512 path of ConvertFrame for packed YUYV and UYVY frames into 32- and 16-bit targets:
// thirty-two pixels at a time, the arithmetic of the reference in 16-bit lanes. 32-bit rotates
// give a pair's second pixel its chroma terms and two-source byte permutes (VBMI) put each
// pixel's channels in place, where AVX2 needs nine shuffles for half as many pixels; this halves
// the time of the most common capture format. Everything else goes to the AVX2 path. The only
// file built for AVX-512; called only after the CPU has been asked.

#include "devices/PixelConversionPrivate.h"

#include <immintrin.h>

#include <array>

namespace devices {

namespace {

constexpr int32 STEP = 32;

struct PermuteIndex {
    alignas(64) std::array<uint8, 64> bytes;
};

// The permute that builds output register HALF (pixels HALF * 16 to HALF * 16 + 15) from the two
// packed registers. In each 128-bit lane L of the first, bytes 0-7 hold the sums of its pixels
// L * 8 + j that were added to their pair's first chroma term (blue of even pixels, red of odd
// ones) and bytes 8-15 those added to the second; the second register holds green in bytes 0-7
// and 255 in bytes 8-15 of each lane.
constexpr PermuteIndex OutputIndex(int half)
{
    PermuteIndex index{};
    for (int q = 0; q < 64; q++) {
        const int pixel = half * 16 + q / 4;
        const int lane = pixel / 8;
        const int j = pixel % 8;
        const bool even = pixel % 2 == 0;
        const int first = lane * 16 + j;
        const int second = first + 8;
        switch (q % 4) {
        case 0:
            index.bytes[size_t(q)] = uint8(even ? first : second);
            break;
        case 1:
            index.bytes[size_t(q)] = uint8(64 + first);
            break;
        case 2:
            index.bytes[size_t(q)] = uint8(even ? second : first);
            break;
        default:
            index.bytes[size_t(q)] = uint8(64 + second);
            break;
        }
    }
    return index;
}

constexpr PermuteIndex FIRST_HALF = OutputIndex(0);
constexpr PermuteIndex SECOND_HALF = OutputIndex(1);

// The two 16-bit halves of each 32-bit lane swapped. (The plain rotate intrinsic leaves GCC 12
// warning of an uninitialised register it never reads.)
[[gnu::always_inline]] inline __m512i SwapHalves(__m512i value)
{
    return _mm512_maskz_rol_epi32(__mmask16(0xFFFF), value, 16);
}

[[gnu::always_inline]] inline __m512i PairConstant(int32 low, int32 high)
{
    return _mm512_set1_epi32(int32(uint32(uint16(low)) | uint32(uint16(high)) << 16));
}

// Thirty-two pixels' sums, signed with 6 fraction bits and not yet clamped. A pair's even pixel
// sits under the low 16 bits of its 32-bit lane, the odd one under the high 16 bits; sameHalf
// holds the blue sums of even pixels and the red sums of odd ones, otherHalf the other two.
struct Sums {
    __m512i sameHalf;
    __m512i otherHalf;
    __m512i green;
};

// YUYV (LUMA_FIRST) or UYVY: 64 bytes hold thirty-two pixels.
template <bool LUMA_FIRST>
[[gnu::always_inline]] inline Sums SumsOf(const uint8* at)
{
    const __m512i words = _mm512_loadu_si512(at);
    const __m512i shifted = _mm512_slli_epi16(words, 8);
    const __m512i masked = _mm512_and_si512(words, _mm512_set1_epi16(short(0xFF00)));
    const __m512i luma = LUMA_FIRST ? shifted : masked;
    const __m512i chroma = LUMA_FIRST ? masked : shifted;
    const __m512i t = _mm512_mulhi_epu16(luma, _mm512_set1_epi16(short(LUMA_SCALE)));
    // Per pair: blue's term in the low, red's in the high 16 bits of its 32-bit lane.
    const __m512i blueRed
        = _mm512_sub_epi16(_mm512_mulhi_epu16(chroma, PairConstant(BLUE_FROM_U, RED_FROM_V)),
            PairConstant(BLUE_OFFSET, RED_OFFSET));
    // Both green products are below 2^15, so their 16-bit sum is exact; adding the swapped
    // products puts it in both halves of the pair's lane.
    const __m512i greenProducts
        = _mm512_mulhi_epu16(chroma, PairConstant(GREEN_FROM_U, GREEN_FROM_V));
    const __m512i green = _mm512_sub_epi16(_mm512_set1_epi16(short(GREEN_OFFSET)),
        _mm512_add_epi16(greenProducts, SwapHalves(greenProducts)));
    // Red's sums never overflow, so saturating adds serve both channels.
    return {_mm512_adds_epi16(t, blueRed), _mm512_adds_epi16(t, SwapHalves(blueRed)),
        _mm512_add_epi16(t, green)};
}

struct Rgb32Storer {
    static constexpr int32 BYTES = 4;
    [[gnu::always_inline]] static void Store(const Sums& sums, uint8* at)
    {
        const __m512i blueRed = _mm512_packus_epi16(
            _mm512_srai_epi16(sums.sameHalf, 6), _mm512_srai_epi16(sums.otherHalf, 6));
        const __m512i greenOpaque
            = _mm512_packus_epi16(_mm512_srai_epi16(sums.green, 6), _mm512_set1_epi16(255));
        _mm512_storeu_si512(at, _mm512_permutex2var_epi8(blueRed,
                                    _mm512_load_si512(FIRST_HALF.bytes.data()), greenOpaque));
        _mm512_storeu_si512(at + 64, _mm512_permutex2var_epi8(blueRed,
                                         _mm512_load_si512(SECOND_HALF.bytes.data()), greenOpaque));
    }
};

// A sum clamped to 0 .. 255 in whole levels, its fraction bits kept: 0 to 16383.
[[gnu::always_inline]] inline __m512i ClampSum(__m512i sum)
{
    return _mm512_min_epi16(
        _mm512_max_epi16(sum, _mm512_setzero_si512()), _mm512_set1_epi16(16383));
}

// 16-bit pixels straight from the clamped sums, as the AVX2 path makes them: RED_LEFT and
// GREEN_RIGHT move a sum's top bits to its field, RED_MASK and GREEN_MASK keep them; blue is
// the top five bits.
template <int RED_LEFT, int RED_MASK, int GREEN_RIGHT, int GREEN_MASK>
struct WordStorer {
    static constexpr int32 BYTES = 2;
    [[gnu::always_inline]] static void Store(const Sums& sums, uint8* at)
    {
        const __mmask32 odd = 0xAAAAAAAA;
        const __m512i blue = _mm512_mask_blend_epi16(odd, sums.sameHalf, sums.otherHalf);
        const __m512i red = _mm512_mask_blend_epi16(odd, sums.otherHalf, sums.sameHalf);
        const __m512i redField = _mm512_and_si512(
            _mm512_slli_epi16(ClampSum(red), RED_LEFT), _mm512_set1_epi16(short(RED_MASK)));
        const __m512i greenField
            = _mm512_and_si512(_mm512_srli_epi16(ClampSum(sums.green), GREEN_RIGHT),
                _mm512_set1_epi16(short(GREEN_MASK)));
        _mm512_storeu_si512(at, _mm512_or_si512(_mm512_or_si512(redField, greenField),
                                    _mm512_srli_epi16(ClampSum(blue), 9)));
    }
};

template <bool LUMA_FIRST, typename Storer>
void ConvertPacked(const SourcePlanes& from, const TargetFrame& to)
{
    const int32 covered = to.width / STEP * STEP;
    for (int32 y = 0; y < to.height; y++) {
        const uint8* source = from.plane0 + int64(y) * from.stride0;
        uint8* row = to.bits + int64(y) * to.bytesPerRow;
        for (int32 x = 0; x < covered; x += STEP) {
            Storer::Store(
                SumsOf<LUMA_FIRST>(source + int64(x) * 2), row + int64(x) * Storer::BYTES);
        }
    }
    if (covered < to.width)
        ConvertAvx2(PlanesFromColumn(from, covered), TargetFromColumn(to, covered));
}

template <bool LUMA_FIRST>
void ConvertPackedInto(const SourcePlanes& from, const TargetFrame& to)
{
    switch (to.space) {
    case B_RGB32:
        return ConvertPacked<LUMA_FIRST, Rgb32Storer>(from, to);
    case B_RGB16:
        return ConvertPacked<LUMA_FIRST, WordStorer<2, 0xF800, 3, 0x07E0>>(from, to);
    case B_RGB15:
        return ConvertPacked<LUMA_FIRST, WordStorer<1, 0x7C00, 4, 0x03E0>>(from, to);
    default:
        return ConvertAvx2(from, to);
    }
}

}

void ConvertAvx512(const SourcePlanes& from, const TargetFrame& to)
{
    if (from.width != to.width || from.height != to.height)
        return ConvertScaled(from, to, ConvertAvx512, PickColumnsAvx2);
    switch (from.fourcc) {
    case FOURCC_YUYV:
        return ConvertPackedInto<true>(from, to);
    case FOURCC_UYVY:
        return ConvertPackedInto<false>(from, to);
    default:
        return ConvertAvx2(from, to);
    }
}

}
