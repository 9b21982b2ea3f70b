// MotionDeInterlace with SSE2, which every x86-64 CPU has.

#include "video/MotionDeInterlacePrivate.h"
#include "video/MotionDeInterlaceVector.h"
#include "video/VectorSse2.h"

namespace video {

void MotionDeInterlaceSse2(const FrameView& frame, MotionDeInterlaceState& state, FieldOrder order)
{
    MotionDeInterlaceVector<Sse2>(frame, state, order, MotionDeInterlaceReference);
}

}
