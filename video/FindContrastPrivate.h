#pragma once
// The reference FindContrast for one pixel format, for tests and benchmarks.

#include "kits/kernel/SupportDefs.h"

#include <cstddef>

namespace video {

// Defined for Gray8, Rgb15, Rgb16 and Rgb32; walks at most length bytes from bits.
template <typename Format>
int32 FindContrastScalar(const uint8* bits, size_t length);

}
