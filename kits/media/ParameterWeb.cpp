#include "kits/media/ParameterWeb.h"

#include "kits/media/Controllable.h"

#include <map>

BParameterWeb::BParameterWeb() = default;

BParameterWeb::~BParameterWeb() = default;

media_node BParameterWeb::Node() const
{
    return owner != nullptr ? owner->Node() : node;
}

BParameterGroup* BParameterWeb::MakeGroup(const char* name)
{
    groups.push_back(std::unique_ptr<BParameterGroup>(new BParameterGroup(this, name)));
    return groups.back().get();
}

int32 BParameterWeb::CountGroups() const
{
    return int32(groups.size());
}

BParameterGroup* BParameterWeb::GroupAt(int32 index) const
{
    if (index < 0 || size_t(index) >= groups.size())
        return nullptr;
    return groups[size_t(index)].get();
}

int32 BParameterWeb::CountParameters() const
{
    return int32(parameters.size());
}

BParameter* BParameterWeb::ParameterAt(int32 index) const
{
    if (index < 0 || size_t(index) >= parameters.size())
        return nullptr;
    return parameters[size_t(index)];
}

std::unique_ptr<BParameterWeb> BParameterWeb::Copy(const media_node& forNode) const
{
    auto copy = std::make_unique<BParameterWeb>();
    copy->node = forNode;

    // Groups first, then the parameters in web order, so that both the web's
    // list and every group's list keep their order.
    std::map<const BParameterGroup*, BParameterGroup*> copies;
    auto copyGroup = [&copies](auto& self, const BParameterGroup& from,
                         BParameterGroup& to) -> void {
        copies[&from] = &to;
        to.SetFlags(from.Flags());
        for (int32 i = 0; i < from.CountGroups(); i++) {
            const BParameterGroup* child = from.GroupAt(i);
            self(self, *child, *to.MakeGroup(child->Name()));
        }
    };
    for (const auto& group : groups)
        copyGroup(copyGroup, *group, *copy->MakeGroup(group->Name()));

    for (const BParameter* parameter : parameters) {
        BParameterGroup* to = copies.at(parameter->Group());
        BParameter* made = nullptr;
        switch (parameter->Type()) {
        case BParameter::B_DISCRETE_PARAMETER: {
            auto* from = static_cast<const BDiscreteParameter*>(parameter);
            BDiscreteParameter* discrete = to->MakeDiscreteParameter(from->ID(),
                from->MediaType(), from->Name(), from->Kind());
            for (int32 i = 0; i < from->CountItems(); i++)
                discrete->AddItem(from->ItemValueAt(i), from->ItemNameAt(i));
            made = discrete;
            break;
        }
        case BParameter::B_CONTINUOUS_PARAMETER: {
            auto* from = static_cast<const BContinuousParameter*>(parameter);
            made = to->MakeContinuousParameter(from->ID(), from->MediaType(), from->Name(),
                from->Kind(), from->Unit(), from->MinValue(), from->MaxValue(),
                from->ValueStep());
            break;
        }
        case BParameter::B_NULL_PARAMETER:
            made = to->MakeNullParameter(parameter->ID(), parameter->MediaType(),
                parameter->Name(), parameter->Kind());
            break;
        }
        made->SetFlags(parameter->Flags());
        made->SetChannelCount(parameter->CountChannels());
    }
    return copy;
}
