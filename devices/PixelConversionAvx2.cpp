// The AVX2 path of ConvertFrame: sixteen pixels at a time, the arithmetic of the reference in
// 16-bit lanes. The only file built for AVX2; called only after the CPU has been asked.

#include "devices/PixelConversionPrivate.h"
#include "devices/PixelConversionRows.h"

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
        mask.bytes[size_t(lane * 2 + 1)] = uint8(index(PixelOfLane(paired, lane)));
    }
    return mask;
}

// A byte shuffle that gathers the chroma of pixel pairs from interleaved U, V bytes: the 32-bit
// lane j of each half holds U << 8 and V << 8 of the pair under that half's pixels 2j and 2j + 1.
constexpr ShuffleMask ChromaMask(bool paired)
{
    ShuffleMask mask{};
    for (int half = 0; half < 2; half++) {
        for (int j = 0; j < 4; j++) {
            const int pair = PixelOfLane(paired, half * 8 + j * 2) / 2;
            const size_t at = size_t(half * 16 + j * 4);
            mask.bytes[at] = 0x80;
            mask.bytes[at + 1] = uint8(pair * 2);
            mask.bytes[at + 2] = 0x80;
            mask.bytes[at + 3] = uint8(pair * 2 + 1);
        }
    }
    return mask;
}

// A byte shuffle that copies 16-bit lane WORD (0 or 1) of each pair's 32-bit lane to both of the
// pair's pixels.
constexpr ShuffleMask DuplicateMask(int word)
{
    ShuffleMask mask{};
    for (int lane = 0; lane < 16; lane++) {
        const int pairByte = lane % 8 / 2 * 4 + word * 2;
        mask.bytes[size_t(lane * 2)] = uint8(pairByte);
        mask.bytes[size_t(lane * 2 + 1)] = uint8(pairByte + 1);
    }
    return mask;
}

constexpr ShuffleMask DUPLICATE_LOW = DuplicateMask(0);
constexpr ShuffleMask DUPLICATE_HIGH = DuplicateMask(1);

[[gnu::always_inline]] inline __m256i LoadMask(const ShuffleMask& mask)
{
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(mask.bytes.data()));
}

// Sixteen pixels: their luma shifted up by 8 in 16-bit lanes, and the chroma of their eight
// pairs, each 32-bit lane holding U << 8 in its low and V << 8 in its high half. A pair's lane
// sits in the same 128-bit half as its pixels, in the order of the pixels.
struct Samples {
    __m256i luma;
    __m256i chroma;
};

// YUYV (LUMA_FIRST) or UYVY: 32 bytes hold the sixteen pixels; the paired order swaps their
// middle 64-bit quarters, which keeps every pixel pair in one quarter.
template <bool LUMA_FIRST, bool PAIRED>
struct PackedLoader {
    static constexpr bool SHARED_CHROMA = false;
    [[gnu::always_inline]] static Samples Load(const SourceRows& rows, int32 x)
    {
        __m256i words = _mm256_loadu_si256(
            reinterpret_cast<const __m256i*>(rows.luma + int64(x) * 2));
        if constexpr (PAIRED)
            words = _mm256_permute4x64_epi64(words, 0xD8);
        const __m256i high = _mm256_set1_epi16(short(0xFF00));
        const __m256i shifted = _mm256_slli_epi16(words, 8);
        const __m256i masked = _mm256_and_si256(words, high);
        if constexpr (LUMA_FIRST)
            return {shifted, masked};
        else
            return {masked, shifted};
    }
};

[[gnu::always_inline]] inline __m256i LoadBroadcast128(const uint8* at)
{
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)));
}

[[gnu::always_inline]] inline __m128i LoadLow64(const uint8* at)
{
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(at));
}

template <bool PAIRED>
struct Masks {
    static constexpr ShuffleMask LUMA = HighByteMask(PAIRED, [](int pixel) { return pixel; });
    static constexpr ShuffleMask CHROMA = ChromaMask(PAIRED);
};

