// DeInterlace with SSE2, which every x86-64 CPU has.

#include "video/DeInterlacePrivate.h"
#include "video/DeInterlaceVector.h"
#include "video/VectorSse2.h"

namespace video {

void DeInterlaceSse2(const FrameView& frame)
{
    DeInterlaceVector<Sse2>(frame, DeInterlaceReference);
}

}
