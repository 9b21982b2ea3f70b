// DrawBitmap with AVX2. The only file of DrawBitmap built with -mavx2: it uses intrinsics, the
// always-inlined helpers of DrawBitmapPrivate.h and its own internal functions, and no library
// template (its scratch memory is on the stack), so nothing compiled for AVX2 here can become the
// copy the linker keeps for code that runs on every CPU.

#include "kits/interface/DrawBitmapPrivate.h"

#include <immintrin.h>

namespace kits::interface {

namespace {

constexpr int32 LANES = 8;
// Destination columns planned at a time; a wider clip is drawn in strips this wide.
constexpr int32 STRIP = 512;

// How one group of eight destination pixels finds its source pixels.
enum class GroupMode : int32 {
    // The eight source columns lie within eight pixels from the first: one load, one permute.
    PERMUTE,
    // Further apart (shrinking), but every 32-bit read stays inside the row: a gather.
    GATHER,
    // Too close to the end of the row's memory for a vector read: pixel by pixel.
    SCALAR,
};

struct Group {
    // Destination index of the group's first pixel, relative to clip.left.
    int32 start;
    GroupMode mode;
    // PERMUTE: the first source column; the permutation is columns minus first.
    int32 first;
    alignas(32) int32 indices[LANES];
};

template <typename Format>
struct Vector;

template <>
struct Vector<Gray8Source> {
    [[gnu::always_inline]] static __m256i Load(const uint8* address)
    {
        return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(address)));
    }
    [[gnu::always_inline]] static __m256i Gather(const uint8* row, __m256i columns)
    {
        const __m256i words = _mm256_i32gather_epi32(reinterpret_cast<const int*>(row), columns, 1);
        return _mm256_and_si256(words, _mm256_set1_epi32(0xFF));
    }
    [[gnu::always_inline]] static __m256i ToRgb32(__m256i gray)
    {
        const __m256i twice = _mm256_or_si256(gray, _mm256_slli_epi32(gray, 8));
        return _mm256_or_si256(_mm256_or_si256(twice, _mm256_slli_epi32(gray, 16)),
            _mm256_set1_epi32(int32(0xFF000000u)));
    }
    // Bytes a gather reads from the first byte of a pixel.
    static constexpr int32 GATHER_BYTES = 4;
};

template <>
struct Vector<Rgb15Source> {
    [[gnu::always_inline]] static __m256i Load(const uint8* address)
    {
        return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(address)));
    }
    [[gnu::always_inline]] static __m256i Gather(const uint8* row, __m256i columns)
    {
        const __m256i words = _mm256_i32gather_epi32(reinterpret_cast<const int*>(row), columns, 2);
        return _mm256_and_si256(words, _mm256_set1_epi32(0xFFFF));
    }
    [[gnu::always_inline]] static __m256i ToRgb32(__m256i p)
    {
        // Red bits 10-14 go to 19-23 and their top three to 16-18; green 5-9 to 11-15 and 8-10;
        // blue 0-4 to 3-7 and 0-2: the same widening as Rgb15Source::ToRgb32.
        const __m256i red = _mm256_or_si256(
            _mm256_slli_epi32(_mm256_and_si256(p, _mm256_set1_epi32(0x7C00)), 9),
            _mm256_slli_epi32(_mm256_and_si256(p, _mm256_set1_epi32(0x7000)), 4));
        const __m256i green = _mm256_or_si256(
            _mm256_slli_epi32(_mm256_and_si256(p, _mm256_set1_epi32(0x03E0)), 6),
            _mm256_slli_epi32(_mm256_and_si256(p, _mm256_set1_epi32(0x0380)), 1));
        const __m256i blue = _mm256_or_si256(
            _mm256_slli_epi32(_mm256_and_si256(p, _mm256_set1_epi32(0x001F)), 3),
            _mm256_srli_epi32(_mm256_and_si256(p, _mm256_set1_epi32(0x001C)), 2));
        return _mm256_or_si256(_mm256_or_si256(red, green),
            _mm256_or_si256(blue, _mm256_set1_epi32(int32(0xFF000000u))));
    }
    static constexpr int32 GATHER_BYTES = 4;
};

template <>
struct Vector<Rgb16Source> {
    [[gnu::always_inline]] static __m256i Load(const uint8* address)
    {
        return Vector<Rgb15Source>::Load(address);
    }
    [[gnu::always_inline]] static __m256i Gather(const uint8* row, __m256i columns)
    {
        return Vector<Rgb15Source>::Gather(row, columns);
    }
    [[gnu::always_inline]] static __m256i ToRgb32(__m256i p)
    {
        // Red bits 11-15 go to 19-23 and their top three to 16-18; green 5-10 to 10-15 and its
        // top two to 8-9; blue as in RGB15.
        const __m256i red = _mm256_or_si256(
            _mm256_slli_epi32(_mm256_and_si256(p, _mm256_set1_epi32(0xF800)), 8),
            _mm256_slli_epi32(_mm256_and_si256(p, _mm256_set1_epi32(0xE000)), 3));
        const __m256i green = _mm256_or_si256(
            _mm256_slli_epi32(_mm256_and_si256(p, _mm256_set1_epi32(0x07E0)), 5),
            _mm256_srli_epi32(_mm256_and_si256(p, _mm256_set1_epi32(0x0600)), 1));
        const __m256i blue = _mm256_or_si256(
            _mm256_slli_epi32(_mm256_and_si256(p, _mm256_set1_epi32(0x001F)), 3),
            _mm256_srli_epi32(_mm256_and_si256(p, _mm256_set1_epi32(0x001C)), 2));
        return _mm256_or_si256(_mm256_or_si256(red, green),
            _mm256_or_si256(blue, _mm256_set1_epi32(int32(0xFF000000u))));
    }
    static constexpr int32 GATHER_BYTES = 4;
};