// The 4:2:0 loaders read luma and chroma apart, so two rows of luma share one row of chroma.
template <bool PAIRED>
struct Nv12Loader {
    static constexpr bool SHARED_CHROMA = true;
    [[gnu::always_inline]] static __m256i Luma(const uint8* luma, int32 x)
    {
        return _mm256_shuffle_epi8(LoadBroadcast128(luma + x), LoadMask(Masks<PAIRED>::LUMA));
    }
    [[gnu::always_inline]] static __m256i Chroma(const SourceRows& rows, int32 x)
    {
        return _mm256_shuffle_epi8(LoadBroadcast128(rows.u + x), LoadMask(Masks<PAIRED>::CHROMA));
    }
};

template <bool PAIRED>
struct Yu12Loader {
    static constexpr bool SHARED_CHROMA = true;
    [[gnu::always_inline]] static __m256i Luma(const uint8* luma, int32 x)
    {
        return Nv12Loader<PAIRED>::Luma(luma, x);
    }
    [[gnu::always_inline]] static __m256i Chroma(const SourceRows& rows, int32 x)
    {
        const __m128i chroma = _mm_unpacklo_epi8(LoadLow64(rows.u + x / 2),
            LoadLow64(rows.v + x / 2));
        return _mm256_shuffle_epi8(_mm256_broadcastsi128_si256(chroma),
            LoadMask(Masks<PAIRED>::CHROMA));
    }
};

struct Channels {
    __m256i red;
    __m256i green;
    __m256i blue;
};

[[gnu::always_inline]] inline __m256i LumaTerm(__m256i luma)
{
    return _mm256_mulhi_epu16(luma, _mm256_set1_epi16(short(LUMA_SCALE)));
}

[[gnu::always_inline]] inline __m256i PairConstant(int32 low, int32 high)
{
    return _mm256_set1_epi32(int32(uint32(uint16(low)) | uint32(uint16(high)) << 16));
}

// What the chroma adds to each pixel's luma term, per channel, copied from its pair to both
// pixels. The products are taken once per pair.
struct ChromaTerms {
    __m256i red;
    __m256i green;
    __m256i blue;
};

[[gnu::always_inline]] inline ChromaTerms TermsOf(__m256i chroma)
{
    const __m256i blueRed = _mm256_sub_epi16(
        _mm256_mulhi_epu16(chroma, PairConstant(BLUE_FROM_U, RED_FROM_V)),
        PairConstant(BLUE_OFFSET, RED_OFFSET));
    // Both green products are below 2^15, so the signed pair sum is exact.
    const __m256i greenSum = _mm256_madd_epi16(
        _mm256_mulhi_epu16(chroma, PairConstant(GREEN_FROM_U, GREEN_FROM_V)),
        _mm256_set1_epi16(1));
    const __m256i green = _mm256_sub_epi32(_mm256_set1_epi32(GREEN_OFFSET), greenSum);
    const __m256i duplicateLow = LoadMask(DUPLICATE_LOW);
    return {_mm256_shuffle_epi8(blueRed, LoadMask(DUPLICATE_HIGH)),
        _mm256_shuffle_epi8(green, duplicateLow), _mm256_shuffle_epi8(blueRed, duplicateLow)};
}

// Red, green and blue as signed 16-bit sums with 6 fraction bits, not yet clamped.
[[gnu::always_inline]] inline Channels Sums(__m256i t, const ChromaTerms& terms)
{
    return {_mm256_add_epi16(t, terms.red), _mm256_add_epi16(t, terms.green),
        _mm256_adds_epi16(t, terms.blue)};
}

// A sum clamped to 0 .. 255 in whole levels, its fraction bits kept: 0 to 16383.
[[gnu::always_inline]] inline __m256i ClampSum(__m256i sum)
{
    return _mm256_min_epi16(
        _mm256_max_epi16(sum, _mm256_setzero_si256()), _mm256_set1_epi16(16383));
}

