#pragma once
// BNullParameter: a parameter without a value, such as a label in a web.

#include "kits/media/Parameter.h"

// Made by BParameterGroup::MakeNullParameter and owned by its group. Reading
// or writing it is refused with B_BAD_VALUE.
class BNullParameter : public BParameter {
private:
    friend class BParameterGroup;

    BNullParameter(int32 id, media_type mediaType, const char* name, const char* kind);
};
