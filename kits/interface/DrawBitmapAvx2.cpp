// DrawBitmap with AVX2. The only file of DrawBitmap built with -mavx2: it uses intrinsics, the
// always-inlined helpers of DrawBitmapPrivate.h and its own internal functions, and no library
// template (its scratch memory is on the stack), so nothing compiled for AVX2 here can become the
// copy the linker keeps for code that runs on every CPU.
//
// Each source row the picture needs is first widened to RGB32 (16 pixels per step for the 16-bit
// spaces), once for all the destination rows that show it; the scaling then only moves 32-bit
// pixels: eight destination pixels whose source columns lie within eight pixels take one load and
// one permute, others a gather. A picture drawn at its own width is widened straight into the
// target.

#include "kits/interface/DrawBitmapPrivate.h"

#include <immintrin.h>

#include <cstdint>

namespace kits::interface {

namespace {

constexpr int32 LANES = 8;
// Destination columns planned at a time; a wider clip is drawn in strips this wide. Wide enough
// for a whole row of the usual window sizes: long runs suit the hardware prefetcher.
constexpr int32 STRIP = 1024;
// Widened source pixels one strip may use; a strip that shrinks more than this falls back to
// reading pixel by pixel.
constexpr int32 SCRATCH = 4096;

// Eight destination pixels starting at `start` (relative to the strip's left), and the source
// columns they take, relative to the strip's first source column.
struct Group {
    int32 start;
    // PERMUTE groups: the first column; indices are then relative to it.
    int32 first;
    alignas(32) int32 indices[LANES];
};

// The groups of a strip: those drawn with a permute fill the array from the front, those drawn
// with a gather from the back, so that each kind runs in a loop of its own.
struct Plan {
    static constexpr int32 CAPACITY = STRIP / LANES + 2;
    Group groups[CAPACITY];
    int32 permuteCount = 0;
    int32 gatherCount = 0;
};

void AddGroup(Plan& plan, const int32* columns, int32 start, int32 available)
{
    const int32* indices = columns + start;
    const int32 first = indices[0];
    const bool permute = indices[LANES - 1] - first < LANES && first + LANES <= available;
    Group& group = permute ? plan.groups[plan.permuteCount++]
                           : plan.groups[Plan::CAPACITY - 1 - plan.gatherCount++];
    group.start = start;
    group.first = first;
    for (int32 lane = 0; lane < LANES; lane++)
        group.indices[lane] = permute ? indices[lane] - first : indices[lane];
}

// Covers count (at least LANES) destination pixels with groups of eight. When `aligned` pixels
// from the start a 32-byte boundary of the target begins (the same on every row), the groups in
// between start on such boundaries; a first and a last group may overlap their neighbours and
// write the same values again.
void PlanGroups(const int32* columns, int32 count, int32 available, int32 aligned, Plan& plan)
{
    int32 start = 0;
    if (aligned != 0) {
        AddGroup(plan, columns, 0, available);
        start = aligned;
    }
    for (; start + LANES <= count; start += LANES)
        AddGroup(plan, columns, start, available);
    if (start < count)
        AddGroup(plan, columns, count - LANES, available);
}

[[gnu::always_inline]] inline __m256i Opaque(__m256i pixels)
{
    return _mm256_or_si256(pixels, _mm256_set1_epi32(int32(0xFF000000u)));
}

// Scales one row of RGB32 pixels (relative to the strip's first source column) into out.
[[gnu::always_inline]] inline void ScaleRow(const uint32* base, uint32* out, const Plan& plan)
{
    for (int32 g = 0; g < plan.permuteCount; g++) {
        const Group& group = plan.groups[g];
        const __m256i indices = _mm256_load_si256(reinterpret_cast<const __m256i*>(group.indices));
        const __m256i pixels
            = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + group.first));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + group.start),
            Opaque(_mm256_permutevar8x32_epi32(pixels, indices)));
    }
    for (int32 g = Plan::CAPACITY - plan.gatherCount; g < Plan::CAPACITY; g++) {
        const Group& group = plan.groups[g];
        const __m256i indices = _mm256_load_si256(reinterpret_cast<const __m256i*>(group.indices));
        const __m256i pixels
            = _mm256_i32gather_epi32(reinterpret_cast<const int*>(base), indices, 4);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + group.start), Opaque(pixels));
    }
}

