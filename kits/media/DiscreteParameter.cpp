#include "kits/media/DiscreteParameter.h"

BDiscreteParameter::BDiscreteParameter(int32 id, media_type mediaType, const char* name,
    const char* kind)
    : BParameter(id, mediaType, B_DISCRETE_PARAMETER, name, kind, B_UNIT_NONE)
{
}

int32 BDiscreteParameter::CountItems() const
{
    return int32(items.size());
}

const char* BDiscreteParameter::ItemNameAt(int32 index) const
{
    if (index < 0 || size_t(index) >= items.size())
        return nullptr;
    return items[size_t(index)].name.c_str();
}

int32 BDiscreteParameter::ItemValueAt(int32 index) const
{
    if (index < 0 || size_t(index) >= items.size())
        return 0;
    return items[size_t(index)].value;
}

status_t BDiscreteParameter::AddItem(int32 value, const char* name)
{
    if (name == nullptr)
        return B_BAD_VALUE;
    items.push_back(Item{value, name});
    return B_OK;
}

void BDiscreteParameter::MakeEmpty()
{
    items.clear();
}
