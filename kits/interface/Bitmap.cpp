#include "kits/interface/Bitmap.h"

#include "kits/interface/BitmapPrivate.h"
#include "kits/interface/DrawBitmapPrivate.h"

#include <cmath>
#include <cstring>

namespace kits::interface {

int32 BitsPerPixel(color_space space)
{
    switch (space) {
    case B_GRAY1:
        return 1;
    case B_GRAY8:
    case B_CMAP8:
        return 8;
    case B_RGB15:
    case B_RGB15_BIG:
    case B_RGBA15:
    case B_RGB16:
    case B_RGB16_BIG:
        return 16;
    case B_RGB24:
    case B_RGB24_BIG:
        return 24;
    case B_RGB32:
    case B_RGB32_BIG:
    case B_RGBA32:
        return 32;
    default:
        return 0;
    }
}

int64 RowBytesFor(color_space space, int64 width)
{
    const int64 bits = BitsPerPixel(space);
    if (bits == 0 || width <= 0)
        return 0;
    // Rows are padded to whole 32-bit words, as the old platform laid them out.
    return (width * bits + 31) / 32 * 4;
}

}

bool bitmaps_support_space(color_space space, uint32* flags)
{
    // Exactly the spaces DrawBitmap reads.
    const bool supported = BytesPerPixel(kits::interface::OpaqueSpace(space)) != 0;
    if (flags != nullptr)
        *flags = supported ? uint32(B_VIEWS_SUPPORT_DRAW_BITMAP) : 0u;
    return supported;
}

BBitmap::BBitmap(BRect bounds, color_space space, bool, bool)
    :
    space(space)
{
    if (!bounds.IsValid() || !std::isfinite(bounds.left) || !std::isfinite(bounds.top)
        || !std::isfinite(bounds.right) || !std::isfinite(bounds.bottom)) {
        initStatus = B_BAD_VALUE;
        return;
    }
    if (kits::interface::BitsPerPixel(space) == 0) {
        initStatus = B_BAD_VALUE;
        return;
    }
    // In doubles: a huge rectangle must come out as too large, not as a wrapped-around size.
    const double width = std::ceil(double(bounds.right) - bounds.left) + 1;
    const double height = std::ceil(double(bounds.bottom) - bounds.top) + 1;
    if (width > INT32_MAX || height > INT32_MAX) {
        initStatus = B_NO_MEMORY;
        return;
    }
    const int64 rowBytes = kits::interface::RowBytesFor(space, int64(width));
    const int64 length = rowBytes * int64(height);
    if (rowBytes > INT32_MAX || length > INT32_MAX) {
        initStatus = B_NO_MEMORY;
        return;
    }
    const size_t areaSize = (size_t(length) + B_PAGE_SIZE - 1) / B_PAGE_SIZE * B_PAGE_SIZE;
    void* address = nullptr;
    area_id created = create_area("bitmap", &address, B_ANY_ADDRESS, areaSize, B_CONTIGUOUS,
        B_READ_AREA | B_WRITE_AREA | B_CLONEABLE_AREA);
    if (created < 0) {
        initStatus = B_NO_MEMORY;
        return;
    }
    area = created;
    bits = address;
    bytesPerRow = int32(rowBytes);
    lines = int32(height);
    this->bounds = BRect(0, 0, float(width - 1), float(height - 1));
    initStatus = B_OK;
}

BBitmap::~BBitmap()
{
    if (area >= 0)
        delete_area(area);
}

status_t BBitmap::InitCheck() const
{
    return initStatus;
}

bool BBitmap::IsValid() const
{
    return initStatus == B_OK;
}

BRect BBitmap::Bounds() const
{
    return bounds;
}

color_space BBitmap::ColorSpace() const
{
    return space;
}

void* BBitmap::Bits() const
{
    return bits;
}

int32 BBitmap::BitsLength() const
{
    return bytesPerRow * lines;
}

int32 BBitmap::BytesPerRow() const
{
    return bytesPerRow;
}

area_id BBitmap::Area() const
{
    return area;
}