// Widening of count pixels from in to RGB32 in out, as Format::ToRgb32 does.
template <typename Format>
void WidenRow(const uint8* in, int32 count, uint32* out);

// Multiplying a 5-bit channel c placed at the top of 16 bits by 264 and keeping the high half
// gives c * 33 / 4 = (c << 3) | (c >> 2); the other constants do the same for other positions.
template <uint16 RED_MASK, uint16 RED_FACTOR, uint16 GREEN_MASK, uint16 GREEN_FACTOR>
[[gnu::always_inline]] inline void Widen16(const uint8* in, int32 count, uint32* out)
{
    int32 x = 0;
    for (; x + 16 <= count; x += 16) {
        const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 2 * x));
        const __m256i red = _mm256_mulhi_epu16(
            _mm256_and_si256(p, _mm256_set1_epi16(int16(RED_MASK))),
            _mm256_set1_epi16(int16(RED_FACTOR)));
        const __m256i green = _mm256_mulhi_epu16(
            _mm256_and_si256(p, _mm256_set1_epi16(int16(GREEN_MASK))),
            _mm256_set1_epi16(int16(GREEN_FACTOR)));
        const __m256i blue = _mm256_mulhi_epu16(_mm256_slli_epi16(p, 11),
            _mm256_set1_epi16(264));
        const __m256i low = _mm256_or_si256(blue, _mm256_slli_epi16(green, 8));
        const __m256i high = _mm256_or_si256(red, _mm256_set1_epi16(int16(0xFF00)));
        // The unpacks work within each 128-bit half: pixels 0-3 and 8-11, then 4-7 and 12-15.
        const __m256i first = _mm256_unpacklo_epi16(low, high);
        const __m256i second = _mm256_unpackhi_epi16(low, high);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x),
            _mm256_permute2x128_si256(first, second, 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x + 8),
            _mm256_permute2x128_si256(first, second, 0x31));
    }
}

template <>
void WidenRow<Rgb16Source>(const uint8* in, int32 count, uint32* out)
{
    Widen16<0xF800, 264, 0x07E0, 8320>(in, count, out);
    for (int32 x = count & ~15; x < count; x++)
        out[x] = Rgb16Source::ToRgb32(LoadSourcePixel<uint16>(in + 2 * x));
}

template <>
void WidenRow<Rgb15Source>(const uint8* in, int32 count, uint32* out)
{
    Widen16<0x7C00, 528, 0x03E0, 16896>(in, count, out);
    for (int32 x = count & ~15; x < count; x++)
        out[x] = Rgb15Source::ToRgb32(LoadSourcePixel<uint16>(in + 2 * x));
}

template <>
void WidenRow<Gray8Source>(const uint8* in, int32 count, uint32* out)
{
    // Each grey byte is copied into blue, green and red; alpha comes from the OR.
    // Both 128-bit halves hold the eight bytes; the low half spreads bytes 0-3, the high 4-7.
    const __m256i spread = _mm256_setr_epi8(0, 0, 0, -1, 1, 1, 1, -1, 2, 2, 2, -1, 3, 3, 3, -1,
        4, 4, 4, -1, 5, 5, 5, -1, 6, 6, 6, -1, 7, 7, 7, -1);
    int32 x = 0;
    for (; x + 8 <= count; x += 8) {
        const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + x));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x),
            Opaque(_mm256_shuffle_epi8(_mm256_broadcastq_epi64(bytes), spread)));
    }
    for (; x < count; x++)
        out[x] = Gray8Source::ToRgb32(in[x]);
}

int32 PixelAlignment(const uint32* address)
{
    // Pixels until the next 32-byte boundary.
    return int32((32 - (reinterpret_cast<uintptr_t>(address) & 31)) & 31) / 4;
}