struct Rgb32Storer {
    static constexpr int32 BYTES = 4;
    static constexpr bool PAIRED = true;
    [[gnu::always_inline]] static void Store(__m256i t, const ChromaTerms& terms, uint8* at)
    {
        const Channels sums = Sums(t, terms);
        const __m256i red = _mm256_srai_epi16(sums.red, 6);
        const __m256i green = _mm256_srai_epi16(sums.green, 6);
        const __m256i blue = _mm256_srai_epi16(sums.blue, 6);
        const __m256i blueRed = _mm256_packus_epi16(blue, red);
        const __m256i greenOpaque = _mm256_packus_epi16(green, _mm256_set1_epi16(255));
        const __m256i blueGreen = _mm256_unpacklo_epi8(blueRed, greenOpaque);
        const __m256i redOpaque = _mm256_unpackhi_epi8(blueRed, greenOpaque);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(at),
            _mm256_unpacklo_epi16(blueGreen, redOpaque));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(at + 32),
            _mm256_unpackhi_epi16(blueGreen, redOpaque));
    }
};

// 16-bit pixels straight from the clamped sums: a level's top bits are the sum's bits 9 and up,
// so each field is one shift and one mask away. RED_LEFT and GREEN_RIGHT move the sum's bits to
// the field, whose bits RED_MASK and GREEN_MASK keep; blue is the top five bits.
template <int RED_LEFT, int RED_MASK, int GREEN_RIGHT, int GREEN_MASK>
struct WordStorer {
    static constexpr int32 BYTES = 2;
    static constexpr bool PAIRED = false;
    [[gnu::always_inline]] static void Store(__m256i t, const ChromaTerms& terms, uint8* at)
    {
        const Channels sums = Sums(t, terms);
        const __m256i red = _mm256_and_si256(_mm256_slli_epi16(ClampSum(sums.red), RED_LEFT),
            _mm256_set1_epi16(short(RED_MASK)));
        const __m256i green
            = _mm256_and_si256(_mm256_srli_epi16(ClampSum(sums.green), GREEN_RIGHT),
                _mm256_set1_epi16(short(GREEN_MASK)));
        const __m256i blue = _mm256_srli_epi16(ClampSum(sums.blue), 9);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(at),
            _mm256_or_si256(_mm256_or_si256(red, green), blue));
    }
};

struct Gray8Storer {
    static constexpr int32 BYTES = 1;
    static constexpr bool PAIRED = false;
    [[gnu::always_inline]] static void Store(__m256i t, const ChromaTerms&, uint8* at)
    {
        const __m256i grey = _mm256_srai_epi16(
            _mm256_sub_epi16(t, _mm256_set1_epi16(short(GREY_OFFSET))), 6);
        // Packing leaves pixels 0-7 in the first and 8-15 in the third quarter.
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(grey, grey), 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at), _mm256_castsi256_si128(packed));
    }
};

struct Arithmetic {
    [[gnu::always_inline]] static __m256i Luma(__m256i luma) { return LumaTerm(luma); }
    [[gnu::always_inline]] static ChromaTerms Chroma(__m256i chroma) { return TermsOf(chroma); }
};

template <typename Loader, typename Storer>
void ConvertWith(const SourcePlanes& from, const TargetFrame& to)
{
    ConvertRows<STEP, Loader, Arithmetic, Storer>(from, to, ConvertReference);
}

template <template <bool> typename Loader>
void ConvertInto(const SourcePlanes& from, const TargetFrame& to)
{
    switch (to.space) {
    case B_RGB32:
        return ConvertWith<Loader<Rgb32Storer::PAIRED>, Rgb32Storer>(from, to);
    case B_RGB16:
        return ConvertWith<Loader<false>, WordStorer<2, 0xF800, 3, 0x07E0>>(from, to);
    case B_RGB15:
        return ConvertWith<Loader<false>, WordStorer<1, 0x7C00, 4, 0x03E0>>(from, to);
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


// 32-bit B, G, R, X pixels (XR24, AR24, and decoded JPEG frames), 8 to a register.
[[gnu::always_inline]] inline __m256i LoadPixels(const uint8* at)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
}

struct OpaqueCopier {
    static constexpr int32 BYTES = 4;
    [[gnu::always_inline]] static void Store(const uint8* from, uint8* at)
    {
        const __m256i opaque = _mm256_set1_epi32(int32(0xFF000000u));
        _mm256_storeu_si256(
            reinterpret_cast<__m256i*>(at), _mm256_or_si256(LoadPixels(from), opaque));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(at) + 1,
            _mm256_or_si256(LoadPixels(from + sizeof(__m256i)), opaque));
    }
};

