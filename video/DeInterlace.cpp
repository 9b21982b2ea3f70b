#include "video/DeInterlace.h"

#include "kits/interface/Bitmap.h"
#include "video/DeInterlacePrivate.h"
#include "video/PixelFormat.h"

namespace video {

template <typename Format>
void DeInterlaceScalar(const FrameView& frame)
{
    using Pixel = typename Format::Pixel;
    const int32 last = frame.lines - 1;
    if (frame.colorSpace != Format::SPACE || last <= 5)
        return;
    for (int32 r = 0; r < last - 5; r += 4) {
        for (int32 x = 0; x < frame.width; x++) {
            const size_t offset = size_t(x) * sizeof(Pixel);
            // All five rows are read before any is written: each row blends with the original
            // of the row below, not with its blended value.
            Pixel halves[5];
            for (int32 k = 0; k < 5; k++) {
                const Pixel pixel = LoadPixel<Pixel>(frame.Row(r + k) + offset);
                halves[k] = Pixel((pixel & Format::HALVE_MASK) >> 1);
            }
            for (int32 k = 0; k < 4; k++)
                StorePixel<Pixel>(frame.Row(r + k) + offset, Pixel(halves[k] + halves[k + 1]));
        }
    }
}

template void DeInterlaceScalar<Gray8>(const FrameView&);
template void DeInterlaceScalar<Rgb15>(const FrameView&);
template void DeInterlaceScalar<Rgb16>(const FrameView&);
template void DeInterlaceScalar<Rgb32>(const FrameView&);

void DeInterlaceReference(const FrameView& frame)
{
    switch (frame.colorSpace) {
    case B_GRAY8:
        return DeInterlaceScalar<Gray8>(frame);
    case B_RGB15:
        return DeInterlaceScalar<Rgb15>(frame);
    case B_RGB16:
        return DeInterlaceScalar<Rgb16>(frame);
    case B_RGB32:
        return DeInterlaceScalar<Rgb32>(frame);
    default:
        return;
    }
}

uint32 DeInterlaceWordMask(color_space space)
{
    switch (space) {
    case B_GRAY8:
        return 0xFEFEFEFE;
    case B_RGB15:
        return 0x7BDE7BDE;
    case B_RGB16:
        return 0xF7DEF7DE;
    case B_RGB32:
        return 0x00FEFEFE;
    default:
        return 0;
    }
}

int32 DeInterlacedRows(int32 lines)
{
    // Groups of four start at rows 0, 4, 8, ... while the group's start is below lines - 6.
    if (lines <= 6)
        return 0;
    return (lines - 3) / 4 * 4;
}

std::vector<DeInterlaceImplementation> DeInterlaceImplementations()
{
    std::vector<DeInterlaceImplementation> implementations{{"Scalar", DeInterlaceReference}};
#if defined(__x86_64__)
    implementations.push_back({"Sse2", DeInterlaceSse2});
    if (__builtin_cpu_supports("avx2"))
        implementations.push_back({"Avx2", DeInterlaceAvx2});
#endif
    return implementations;
}

namespace {

DeInterlaceFunction ChooseDeInterlace()
{
#if defined(__x86_64__)
    return __builtin_cpu_supports("avx2") ? DeInterlaceAvx2 : DeInterlaceSse2;
#else
    return DeInterlaceReference;
#endif
}

}

}

void DeInterlace(const FrameView& frame)
{
    if (!frame.IsUsable())
        return;
    // Chosen once, on the first frame; the CPU does not change under a running process.
    static const video::DeInterlaceFunction implementation = video::ChooseDeInterlace();
    implementation(frame);
}

void DeInterlace(BBitmap* bitmap)
{
    if (bitmap == nullptr || !bitmap->IsValid())
        return;
    const BRect bounds = bitmap->Bounds();
    DeInterlace(FrameView{static_cast<uint8*>(bitmap->Bits()), bitmap->BytesPerRow(),
        bounds.IntegerWidth() + 1, bounds.IntegerHeight() + 1, bitmap->ColorSpace()});
}
