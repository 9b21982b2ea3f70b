#include "kits/interface/ListItem.h"

#include "kits/interface/Font.h"
#include "kits/interface/View.h"

#include <cmath>

BListItem::BListItem(uint32 outlineLevel, bool expanded)
    :
    outlineLevel(outlineLevel),
    expanded(expanded)
{
}

BListItem::~BListItem() = default;

float BListItem::Height() const
{
    return height;
}

float BListItem::Width() const
{
    return width;
}

void BListItem::SetHeight(float newHeight)
{
    height = newHeight;
}

void BListItem::SetWidth(float newWidth)
{
    width = newWidth;
}

bool BListItem::IsSelected() const
{
    return selected;
}

void BListItem::Select()
{
    selected = true;
}

void BListItem::Deselect()
{
    selected = false;
}

void BListItem::SetEnabled(bool enable)
{
    enabled = enable;
}

bool BListItem::IsEnabled() const
{
    return enabled;
}

uint32 BListItem::OutlineLevel() const
{
    return outlineLevel;
}

void BListItem::SetExpanded(bool expand)
{
    expanded = expand;
}

bool BListItem::IsExpanded() const
{
    return expanded;
}

void BListItem::Update(BView* owner, const BFont* font)
{
    font_height metrics;
    font->GetHeight(&metrics);
    width = owner->Bounds().Width();
    height = std::ceil(metrics.ascent + metrics.descent + metrics.leading);
}
