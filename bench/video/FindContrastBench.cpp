// FindContrast on a 768x576 frame in every colour space. It has only the reference: it reads at
// most 8 KiB once per measurement the station scan asks for.

#include "bench/video/MemcpyBaseline.h"
#include "video/FindContrast.h"

#include <string>

namespace video::bench {
namespace {

// One call takes about a microsecond: time several together so the clock reads do not count.
constexpr int32 CALLS_PER_TIMING = 16;

const bool registered = [] {
    for (color_space space : {B_GRAY8, B_RGB15, B_RGB16, B_RGB32}) {
        const std::string name = std::string("FindContrast/") + SpaceName(space) + "/Scalar";
        ConfigureRatio(benchmark::RegisterBenchmark(name.c_str(),
            [space](benchmark::State& state) {
                BenchFrame frame(space, 2);
                int32 contrast = 0;
                TimeAgainstMemcpy(
                    state, [] {},
                    [&] {
                        contrast = FindContrast(frame.View(), frame.Bytes().size());
                        benchmark::DoNotOptimize(contrast);
                    },
                    CALLS_PER_TIMING);
            }));
    }
    return true;
}();

}
}
