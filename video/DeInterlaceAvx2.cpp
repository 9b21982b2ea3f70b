// DeInterlace with AVX2. The only file of DeInterlace built with -mavx2: it uses nothing but
// intrinsics and helpers that are always inlined or instantiated for this file alone, so no
// function compiled for AVX2 here can be the copy the linker keeps for code run on any CPU.

#include "video/DeInterlacePrivate.h"
#include "video/DeInterlaceVector.h"
#include "video/VectorAvx2.h"

namespace video {

void DeInterlaceAvx2(const FrameView& frame)
{
    DeInterlaceVector<Avx2>(frame, DeInterlaceSse2);
}

}
