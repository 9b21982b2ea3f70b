#include "video/ParameterAccess.h"

#include "kits/media/DiscreteParameter.h"
#include "kits/media/TimeSource.h"

#include <cstring>

namespace video {

bool NameStartsWith(const char* name, const char* prefix)
{
    return name != nullptr && std::strncmp(name, prefix, std::strlen(prefix)) == 0;
}

bool ReadDiscreteValue(BDiscreteParameter* parameter, int32* value)
{
    if (parameter == nullptr)
        return false;
    int32 read = 0;
    size_t size = sizeof(read);
    if (parameter->GetValue(&read, &size, nullptr) != B_OK || size != sizeof(read))
        return false;
    *value = read;
    return true;
}

void WriteDiscreteValue(BDiscreteParameter* parameter, int32 value)
{
    (void)parameter->SetValue(&value, sizeof(value), BTimeSource::RealTime());
}

}
