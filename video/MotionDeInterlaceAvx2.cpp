// MotionDeInterlace with AVX2. The only file of MotionDeInterlace built with -mavx2: it uses
// nothing but intrinsics and helpers that are always inlined, evaluated while compiling or
// instantiated for this file alone, so no function compiled for AVX2 here can be the copy the
// linker keeps for code run on any CPU.

#include "video/MotionDeInterlacePrivate.h"
#include "video/MotionDeInterlaceVector.h"
#include "video/VectorAvx2.h"

namespace video {

void MotionDeInterlaceAvx2(const FrameView& frame, MotionDeInterlaceState& state, FieldOrder order)
{
    MotionDeInterlaceVector<Avx2>(frame, state, order, MotionDeInterlaceSse2);
}

}
