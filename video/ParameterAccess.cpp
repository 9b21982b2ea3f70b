#include "video/ParameterAccess.h"

#include "kits/media/DiscreteParameter.h"
#include "kits/media/ParameterWeb.h"
#include "kits/media/TimeSource.h"

#include <cstring>

namespace video {

TunerParameters FindTunerParameters(BParameterWeb* web)
{
    TunerParameters found;
    for (int32 i = 0; web != nullptr && i < web->CountParameters(); i++) {
        BParameter* parameter = web->ParameterAt(i);
        auto* discrete = dynamic_cast<BDiscreteParameter*>(parameter);
        const char* name = parameter->Name();
        if (NameStartsWith(name, "Channel")) {
            found.channel = discrete;
        } else if (NameStartsWith(name, "Video Format")) {
            found.videoFormat = discrete;
        } else if (NameStartsWith(name, "Audio Format")) {
            found.audioFormat = discrete;
        }
    }
    return found;
}

bool TunerFitted(BParameterWeb* web)
{
    bool fitted = false;
    for (int32 i = 0; web != nullptr && i < web->CountParameters(); i++) {
        BParameter* parameter = web->ParameterAt(i);
        int32 brand = 0;
        size_t size = sizeof(brand);
        if (NameStartsWith(parameter->Name(), "Tuner Brand")
            && parameter->GetValue(&brand, &size, nullptr) == B_OK && brand != 0) {
            fitted = true;
        }
    }
    return fitted;
}

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
