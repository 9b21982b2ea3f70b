#include "kits/interface/DrawBitmap.h"

#include "kits/interface/DrawBitmapPrivate.h"

namespace kits::interface {

template <typename Format>
void DrawBitmapScalar(const FrameView& image, const PixelRect& source,
    const TargetImage& target, const PixelRect& destination, const PixelRect& clip)
{
    using Pixel = typename Format::Pixel;
    for (int32 y = clip.top; y <= clip.bottom; y++) {
        const int32 sourceY = source.top
            + SourceOffset(y - destination.top, source.Height(), destination.Height());
        const uint8* row = image.Row(sourceY);
        uint32* out = target.pixels + int64(y) * target.pixelsPerRow;
        for (int32 x = clip.left; x <= clip.right; x++) {
            const int32 sourceX = source.left
                + SourceOffset(x - destination.left, source.Width(), destination.Width());
            const uint8* address = row + size_t(sourceX) * sizeof(Pixel);
            out[x] = Format::ToRgb32(LoadSourcePixel<Pixel>(address));
        }
    }
}

template void DrawBitmapScalar<Gray8Source>(const FrameView&, const PixelRect&,
    const TargetImage&, const PixelRect&, const PixelRect&);
template void DrawBitmapScalar<Rgb15Source>(const FrameView&, const PixelRect&,
    const TargetImage&, const PixelRect&, const PixelRect&);
template void DrawBitmapScalar<Rgb16Source>(const FrameView&, const PixelRect&,
    const TargetImage&, const PixelRect&, const PixelRect&);
template void DrawBitmapScalar<Rgb32Source>(const FrameView&, const PixelRect&,
    const TargetImage&, const PixelRect&, const PixelRect&);

void DrawBitmapReference(const FrameView& image, const PixelRect& source,
    const TargetImage& target, const PixelRect& destination, const PixelRect& clip)
{
    switch (OpaqueSpace(image.colorSpace)) {
    case B_GRAY8:
        return DrawBitmapScalar<Gray8Source>(image, source, target, destination, clip);
    case B_RGB15:
        return DrawBitmapScalar<Rgb15Source>(image, source, target, destination, clip);
    case B_RGB16:
        return DrawBitmapScalar<Rgb16Source>(image, source, target, destination, clip);
    case B_RGB32:
        return DrawBitmapScalar<Rgb32Source>(image, source, target, destination, clip);
    default:
        return;
    }
}

void BuildColumnTable(const PixelRect& source, const PixelRect& destination, int32 firstColumn,
    int32 count, int32* table)
{
    // Column x takes ((2 i + 1) sw) / (2 dw) with i = x - destination.left: the numerator grows
    // by 2 sw per column, so quotient and remainder are carried along instead of divided anew.
    const int64 sourceWidth = source.Width();
    const int64 divisor = 2 * int64(destination.Width());
    const int64 first = firstColumn - destination.left;
    int64 numerator = (2 * first + 1) * sourceWidth;
    int64 quotient = numerator / divisor;
    int64 remainder = numerator % divisor;
    const int64 stepQuotient = 2 * sourceWidth / divisor;
    const int64 stepRemainder = 2 * sourceWidth % divisor;
    for (int32 i = 0; i < count; i++) {
        table[i] = int32(source.left + quotient);
        quotient += stepQuotient;
        remainder += stepRemainder;
        if (remainder >= divisor) {
            quotient++;
            remainder -= divisor;
        }
    }
}

namespace {

template <typename Format>
void DrawRowsWithTable(const FrameView& image, const PixelRect& source,
    const TargetImage& target, const PixelRect& destination, const PixelRect& clip)
{
    using Pixel = typename Format::Pixel;
    const int32 count = clip.Width();
    std::vector<int32> columns(static_cast<size_t>(count));
    BuildColumnTable(source, destination, clip.left, count, columns.data());
    for (int32 y = clip.top; y <= clip.bottom; y++) {
        const int32 sourceY = source.top
            + SourceOffset(y - destination.top, source.Height(), destination.Height());
        const uint8* row = image.Row(sourceY);
        uint32* out = target.pixels + int64(y) * target.pixelsPerRow + clip.left;
        for (int32 i = 0; i < count; i++) {
            out[i] = Format::ToRgb32(
                LoadSourcePixel<Pixel>(row + size_t(columns[size_t(i)]) * sizeof(Pixel)));
        }
    }
}

DrawBitmapFunction ChooseDrawBitmap()
{
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx2"))
        return DrawBitmapAvx2;
#endif
    return DrawBitmapTables;
}

}

void DrawBitmapTables(const FrameView& image, const PixelRect& source,
    const TargetImage& target, const PixelRect& destination, const PixelRect& clip)
{
    switch (OpaqueSpace(image.colorSpace)) {
    case B_GRAY8:
        return DrawRowsWithTable<Gray8Source>(image, source, target, destination, clip);
    case B_RGB15:
        return DrawRowsWithTable<Rgb15Source>(image, source, target, destination, clip);
    case B_RGB16:
        return DrawRowsWithTable<Rgb16Source>(image, source, target, destination, clip);
    case B_RGB32:
        return DrawRowsWithTable<Rgb32Source>(image, source, target, destination, clip);
    default:
        return;
    }
}

std::vector<DrawBitmapImplementation> DrawBitmapImplementations()
{
    std::vector<DrawBitmapImplementation> implementations{
        {"Scalar", DrawBitmapReference}, {"Tables", DrawBitmapTables}};
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx2"))
        implementations.push_back({"Avx2", DrawBitmapAvx2});
#endif
    return implementations;
}

DrawBitmapFunction ChosenDrawBitmap()
{
    // Chosen once; the CPU does not change under a running process.
    static const DrawBitmapFunction chosen = ChooseDrawBitmap();
    return chosen;
}

void DrawBitmap(const FrameView& image, PixelRect source, const TargetImage& target,
    const PixelRect& destination, const ClipRegion& clip)
{
    // The alpha variants are laid out as their opaque spaces.
    FrameView layout = image;
    layout.colorSpace = OpaqueSpace(image.colorSpace);
    if (BytesPerPixel(layout.colorSpace) == 0 || !layout.IsUsable() || target.pixels == nullptr
        || target.pixelsPerRow < target.width) {
        return;
    }
    // The part of the source outside the image is dropped; what is left fills the destination.
    source = source.Intersection({0, 0, image.width - 1, image.lines - 1});
    if (source.IsEmpty() || destination.IsEmpty())
        return;
    const PixelRect limit
        = destination.Intersection({0, 0, target.width - 1, target.height - 1});
    const DrawBitmapFunction draw = ChosenDrawBitmap();
    for (const PixelRect& rect : clip.Rects()) {
        const PixelRect area = rect.Intersection(limit);
        if (!area.IsEmpty())
            draw(image, source, target, destination, area);
    }
}

}
