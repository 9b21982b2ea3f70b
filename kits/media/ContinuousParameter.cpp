#include "kits/media/ContinuousParameter.h"

BContinuousParameter::BContinuousParameter(int32 id, media_type mediaType, const char* name,
    const char* kind, const char* unit, float minimum, float maximum, float step)
    : BParameter(id, mediaType, B_CONTINUOUS_PARAMETER, name, kind, unit),
      minimum(minimum),
      maximum(maximum),
      step(step)
{
}

float BContinuousParameter::MinValue() const
{
    return minimum;
}

float BContinuousParameter::MaxValue() const
{
    return maximum;
}

float BContinuousParameter::ValueStep() const
{
    return step;
}
