// DeInterlace on a 768x576 frame in every colour space, each implementation this CPU runs.

#include "bench/video/MemcpyBaseline.h"
#include "video/DeInterlacePrivate.h"

#include <string>

namespace video::bench {
namespace {

const bool registered = [] {
    for (color_space space : {B_GRAY8, B_RGB15, B_RGB16, B_RGB32}) {
        for (const DeInterlaceImplementation& implementation : DeInterlaceImplementations()) {
            const std::string name
                = std::string("DeInterlace/") + SpaceName(space) + "/" + implementation.name;
            const DeInterlaceFunction function = implementation.function;
            // The frame is blended again on every call: the work does not depend on its content.
            ConfigureRatio(benchmark::RegisterBenchmark(name.c_str(),
                [space, function](benchmark::State& state) {
                    BenchFrame frame(space, 1);
                    TimeAgainstMemcpy(state, [] {}, [&] { function(frame.View()); });
                }));
        }
    }
    return true;
}();

}
}
