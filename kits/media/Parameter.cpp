#include "kits/media/Parameter.h"

#include "kits/media/MediaRosterPrivate.h"
#include "kits/media/ParameterGroup.h"
#include "kits/media/ParameterWeb.h"

BParameter::BParameter(int32 id, media_type mediaType, media_parameter_type type,
    const char* name, const char* kind, const char* unit)
    : id(id),
      mediaType(mediaType),
      type(type),
      name(name != nullptr ? name : ""),
      kind(kind != nullptr ? kind : ""),
      unit(unit != nullptr ? unit : "")
{
}

BParameter::~BParameter() = default;

BParameter::media_parameter_type BParameter::Type() const
{
    return type;
}

BParameterWeb* BParameter::Web() const
{
    return group != nullptr ? group->Web() : nullptr;
}

BParameterGroup* BParameter::Group() const
{
    return group;
}

const char* BParameter::Name() const
{
    return name.c_str();
}

const char* BParameter::Kind() const
{
    return kind.c_str();
}

const char* BParameter::Unit() const
{
    return unit.c_str();
}

int32 BParameter::ID() const
{
    return id;
}

media_type BParameter::MediaType() const
{
    return mediaType;
}

uint32 BParameter::Flags() const
{
    return flags;
}

void BParameter::SetFlags(uint32 newFlags)
{
    flags = newFlags;
}

type_code BParameter::ValueType() const
{
    switch (type) {
    case B_DISCRETE_PARAMETER:
        return B_INT32_TYPE;
    case B_CONTINUOUS_PARAMETER:
        return B_FLOAT_TYPE;
    case B_NULL_PARAMETER:
        break;
    }
    return 0;
}

size_t BParameter::ValueSize() const
{
    switch (type) {
    case B_DISCRETE_PARAMETER:
        return sizeof(int32);
    case B_CONTINUOUS_PARAMETER:
        return sizeof(float) * size_t(channels);
    case B_NULL_PARAMETER:
        break;
    }
    return 0;
}

int32 BParameter::CountChannels() const
{
    return channels;
}

void BParameter::SetChannelCount(int32 count)
{
    channels = count < 1 ? 1 : count;
}

status_t BParameter::GetValue(void* buffer, size_t* ioSize, bigtime_t* when)
{
    if (buffer == nullptr || ioSize == nullptr)
        return B_BAD_VALUE;
    size_t needed = ValueSize();
    if (needed == 0 || *ioSize < needed)
        return B_BAD_VALUE;
    BParameterWeb* web = Web();
    if (web == nullptr)
        return B_NO_INIT;
    size_t size = needed;
    status_t status = kits::media::ReadParameter(web->node, web->owner, id, buffer, &size, when);
    if (status == B_OK)
        *ioSize = size;
    return status;
}

status_t BParameter::SetValue(const void* buffer, size_t size, bigtime_t when)
{
    if (buffer == nullptr || size == 0 || size != ValueSize())
        return B_BAD_VALUE;
    BParameterWeb* web = Web();
    if (web == nullptr)
        return B_NO_INIT;
    return kits::media::WriteParameter(web->node, web->owner, id, buffer, size, when);
}