template <typename Format>
void DrawStrip(const FrameView& image, const PixelRect& source, const TargetImage& target,
    const PixelRect& destination, const PixelRect& clip)
{
    using Pixel = typename Format::Pixel;
    constexpr bool WIDEN = sizeof(Pixel) != 4;
    int32 columns[STRIP];
    const int32 count = clip.Width();
    BuildColumnTable(source, destination, clip.left, count, columns);
    const int32 lowest = columns[0];
    // Pixels of the row's memory from the lowest column on: vector reads stay inside.
    const int32 capacity = image.bytesPerRow / int32(sizeof(Pixel));
    const int32 highest = columns[count - 1];
    if constexpr (WIDEN) {
        // At its own width (the columns rise one by one), a row is widened straight into the
        // target: the scaling would only copy it.
        if (highest - lowest == count - 1) {
            for (int32 y = clip.top; y <= clip.bottom; y++) {
                const int32 sourceY = source.top
                    + SourceOffset(y - destination.top, source.Height(), destination.Height());
                WidenRow<Format>(image.Row(sourceY) + size_t(lowest) * sizeof(Pixel), count,
                    target.pixels + int64(y) * target.pixelsPerRow + clip.left);
            }
            return;
        }
    }
    const int32 available = capacity - lowest < highest - lowest + LANES
        ? capacity - lowest : highest - lowest + LANES;
    if (count < LANES || (WIDEN && available > SCRATCH)) {
        for (int32 y = clip.top; y <= clip.bottom; y++) {
            const int32 sourceY = source.top
                + SourceOffset(y - destination.top, source.Height(), destination.Height());
            const uint8* row = image.Row(sourceY);
            uint32* out = target.pixels + int64(y) * target.pixelsPerRow + clip.left;
            for (int32 i = 0; i < count; i++) {
                out[i] = Format::ToRgb32(
                    LoadSourcePixel<Pixel>(row + size_t(columns[i]) * sizeof(Pixel)));
            }
        }
        return;
    }
    for (int32 i = 0; i < count; i++)
        columns[i] -= lowest;
    uint32* firstOut = target.pixels + int64(clip.top) * target.pixelsPerRow + clip.left;
    const int32 aligned = target.pixelsPerRow % LANES == 0 ? PixelAlignment(firstOut) : 0;
    Plan plan;
    PlanGroups(columns, count, available, aligned, plan);

    alignas(32) uint32 widened[WIDEN ? SCRATCH : 1];
    int32 widenedY = -1;
    for (int32 y = clip.top; y <= clip.bottom; y++) {
        const int32 sourceY = source.top
            + SourceOffset(y - destination.top, source.Height(), destination.Height());
        const uint8* row = image.Row(sourceY) + size_t(lowest) * sizeof(Pixel);
        const uint32* base;
        if constexpr (WIDEN) {
            // Consecutive destination rows often show the same source row.
            if (sourceY != widenedY) {
                WidenRow<Format>(row, available, widened);
                widenedY = sourceY;
            }
            base = widened;
        } else {
            base = reinterpret_cast<const uint32*>(row);
        }
        ScaleRow(base, target.pixels + int64(y) * target.pixelsPerRow + clip.left, plan);
    }
}

template <typename Format>
void DrawRows(const FrameView& image, const PixelRect& source, const TargetImage& target,
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

void DrawBitmapAvx2(const FrameView& image, const PixelRect& source,
    const TargetImage& target, const PixelRect& destination, const PixelRect& clip)
{
    switch (OpaqueSpace(image.colorSpace)) {
    case B_GRAY8:
        return DrawRows<Gray8Source>(image, source, target, destination, clip);
    case B_RGB15:
        return DrawRows<Rgb15Source>(image, source, target, destination, clip);
    case B_RGB16:
        return DrawRows<Rgb16Source>(image, source, target, destination, clip);
    case B_RGB32:
        return DrawRows<Rgb32Source>(image, source, target, destination, clip);
    default:
        return;
    }
}

}
