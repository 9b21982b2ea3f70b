// The AVX-512 path of ConvertFrame for YUYV, UYVY, NV12 and YU12 frames into 32- and 16-bit
// targets: thirty-two pixels at a time, the arithmetic of the reference in 16-bit lanes. 32-bit
// rotates give a pair's second pixel its chroma terms, and byte permutes (VBMI) spread the samples
// into lanes and put each pixel's channels in place, where AVX2 needs about ten shuffles for half
// as many pixels: the most common capture formats take half the time. Everything else goes to the
// AVX2 path. The only file built for AVX-512; called only after the CPU has been asked.

#include "devices/PixelConversionPrivate.h"
#include "devices/PixelConversionRows.h"

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

// A byte permute that puts source byte i into the high byte of 16-bit lane i: thirty-two luma
// samples shifted up by 8, or sixteen interleaved U, V pairs as pair lanes (below).
constexpr PermuteIndex SpreadIndex(bool planarChroma)
{
    PermuteIndex index{};
    for (int lane = 0; lane < 32; lane++) {
        // Planar chroma: 16 U bytes then 16 V bytes, taken as U, V of pair lane / 2.
        const int source = planarChroma ? (lane % 2 == 0 ? lane / 2 : 16 + lane / 2) : lane;
        index.bytes[size_t(lane * 2 + 1)] = uint8(source);
    }
    return index;
}

constexpr PermuteIndex SPREAD = SpreadIndex(false);
constexpr PermuteIndex SPREAD_PLANAR = SpreadIndex(true);

// The thirty-two bytes in the low half of BYTES spread by INDEX, the low bytes of the lanes zero.
[[gnu::always_inline]] inline __m512i Spread(__m512i bytes, const PermuteIndex& index)
{
    return _mm512_maskz_permutexvar_epi8(
        __mmask64(0xAAAAAAAAAAAAAAAAull), _mm512_load_si512(index.bytes.data()), bytes);
}

// Thirty-two bytes into the low half of a register, without reading further.
[[gnu::always_inline]] inline __m512i Load32(const uint8* at)
{
    return _mm512_maskz_loadu_epi8(__mmask64(0xFFFFFFFFull), at);
}

[[gnu::always_inline]] inline __m512i LumaTerm(__m512i luma)
{
    return _mm512_mulhi_epu16(luma, _mm512_set1_epi16(short(LUMA_SCALE)));
}

// What sixteen pairs' chroma adds to their pixels' luma terms. CHROMA holds each pair in a
// 32-bit lane, U << 8 in its low and V << 8 in its high half, under the pair's two pixels; the
// terms keep that layout: blue's in the low and red's in the high half of blueRed (and the
// other way round in swapped), green's in both halves.
struct ChromaTerms {
    __m512i blueRed;
    __m512i swapped;
    __m512i green;
};

[[gnu::always_inline]] inline ChromaTerms TermsOf(__m512i chroma)
{
    const __m512i blueRed
        = _mm512_sub_epi16(_mm512_mulhi_epu16(chroma, PairConstant(BLUE_FROM_U, RED_FROM_V)),
            PairConstant(BLUE_OFFSET, RED_OFFSET));
    // Both green products are below 2^15, so their 16-bit sum is exact; adding the swapped
    // products puts it in both halves of the pair's lane.
    const __m512i greenProducts
        = _mm512_mulhi_epu16(chroma, PairConstant(GREEN_FROM_U, GREEN_FROM_V));
    const __m512i green = _mm512_sub_epi16(_mm512_set1_epi16(short(GREEN_OFFSET)),
        _mm512_add_epi16(greenProducts, SwapHalves(greenProducts)));
    return {blueRed, SwapHalves(blueRed), green};
}

// Thirty-two pixels' sums, signed with 6 fraction bits and not yet clamped. A pair's even pixel
// sits under the low 16 bits of its 32-bit lane, the odd one under the high 16 bits; sameHalf
// holds the blue sums of even pixels and the red sums of odd ones, otherHalf the other two.
struct Sums {
    __m512i sameHalf;
    __m512i otherHalf;
    __m512i green;
};

