#pragma once
// Reading, writing and finding the capture card's discrete parameters ("Channel", "Video Format").

#include "kits/kernel/SupportDefs.h"

class BDiscreteParameter;
class BParameterWeb;

namespace video {

// The "Channel", "Video Format" and "Audio Format" parameters of a capture card's web. Each is
// matched by the beginning of its name; a later match replaces an earlier one, and a match that
// is not discrete leaves null.
struct TunerParameters {
    BDiscreteParameter* channel = nullptr;
    BDiscreteParameter* videoFormat = nullptr;
    BDiscreteParameter* audioFormat = nullptr;
};
TunerParameters FindTunerParameters(BParameterWeb* web);
// Whether some parameter whose name begins with "Tuner Brand" reads non-zero: a tuner is fitted.
// Asks the card, so only callers that need to know call it.
bool TunerFitted(BParameterWeb* web);

// Whether name begins with prefix: a card may add to its parameters' names. False for a null
// name.
bool NameStartsWith(const char* name, const char* prefix);
// The parameter's 4-byte value; false (and *value untouched) when there is no parameter or it
// cannot be read.
bool ReadDiscreteValue(BDiscreteParameter* parameter, int32* value);
// Writes value, to apply at once; a failed write is not noticed.
void WriteDiscreteValue(BDiscreteParameter* parameter, int32 value);

}