template <>
struct Vector<Rgb32Source> {
    [[gnu::always_inline]] static __m256i Load(const uint8* address)
    {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(address));
    }
    [[gnu::always_inline]] static __m256i Gather(const uint8* row, __m256i columns)
    {
        return _mm256_i32gather_epi32(reinterpret_cast<const int*>(row), columns, 4);
    }
    [[gnu::always_inline]] static __m256i ToRgb32(__m256i pixels)
    {
        return _mm256_or_si256(pixels, _mm256_set1_epi32(int32(0xFF000000u)));
    }
    static constexpr int32 GATHER_BYTES = 4;
};

// Plans the groups of a clip row once; every row of the clip uses the same plan.
// Returns the number of groups; count is at least LANES.
template <typename Format>
int32 PlanGroups(const int32* columns, int32 count, int32 bytesPerRow, Group* groups)
{
    constexpr int32 pixelBytes = int32(sizeof(typename Format::Pixel));
    int32 planned = 0;
    for (int32 start = 0; start < count; start += LANES) {
        Group& group = groups[planned++];
        // The last group ends at the row's end and may overlap the one before it: it writes the
        // same values again.
        group.start = start + LANES <= count ? start : count - LANES;
        const int32* indices = columns + group.start;
        group.first = indices[0];
        const int32 last = indices[LANES - 1];
        if (last - group.first < LANES && (group.first + LANES) * pixelBytes <= bytesPerRow) {
            group.mode = GroupMode::PERMUTE;
            for (int32 lane = 0; lane < LANES; lane++)
                group.indices[lane] = indices[lane] - group.first;
        } else if (last * pixelBytes + Vector<Format>::GATHER_BYTES <= bytesPerRow) {
            group.mode = GroupMode::GATHER;
            for (int32 lane = 0; lane < LANES; lane++)
                group.indices[lane] = indices[lane];
        } else {
            group.mode = GroupMode::SCALAR;
            for (int32 lane = 0; lane < LANES; lane++)
                group.indices[lane] = indices[lane];
        }
    }
    return planned;
}

template <typename Format>
void DrawStrip(const SourceImage& image, const PixelRect& source, const TargetImage& target,
    const PixelRect& destination, const PixelRect& clip)
{
    using Pixel = typename Format::Pixel;
    int32 columns[STRIP];
    const int32 count = clip.Width();
    BuildColumnTable(source, destination, clip.left, count, columns);
    if (count < LANES) {
        for (int32 y = clip.top; y <= clip.bottom; y++) {
            const int32 sourceY = source.top
                + SourceOffset(y - destination.top, source.Height(), destination.Height());
            const uint8* row = image.bits + int64(sourceY) * image.bytesPerRow;
            uint32* out = target.pixels + int64(y) * target.pixelsPerRow + clip.left;
            for (int32 i = 0; i < count; i++) {
                out[i] = Format::ToRgb32(
                    LoadSourcePixel<Pixel>(row + size_t(columns[i]) * sizeof(Pixel)));
            }
        }
        return;
    }
    Group groups[STRIP / LANES];
    const int32 groupCount = PlanGroups<Format>(columns, count, image.bytesPerRow, groups);
    for (int32 y = clip.top; y <= clip.bottom; y++) {
        const int32 sourceY = source.top
            + SourceOffset(y - destination.top, source.Height(), destination.Height());
        const uint8* row = image.bits + int64(sourceY) * image.bytesPerRow;
        uint32* out = target.pixels + int64(y) * target.pixelsPerRow + clip.left;
        for (int32 g = 0; g < groupCount; g++) {
            const Group& group = groups[g];
            const __m256i indices
                = _mm256_load_si256(reinterpret_cast<const __m256i*>(group.indices));
            __m256i pixels;
            switch (group.mode) {
            case GroupMode::PERMUTE:
                pixels = _mm256_permutevar8x32_epi32(
                    Vector<Format>::Load(row + size_t(group.first) * sizeof(Pixel)), indices);
                break;
            case GroupMode::GATHER:
                pixels = Vector<Format>::Gather(row, indices);
                break;
            case GroupMode::SCALAR:
            default:
                for (int32 lane = 0; lane < LANES; lane++) {
                    out[group.start + lane] = Format::ToRgb32(LoadSourcePixel<Pixel>(
                        row + size_t(group.indices[lane]) * sizeof(Pixel)));
                }
                continue;
            }
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + group.start),
                Vector<Format>::ToRgb32(pixels));
        }
    }
}

template <typename Format>
void DrawRows(const SourceImage& image, const PixelRect& source, const TargetImage& target,
    const PixelRect& destination, const PixelRect& clip)
{
    for (int32 left = clip.left; left <= clip.right; left += STRIP) {
        PixelRect strip = clip;
        strip.left = left;
        strip.right = left + STRIP - 1 < clip.right ? left + STRIP - 1 : clip.right;
        DrawStrip<Format>(image, source, target, destination, strip);
    }
}

}

void DrawBitmapAvx2(const SourceImage& image, const PixelRect& source,
    const TargetImage& target, const PixelRect& destination, const PixelRect& clip)
{
    switch (image.space) {
    case B_GRAY8:
        return DrawRows<Gray8Source>(image, source, target, destination, clip);
    case B_RGB15:
    case B_RGBA15:
        return DrawRows<Rgb15Source>(image, source, target, destination, clip);
    case B_RGB16:
        return DrawRows<Rgb16Source>(image, source, target, destination, clip);
    case B_RGB32:
    case B_RGBA32:
        return DrawRows<Rgb32Source>(image, source, target, destination, clip);
    default:
        return;
    }
}

}