[[gnu::always_inline]] inline Sums SumsOf(__m512i t, const ChromaTerms& terms)
{
    // Red's sums never overflow, so saturating adds serve both channels.
    return {_mm512_adds_epi16(t, terms.blueRed), _mm512_adds_epi16(t, terms.swapped),
        _mm512_add_epi16(t, terms.green)};
}

// Thirty-two pixels' luma shifted up by 8, and the chroma of their sixteen pairs as pair lanes.
struct Samples {
    __m512i luma;
    __m512i chroma;
};

// YUYV (LUMA_FIRST) or UYVY: 64 bytes hold thirty-two pixels.
template <bool LUMA_FIRST>
struct PackedLoader {
    static constexpr bool SHARED_CHROMA = false;
    [[gnu::always_inline]] static Samples Load(const SourceRows& rows, int32 x)
    {
        const __m512i words = _mm512_loadu_si512(rows.luma + int64(x) * 2);
        const __m512i shifted = _mm512_slli_epi16(words, 8);
        const __m512i masked = _mm512_and_si512(words, _mm512_set1_epi16(short(0xFF00)));
        if constexpr (LUMA_FIRST)
            return {shifted, masked};
        else
            return {masked, shifted};
    }
};

// The 4:2:0 loaders read luma and chroma apart, so two rows of luma share one row of chroma.
struct Nv12Loader {
    static constexpr bool SHARED_CHROMA = true;
    [[gnu::always_inline]] static __m512i Luma(const uint8* luma, int32 x)
    {
        return Spread(Load32(luma + x), SPREAD);
    }
    [[gnu::always_inline]] static __m512i Chroma(const SourceRows& rows, int32 x)
    {
        return Spread(Load32(rows.u + x), SPREAD);
    }
};

struct Yu12Loader {
    static constexpr bool SHARED_CHROMA = true;
    [[gnu::always_inline]] static __m512i Luma(const uint8* luma, int32 x)
    {
        return Nv12Loader::Luma(luma, x);
    }
    [[gnu::always_inline]] static __m512i Chroma(const SourceRows& rows, int32 x)
    {
        const __m512i planes = _mm512_inserti32x4(
            _mm512_maskz_loadu_epi8(__mmask64(0xFFFFull), rows.u + x / 2),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows.v + x / 2)), 1);
        return Spread(planes, SPREAD_PLANAR);
    }
};

struct Rgb32Storer {
    static constexpr int32 BYTES = 4;
    [[gnu::always_inline]] static void Store(__m512i t, const ChromaTerms& terms, uint8* at)
    {
        const Sums sums = SumsOf(t, terms);
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
    [[gnu::always_inline]] static void Store(__m512i t, const ChromaTerms& terms, uint8* at)
    {
        const Sums sums = SumsOf(t, terms);
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

struct Arithmetic {
    [[gnu::always_inline]] static __m512i Luma(__m512i luma) { return LumaTerm(luma); }
    [[gnu::always_inline]] static ChromaTerms Chroma(__m512i chroma) { return TermsOf(chroma); }
};

template <typename Loader, typename Storer>
void ConvertWith(const SourcePlanes& from, const TargetFrame& to)
{
    ConvertRows<STEP, Loader, Arithmetic, Storer>(from, to, ConvertAvx2);
}

template <typename Loader>
void ConvertInto(const SourcePlanes& from, const TargetFrame& to)
{
    switch (to.space) {
    case B_RGB32:
        return ConvertWith<Loader, Rgb32Storer>(from, to);
    case B_RGB16:
        return ConvertWith<Loader, WordStorer<2, 0xF800, 3, 0x07E0>>(from, to);
    case B_RGB15:
        return ConvertWith<Loader, WordStorer<1, 0x7C00, 4, 0x03E0>>(from, to);
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
        return ConvertInto<PackedLoader<true>>(from, to);
    case FOURCC_UYVY:
        return ConvertInto<PackedLoader<false>>(from, to);
    case FOURCC_NV12:
        return ConvertInto<Nv12Loader>(from, to);
    case FOURCC_YU12:
        return ConvertInto<Yu12Loader>(from, to);
    default:
        return ConvertAvx2(from, to);
    }
}

}
