// The SSE2 path of ConvertFrame: eight pixels at a time, the arithmetic of the reference in
// 16-bit lanes.

#include "devices/PixelConversionPrivate.h"
#include "devices/PixelConversionRows.h"

#include <emmintrin.h>

#include <cstring>

namespace devices {

namespace {

constexpr int32 STEP = 8;

// Luma of eight pixels shifted up by 8, and the chroma of their four pairs: each 32-bit lane
// holds U << 8 in its low and V << 8 in its high half.
struct Samples {
    __m128i luma;
    __m128i chroma;
};

[[gnu::always_inline]] inline __m128i LoadLow64(const uint8* at)
{
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(at));
}

[[gnu::always_inline]] inline __m128i Load32(const uint8* at)
{
    int32 word;
    std::memcpy(&word, at, sizeof(word));
    return _mm_cvtsi32_si128(word);
}

template <bool LUMA_FIRST>
struct PackedLoader {
    static constexpr bool SHARED_CHROMA = false;
    [[gnu::always_inline]] static Samples Load(const SourceRows& rows, int32 x)
    {
        const __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(
            rows.luma + int64(x) * 2));
        const __m128i high = _mm_set1_epi16(short(0xFF00));
        const __m128i shifted = _mm_slli_epi16(words, 8);
        const __m128i masked = _mm_and_si128(words, high);
        if constexpr (LUMA_FIRST)
            return {shifted, masked};
        else
            return {masked, shifted};
    }
};

// The 4:2:0 loaders read luma and chroma apart, so two rows of luma share one row of chroma.
struct Nv12Loader {
    static constexpr bool SHARED_CHROMA = true;
    [[gnu::always_inline]] static __m128i Luma(const uint8* luma, int32 x)
    {
        return _mm_unpacklo_epi8(_mm_setzero_si128(), LoadLow64(luma + x));
    }
    [[gnu::always_inline]] static __m128i Chroma(const SourceRows& rows, int32 x)
    {
        return _mm_unpacklo_epi8(_mm_setzero_si128(), LoadLow64(rows.u + x));
    }
};

struct Yu12Loader {
    static constexpr bool SHARED_CHROMA = true;
    [[gnu::always_inline]] static __m128i Luma(const uint8* luma, int32 x)
    {
        return Nv12Loader::Luma(luma, x);
    }
    [[gnu::always_inline]] static __m128i Chroma(const SourceRows& rows, int32 x)
    {
        const __m128i chroma = _mm_unpacklo_epi8(Load32(rows.u + x / 2),
            Load32(rows.v + x / 2));
        return _mm_unpacklo_epi8(_mm_setzero_si128(), chroma);
    }
};

struct Channels {
    __m128i red;
    __m128i green;
    __m128i blue;
};

[[gnu::always_inline]] inline __m128i LumaTerm(__m128i luma)
{
    return _mm_mulhi_epu16(luma, _mm_set1_epi16(short(LUMA_SCALE)));
}

// What the chroma adds to each pixel's luma term, per channel.
struct ChromaTerms {
    __m128i red;
    __m128i green;
    __m128i blue;
};

[[gnu::always_inline]] inline ChromaTerms TermsOf(__m128i chroma)
{
    const __m128i lowHalves = _mm_set1_epi32(0x0000FFFF);
    // Each pair's U and V copied to both of its pixels.
    const __m128i u = _mm_or_si128(_mm_and_si128(chroma, lowHalves),
        _mm_slli_epi32(chroma, 16));
    const __m128i v = _mm_or_si128(_mm_andnot_si128(lowHalves, chroma),
        _mm_srli_epi32(chroma, 16));
    const __m128i red = _mm_sub_epi16(_mm_mulhi_epu16(v, _mm_set1_epi16(short(RED_FROM_V))),
        _mm_set1_epi16(short(RED_OFFSET)));
    const __m128i green = _mm_sub_epi16(
        _mm_sub_epi16(_mm_set1_epi16(short(GREEN_OFFSET)),
            _mm_mulhi_epu16(u, _mm_set1_epi16(short(GREEN_FROM_U)))),
        _mm_mulhi_epu16(v, _mm_set1_epi16(short(GREEN_FROM_V))));
    const __m128i blue = _mm_sub_epi16(_mm_mulhi_epu16(u, _mm_set1_epi16(short(BLUE_FROM_U))),
        _mm_set1_epi16(short(BLUE_OFFSET)));
    return {red, green, blue};
}

