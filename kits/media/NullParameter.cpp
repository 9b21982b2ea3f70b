#include "kits/media/NullParameter.h"

BNullParameter::BNullParameter(int32 id, media_type mediaType, const char* name,
    const char* kind)
    : BParameter(id, mediaType, B_NULL_PARAMETER, name, kind, B_UNIT_NONE)
{
}
