// MotionDeInterlace on a 768x576 frame in every colour space, each implementation this CPU runs:
// on a still picture (every pixel woven) and on a moving one (every pixel interpolated).

#include "bench/video/MemcpyBaseline.h"
#include "video/MotionDeInterlacePrivate.h"

#include <cstring>
#include <string>

namespace video::bench {
namespace {

// The same frame on every call: after the first, nothing has moved.
void Still(benchmark::State& state, color_space space, MotionDeInterlaceFunction function)
{
    BenchFrame frame(space, 1);
    MotionDeInterlaceState motion;
    function(frame.View(), motion, FIELD_ORDER_TOP_FIRST);
    TimeAgainstMemcpy(
        state, [] {}, [&] { function(frame.View(), motion, FIELD_ORDER_TOP_FIRST); });
}

// Two frames of unrelated random pixels in turn, each restored before its call (untimed).
void Moving(benchmark::State& state, color_space space, MotionDeInterlaceFunction function)
{
    BenchFrame frame(space, 1);
    const BenchFrame sources[2] = {BenchFrame(space, 2), BenchFrame(space, 3)};
    MotionDeInterlaceState motion;
    int32 next = 0;
    TimeAgainstMemcpy(
        state,
        [&] {
            const FrameView& source = sources[next].View();
            std::memcpy(
                frame.View().bits, source.bits, size_t(source.bytesPerRow) * size_t(source.lines));
            next ^= 1;
        },
        [&] { function(frame.View(), motion, FIELD_ORDER_TOP_FIRST); });
}

using Picture = void (*)(benchmark::State&, color_space, MotionDeInterlaceFunction);

const bool registered = [] {
    const struct {
        const char* name;
        Picture run;
    } pictures[] = {{"Still", Still}, {"Moving", Moving}};
    for (color_space space : {B_GRAY8, B_RGB15, B_RGB16, B_RGB32}) {
        for (const MotionDeInterlaceImplementation& implementation :
            MotionDeInterlaceImplementations()) {
            const MotionDeInterlaceFunction function = implementation.function;
            for (const auto& picture : pictures) {
                const std::string name = std::string("MotionDeInterlace/") + picture.name + "/"
                    + SpaceName(space) + "/" + implementation.name;
                const Picture run = picture.run;
                ConfigureRatio(benchmark::RegisterBenchmark(
                    name.c_str(), [space, function, run](benchmark::State& state) {
                        run(state, space, function);
                    }));
            }
        }
    }
    return true;
}();

}
}
