// SubtitleContrast with SSE2, which every x86-64 CPU has.

#include "video/SubtitleContrastPrivate.h"
#include "video/SubtitleContrastVector.h"
#include "video/VectorSse2.h"

namespace video {

void SubtitleContrastSse2(const FrameView& frame, SubtitleContrastState& state)
{
    SubtitleContrastVector<Sse2>(frame, state, SubtitleContrastReference);
}

}
