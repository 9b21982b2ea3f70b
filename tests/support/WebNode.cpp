#include "tests/support/WebNode.h"

#include "kits/media/ContinuousParameter.h"
#include "kits/media/DiscreteParameter.h"
#include "kits/media/ParameterGroup.h"
#include "kits/media/ParameterWeb.h"

#include <cstring>
#include <map>
#include <sstream>

namespace test_support {

WebNode::WebNode(const std::vector<WebParameter>& parameters)
    : BMediaNode("Web node"),
      parameters(parameters)
{
    auto* web = new BParameterWeb();
    std::map<std::string, BParameterGroup*> groups;
    for (size_t i = 0; i < parameters.size(); i++) {
        const WebParameter& p = parameters[i];
        const std::string top = p.group.substr(0, p.group.find('/'));
        if (groups[top] == nullptr)
            groups[top] = web->MakeGroup(top.c_str());
        if (groups[p.group] == nullptr)
            groups[p.group] = groups[top]->MakeGroup(p.group.substr(top.size() + 1).c_str());
        if (p.name.empty())
            continue;
        if (!p.continuous) {
            BDiscreteParameter* discrete = groups[p.group]->MakeDiscreteParameter(
                int32(i), B_MEDIA_RAW_VIDEO, p.name.c_str(), B_ENABLE);
            for (int32 item = 0; item < p.items; item++)
                (void)discrete->AddItem(item, std::to_string(item).c_str());
            continue;
        }
        groups[p.group]
            ->MakeContinuousParameter(int32(i), B_MEDIA_RAW_VIDEO, p.name.c_str(), B_GAIN, "",
                p.minimum, p.maximum, 1)
            ->SetChannelCount(int32(p.value.size()));
    }
    (void)SetParameterWeb(web);
}

BMediaAddOn* WebNode::AddOn(int32*) const
{
    return nullptr;
}

std::vector<std::string> WebNode::Writes()
{
    std::lock_guard guard(lock);
    return writes;
}

status_t WebNode::GetParameterValue(int32 id, bigtime_t*, void* value, size_t* ioSize)
{
    std::lock_guard guard(lock);
    const WebParameter& p = parameters.at(size_t(id));
    const int32 number = int32(p.value[0]);
    *ioSize = p.continuous ? p.value.size() * sizeof(float) : sizeof(number);
    std::memcpy(value, p.continuous ? static_cast<const void*>(p.value.data()) : &number, *ioSize);
    return B_OK;
}

void WebNode::SetParameterValue(int32 id, bigtime_t, const void* value, size_t size)
{
    std::lock_guard guard(lock);
    const WebParameter& p = parameters.at(size_t(id));
    std::ostringstream noted;
    noted << p.name << ':';
    for (size_t at = 0; at < size; at += 4) {
        float number = 0;
        int32 whole = 0;
        std::memcpy(p.continuous ? static_cast<void*>(&number) : &whole,
            static_cast<const char*>(value) + at, 4);
        noted << ' ' << (p.continuous ? number : float(whole));
    }
    writes.push_back(noted.str());
}

} // namespace test_support
