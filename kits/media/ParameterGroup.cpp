#include "kits/media/ParameterGroup.h"

#include "kits/media/ParameterWeb.h"

BParameterGroup::BParameterGroup(BParameterWeb* web, const char* name)
    : web(web),
      name(name != nullptr ? name : "")
{
}

BParameterGroup::~BParameterGroup() = default;

BParameterWeb* BParameterGroup::Web() const
{
    return web;
}

const char* BParameterGroup::Name() const
{
    return name.c_str();
}

uint32 BParameterGroup::Flags() const
{
    return flags;
}

void BParameterGroup::SetFlags(uint32 newFlags)
{
    flags = newFlags;
}

BParameterGroup* BParameterGroup::MakeGroup(const char* groupName)
{
    groups.push_back(std::unique_ptr<BParameterGroup>(new BParameterGroup(web, groupName)));
    return groups.back().get();
}

BNullParameter* BParameterGroup::MakeNullParameter(int32 id, media_type mediaType,
    const char* parameterName, const char* kind)
{
    auto* made = new BNullParameter(id, mediaType, parameterName, kind);
    Adopt(std::unique_ptr<BParameter>(made));
    return made;
}

BDiscreteParameter* BParameterGroup::MakeDiscreteParameter(int32 id, media_type mediaType,
    const char* parameterName, const char* kind)
{
    auto* made = new BDiscreteParameter(id, mediaType, parameterName, kind);
    Adopt(std::unique_ptr<BParameter>(made));
    return made;
}

BContinuousParameter* BParameterGroup::MakeContinuousParameter(int32 id, media_type mediaType,
    const char* parameterName, const char* kind, const char* unit, float minimum,
    float maximum, float step)
{
    auto* made = new BContinuousParameter(id, mediaType, parameterName, kind, unit, minimum,
        maximum, step);
    Adopt(std::unique_ptr<BParameter>(made));
    return made;
}

int32 BParameterGroup::CountParameters() const
{
    return int32(parameters.size());
}

BParameter* BParameterGroup::ParameterAt(int32 index) const
{
    if (index < 0 || size_t(index) >= parameters.size())
        return nullptr;
    return parameters[size_t(index)].get();
}

int32 BParameterGroup::CountGroups() const
{
    return int32(groups.size());
}

BParameterGroup* BParameterGroup::GroupAt(int32 index) const
{
    if (index < 0 || size_t(index) >= groups.size())
        return nullptr;
    return groups[size_t(index)].get();
}

BParameter* BParameterGroup::Adopt(std::unique_ptr<BParameter> parameter)
{
    parameter->group = this;
    parameters.push_back(std::move(parameter));
    BParameter* adopted = parameters.back().get();
    web->parameters.push_back(adopted);
    return adopted;
}