// Each channel's top bits moved into its field of a 16-bit pixel, in the low half of each 32-bit
// lane: red shifted down by RED_RIGHT, green by GREEN_RIGHT, blue by 3, each then masked.
template <int RED_RIGHT, int RED_MASK, int GREEN_RIGHT, int GREEN_MASK>
struct PixelWordPacker {
    static constexpr int32 BYTES = 2;
    [[gnu::always_inline]] static __m256i Word(__m256i pixels)
    {
        const __m256i red = _mm256_and_si256(_mm256_srli_epi32(pixels, RED_RIGHT),
            _mm256_set1_epi32(RED_MASK));
        const __m256i green = _mm256_and_si256(_mm256_srli_epi32(pixels, GREEN_RIGHT),
            _mm256_set1_epi32(GREEN_MASK));
        const __m256i blue
            = _mm256_and_si256(_mm256_srli_epi32(pixels, 3), _mm256_set1_epi32(0x1F));
        return _mm256_or_si256(_mm256_or_si256(red, green), blue);
    }
    [[gnu::always_inline]] static __m256i Pack(__m256i first, __m256i second)
    {
        // Packing interleaves the halves: quarters 0, 2, 1, 3 hold pixels 0-3, 4-7, 8-11, 12-15.
        return _mm256_permute4x64_epi64(_mm256_packus_epi32(first, second), 0xD8);
    }
    [[gnu::always_inline]] static void Store(const uint8* from, uint8* at)
    {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(at),
            Pack(Word(LoadPixels(from)), Word(LoadPixels(from + sizeof(__m256i)))));
    }
};

// Pixels of the source row go two registers at a time.
template <typename Packer>
void ConvertPixelsWith(const SourcePlanes& from, const TargetFrame& to)
{
    constexpr int32 PIXELS = 2 * 8;
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

void PickColumnsAvx2(const uint8* converted, const ColumnPicks& picks, uint8* row)
{
    // Locals, so the stores into the row are not taken to change the tables under the loop.
    const int32 chunks = int32(picks.chunkStart.size());
    const int32 pixelsPerChunk = PICK_CHUNK / picks.bytesPerPixel;
    const int32* starts = picks.chunkStart.data();
    const ChunkShuffle* shuffles = picks.chunkShuffle.data();
    // Two chunks a register; a start of -1 has the sign bit set.
    int32 chunk = 0;
    for (; chunk + 1 < chunks; chunk += 2) {
        if ((starts[chunk] | starts[chunk + 1]) < 0) {
            PickColumns(converted, picks, chunk * pixelsPerChunk, 2 * pixelsPerChunk, row);
            continue;
        }
        const __m256i windows = _mm256_inserti128_si256(
            _mm256_castsi128_si256(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(converted + starts[chunk]))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(converted + starts[chunk + 1])), 1);
        const __m256i shuffle
            = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(shuffles[chunk].bytes.data()));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + int64(chunk) * PICK_CHUNK),
            _mm256_shuffle_epi8(windows, shuffle));
    }
    const int32 picked = chunk * pixelsPerChunk;
    PickColumns(converted, picks, picked, int32(picks.columns.size()) - picked, row);
}

void ConvertAvx2(const SourcePlanes& from, const TargetFrame& to)
{
    if (from.width != to.width || from.height != to.height)
        return ConvertScaled(from, to, ConvertAvx2, PickColumnsAvx2);
    switch (from.fourcc) {
    case FOURCC_YUYV:
        return ConvertInto<YuyvLoader>(from, to);
    case FOURCC_UYVY:
        return ConvertInto<UyvyLoader>(from, to);
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
