// A reconnection of the running graph at a new size (what every tuning and every window resize
// does), on the test-signal card: the time it takes, and the frames the card loses meanwhile.
// Counters: "dropped_per_reconnect" are frames that found no buffer; "missed_per_reconnect" are
// frame periods without a frame sent, measured against the card's 25 frames a second.

#include "devices/TestCardNode.h"
#include "kits/interface/View.h"
#include "kits/interface/Window.h"
#include "kits/media/MediaDevices.h"
#include "kits/media/MediaTestHooks.h"
#include "video/NodeManager.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace video::bench {
namespace {

constexpr bigtime_t FRAME_PERIOD = 40000;

class Manager : public NodeManager {
public:
    ~Manager() override = default;
};

void BM_ReconnectAtNewSize(benchmark::State& state)
{
    kits::media::ResetDefaultNodes();
    devices::TestCardNode* card = nullptr;
    media_register_default_node(MEDIA_DEFAULT_VIDEO_INPUT, [&card]() -> BMediaNode* {
        card = new devices::TestCardNode();
        return card;
    }, 1000);

    auto* window = new BWindow(BRect(0, 0, 767, 575), "reconnect", B_TITLED_WINDOW, 0);
    auto* view = new BView(window->Bounds(), "picture", B_FOLLOW_ALL_SIDES, B_WILL_DRAW);
    window->AddChild(view);
    window->Show();
    {
        Manager manager;
        if (manager.StartNodes(view) != B_OK || card == nullptr) {
            state.SkipWithError("the graph did not start");
        } else {
            // Let the stream settle before counting.
            snooze(10 * FRAME_PERIOD);
            const int64 sentBefore = card->FramesSent();
            const int64 droppedBefore = card->FramesDropped();
            const bigtime_t started = system_time();
            int64 reconnects = 0;
            for (auto _ : state) {
                const bool small = reconnects % 2 == 0;
                manager.SetSize(small ? 640 : 768, small ? 480 : 576);
                reconnects++;
                // Two frame periods of streaming between reconnections, untimed, so the frames
                // lost are those a single reconnection costs.
                state.PauseTiming();
                snooze(2 * FRAME_PERIOD);
                state.ResumeTiming();
            }
            const bigtime_t elapsed = system_time() - started;
            const double expected = double(elapsed) / double(FRAME_PERIOD);
            const double sent = double(card->FramesSent() - sentBefore);
            const double n = double(reconnects > 0 ? reconnects : 1);
            state.counters["dropped_per_reconnect"]
                = double(card->FramesDropped() - droppedBefore) / n;
            state.counters["missed_per_reconnect"] = (expected > sent ? expected - sent : 0) / n;
        }
        manager.StopNodes();
    }
    window->Lock();
    window->Quit();
    kits::media::ResetDefaultNodes();
}
// Each reconnection allocates new bitmaps and buffers; a few dozen show the cost well.
BENCHMARK(BM_ReconnectAtNewSize)->Iterations(50)->Unit(benchmark::kMillisecond)->UseRealTime();

}
}
