#include "kits/interface/Font.h"

#include "kits/interface/FontEngine.h"

#include <algorithm>
#include <cstring>

namespace {

// Built at compile time, so views made by other files' static objects find them ready.
constinit const BFont PLAIN_FONT = kits::interface::FontAccess::Make(12.0f, B_REGULAR_FACE, false);
constinit const BFont BOLD_FONT = kits::interface::FontAccess::Make(12.0f, B_BOLD_FACE, false);
constinit const BFont FIXED_FONT = kits::interface::FontAccess::Make(12.0f, B_REGULAR_FACE, true);

}

const BFont* be_plain_font = &PLAIN_FONT;
const BFont* be_bold_font = &BOLD_FONT;
const BFont* be_fixed_font = &FIXED_FONT;

void BFont::SetSize(float newSize)
{
    // NaN becomes the smallest size.
    size = newSize >= 1.0f ? std::min(newSize, 1000.0f) : 1.0f;
}

float BFont::Size() const
{
    return size;
}

void BFont::SetFace(uint16 newFace)
{
    face = newFace;
}

uint16 BFont::Face() const
{
    return face;
}

bool BFont::IsFixed() const
{
    return fixed;
}

float BFont::StringWidth(const char* string) const
{
    if (string == nullptr)
        return 0;
    return kits::interface::Fonts().StringWidth(*this, string);
}

float BFont::StringWidth(const char* string, int32 length) const
{
    if (string == nullptr || length <= 0)
        return 0;
    return kits::interface::Fonts().StringWidth(*this,
        std::string_view(string, strnlen(string, size_t(length))));
}

void BFont::GetHeight(font_height* height) const
{
    if (height != nullptr)
        *height = kits::interface::Fonts().Height(*this);
}
