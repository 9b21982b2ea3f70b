#pragma once
// BBitmap: an image in memory of one colour space, its bits in a kernel area of their own.

#include "kits/interface/GraphicsDefs.h"
#include "kits/kernel/Rect.h"
#include "kits/kernel/OS.h"

// Flags of bitmaps_support_space.
enum : uint32 {
    B_VIEWS_SUPPORT_DRAW_BITMAP = 0x1,
    B_BITMAPS_SUPPORT_ATTACHED_VIEWS = 0x2,
};

// Whether views can draw bitmaps of this colour space (BView::DrawBitmap): B_GRAY8, B_RGB15,
// B_RGB16, B_RGB32 and their alpha variants B_RGBA15 and B_RGBA32 (whose alpha is ignored).
// *flags (when given) receives B_VIEWS_SUPPORT_DRAW_BITMAP for those, 0 otherwise; views cannot
// draw into bitmaps here, so B_BITMAPS_SUPPORT_ATTACHED_VIEWS is never set.
bool bitmaps_support_space(color_space space, uint32* flags);

// The bits are one page-rounded kernel area, so area_for(Bits()) finds it and the memory can be
// cloned into a buffer for another node. A W by H bitmap is made with BRect(0, 0, W - 1, H - 1):
// it has IntegerWidth() + 1 pixels per row and IntegerHeight() + 1 rows. Rows are BytesPerRow()
// apart, each padded to a multiple of 4 bytes. The bits start zeroed.
//
// A bitmap is plain memory: any thread may use it; whoever shares it (a buffer group, a drawing
// thread) serialises the access.
class BBitmap {
public:
    // A failure leaves no memory behind; InitCheck() then says why. The consumer of frames asks
    // for contiguous memory; every bitmap here is contiguous. Views cannot be attached to a
    // bitmap: acceptsViews is accepted for the old signature and has no effect.
    BBitmap(BRect bounds, color_space space, bool acceptsViews = false,
        bool needsContiguousMemory = false);
    ~BBitmap();

    BBitmap(const BBitmap&) = delete;
    BBitmap& operator=(const BBitmap&) = delete;

    // B_OK; B_BAD_VALUE for an invalid rectangle or a colour space without a pixel layout;
    // B_NO_MEMORY when the bits do not fit in memory (or in BitsLength()'s 31 bits).
    status_t InitCheck() const;
    bool IsValid() const;

    // The rectangle given, moved to the origin: (0, 0, width - 1, height - 1).
    BRect Bounds() const;
    color_space ColorSpace() const;
    // Null when not valid.
    void* Bits() const;
    // BytesPerRow() times the rows; 0 when not valid.
    int32 BitsLength() const;
    int32 BytesPerRow() const;
    // The area holding the bits, or B_ERROR when not valid.
    area_id Area() const;

private:
    status_t initStatus = B_NO_INIT;
    BRect bounds;
    color_space space;
    int32 bytesPerRow = 0;
    int32 lines = 0;
    area_id area = B_ERROR;
    void* bits = nullptr;
};