// Red, green and blue of eight pixels as signed 16-bit sums with 6 fraction bits, not yet
// clamped.
[[gnu::always_inline]] inline Channels Sums(__m128i t, const ChromaTerms& terms)
{
    return {_mm_add_epi16(t, terms.red), _mm_add_epi16(t, terms.green),
        _mm_adds_epi16(t, terms.blue)};
}

// A sum clamped to 0 .. 255 in whole levels, its fraction bits kept: 0 to 16383.
[[gnu::always_inline]] inline __m128i ClampSum(__m128i sum)
{
    return _mm_min_epi16(_mm_max_epi16(sum, _mm_setzero_si128()), _mm_set1_epi16(16383));
}

struct Rgb32Storer {
    static constexpr int32 BYTES = 4;
    [[gnu::always_inline]] static void Store(__m128i t, const ChromaTerms& terms, uint8* at)
    {
        const Channels sums = Sums(t, terms);
        const __m128i blueRed = _mm_packus_epi16(_mm_srai_epi16(sums.blue, 6),
            _mm_srai_epi16(sums.red, 6));
        const __m128i greenOpaque = _mm_packus_epi16(_mm_srai_epi16(sums.green, 6),
            _mm_set1_epi16(255));
        const __m128i blueGreen = _mm_unpacklo_epi8(blueRed, greenOpaque);
        const __m128i redOpaque = _mm_unpackhi_epi8(blueRed, greenOpaque);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at), _mm_unpacklo_epi16(blueGreen, redOpaque));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at + 16),
            _mm_unpackhi_epi16(blueGreen, redOpaque));
    }
};

// 16-bit pixels straight from the clamped sums: a level's top bits are the sum's bits 9 and up,
// so each field is one shift and one mask away. RED_LEFT and GREEN_RIGHT move the sum's bits to
// the field, whose bits RED_MASK and GREEN_MASK keep; blue is the top five bits.
template <int RED_LEFT, int RED_MASK, int GREEN_RIGHT, int GREEN_MASK>
struct WordStorer {
    static constexpr int32 BYTES = 2;
    [[gnu::always_inline]] static void Store(__m128i t, const ChromaTerms& terms, uint8* at)
    {
        const Channels sums = Sums(t, terms);
        const __m128i red = _mm_and_si128(_mm_slli_epi16(ClampSum(sums.red), RED_LEFT),
            _mm_set1_epi16(short(RED_MASK)));
        const __m128i green = _mm_and_si128(_mm_srli_epi16(ClampSum(sums.green), GREEN_RIGHT),
            _mm_set1_epi16(short(GREEN_MASK)));
        const __m128i blue = _mm_srli_epi16(ClampSum(sums.blue), 9);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at),
            _mm_or_si128(_mm_or_si128(red, green), blue));
    }
};

struct Gray8Storer {
    static constexpr int32 BYTES = 1;
    [[gnu::always_inline]] static void Store(__m128i t, const ChromaTerms&, uint8* at)
    {
        const __m128i grey = _mm_srai_epi16(
            _mm_sub_epi16(t, _mm_set1_epi16(short(GREY_OFFSET))), 6);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(at), _mm_packus_epi16(grey, grey));
    }
};

struct Arithmetic {
    [[gnu::always_inline]] static __m128i Luma(__m128i luma) { return LumaTerm(luma); }
    [[gnu::always_inline]] static ChromaTerms Chroma(__m128i chroma) { return TermsOf(chroma); }
};

template <typename Loader, typename Storer>
void ConvertWith(const SourcePlanes& from, const TargetFrame& to)
{
    ConvertRows<STEP, Loader, Arithmetic, Storer>(from, to, ConvertReference);
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
    case B_GRAY8:
        return ConvertWith<Loader, Gray8Storer>(from, to);
    default:
        return;
    }
}


