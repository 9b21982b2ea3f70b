#pragma once
// BContinuousParameter: a parameter with a float value per channel in a range.

#include "kits/media/Parameter.h"

// Made by BParameterGroup::MakeContinuousParameter and owned by its group.
class BContinuousParameter : public BParameter {
public:
    float MinValue() const;
    float MaxValue() const;
    float ValueStep() const;

private:
    friend class BParameterGroup;

    BContinuousParameter(int32 id, media_type mediaType, const char* name, const char* kind,
        const char* unit, float minimum, float maximum, float step);

    float minimum;
    float maximum;
    float step;
};
