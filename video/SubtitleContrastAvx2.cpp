// SubtitleContrast with AVX2. The only file of SubtitleContrast built with -mavx2: it uses
// nothing but intrinsics and helpers that are always inlined or instantiated for this file alone,
// so no function compiled for AVX2 here can be the copy the linker keeps for code run on any CPU.

#include "video/SubtitleContrastPrivate.h"
#include "video/SubtitleContrastVector.h"
#include "video/VectorAvx2.h"

namespace video {

void SubtitleContrastAvx2(const FrameView& frame, SubtitleContrastState& state)
{
    SubtitleContrastVector<Avx2>(frame, state, SubtitleContrastSse2);
}

}