// 32-bit B, G, R, X pixels (XR24, AR24, and decoded JPEG frames), 4 to a register.
[[gnu::always_inline]] inline __m128i LoadPixels(const uint8* at)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

struct OpaqueCopier {
    static constexpr int32 BYTES = 4;
    [[gnu::always_inline]] static void Store(const uint8* from, uint8* at)
    {
        const __m128i opaque = _mm_set1_epi32(int32(0xFF000000u));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at), _mm_or_si128(LoadPixels(from), opaque));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at) + 1,
            _mm_or_si128(LoadPixels(from + sizeof(__m128i)), opaque));
    }
};

// Each channel's top bits moved into its field of a 16-bit pixel, in the low half of each 32-bit
// lane: red shifted down by RED_RIGHT, green by GREEN_RIGHT, blue by 3, each then masked.
template <int RED_RIGHT, int RED_MASK, int GREEN_RIGHT, int GREEN_MASK>
struct PixelWordPacker {
    static constexpr int32 BYTES = 2;
    [[gnu::always_inline]] static __m128i Word(__m128i pixels)
    {
        const __m128i red = _mm_and_si128(_mm_srli_epi32(pixels, RED_RIGHT),
            _mm_set1_epi32(RED_MASK));
        const __m128i green = _mm_and_si128(_mm_srli_epi32(pixels, GREEN_RIGHT),
            _mm_set1_epi32(GREEN_MASK));
        const __m128i blue = _mm_and_si128(_mm_srli_epi32(pixels, 3), _mm_set1_epi32(0x1F));
        return _mm_or_si128(_mm_or_si128(red, green), blue);
    }
    [[gnu::always_inline]] static __m128i Pack(__m128i first, __m128i second)
    {
        // SSE2 has no unsigned 32-to-16 pack: shift the word to the top and pack with sign.
        return _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(first, 16), 16),
            _mm_srai_epi32(_mm_slli_epi32(second, 16), 16));
    }
    [[gnu::always_inline]] static void Store(const uint8* from, uint8* at)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at),
            Pack(Word(LoadPixels(from)), Word(LoadPixels(from + sizeof(__m128i)))));
    }
};

// Pixels of the source row go two registers at a time.
template <typename Packer>
void ConvertPixelsWith(const SourcePlanes& from, const TargetFrame& to)
{
    constexpr int32 PIXELS = 2 * 4;
    const int32 covered = to.width / PIXELS * PIXELS;
    for (int32 y = 0; y < to.height; y++) {
        const uint8* source = from.plane0 + int64(y) * from.stride0;
        uint8* row = to.bits + int64(y) * to.bytesPerRow;
        for (int32 x = 0; x < covered; x += PIXELS)
            Packer::Store(source + int64(x) * 4, row + int64(x) * Packer::BYTES);
    }
    if (covered < to.width)
        ConvertReference(PlanesFromColumn(from, covered), TargetFromColumn(to, covered));
}

void ConvertPixels(const SourcePlanes& from, const TargetFrame& to)
{
    switch (to.space) {
    case B_RGB32:
        return ConvertPixelsWith<OpaqueCopier>(from, to);
    case B_RGB16:
        return ConvertPixelsWith<PixelWordPacker<8, 0xF800, 5, 0x07E0>>(from, to);
    case B_RGB15:
        return ConvertPixelsWith<PixelWordPacker<9, 0x7C00, 6, 0x03E0>>(from, to);
    default:
        return ConvertReference(from, to);
    }
}
}

void ConvertSse2(const SourcePlanes& from, const TargetFrame& to)
{
    if (from.width != to.width || from.height != to.height)
        return ConvertScaled(from, to, ConvertSse2);
    switch (from.fourcc) {
    case FOURCC_YUYV:
        return ConvertInto<PackedLoader<true>>(from, to);
    case FOURCC_UYVY:
        return ConvertInto<PackedLoader<false>>(from, to);
    case FOURCC_NV12:
        return ConvertInto<Nv12Loader>(from, to);
    case FOURCC_YU12:
        return ConvertInto<Yu12Loader>(from, to);
    case FOURCC_XRGB32:
    case FOURCC_ARGB32:
        return ConvertPixels(from, to);
    default:
        return ConvertReference(from, to);
    }
}

}
