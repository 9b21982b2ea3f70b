#pragma once
// Reading, writing and finding the capture card's discrete parameters ("Channel", "Video Format").

#include "kits/kernel/SupportDefs.h"

class BDiscreteParameter;

namespace video {

// Whether name begins with prefix: a card may add to its parameters' names. False for a null
// name.
bool NameStartsWith(const char* name, const char* prefix);
// The parameter's 4-byte value; false (and *value untouched) when there is no parameter or it
// cannot be read.
bool ReadDiscreteValue(BDiscreteParameter* parameter, int32* value);
// Writes value, to apply at once; a failed write is not noticed.
void WriteDiscreteValue(BDiscreteParameter* parameter, int32 value);

}
