#pragma once
// TestCardNode: the built-in capture card that sends test pictures when no real card is present.

#include "devices/CaptureNode.h"
#include "devices/PictureControls.h"
#include "devices/TestPicture.h"
#include "devices/TestStation.h"

#include <mutex>
#include <vector>

namespace devices {

// Positions of the "Video Format" items: 0 is "Auto" (taken as PAL-B/G), then the standards.
enum : int32 {
    VIDEO_FORMAT_AUTO = 0,
    VIDEO_FORMAT_NTSC_M = 1,
    VIDEO_FORMAT_NTSC_M_JP = 2,
    VIDEO_FORMAT_PAL_BG = 3,
    VIDEO_FORMAT_PAL_M = 4,
    VIDEO_FORMAT_PAL_N = 5,
    VIDEO_FORMAT_SECAM = 6,
};

// A capture card with a tuner on the channels of the ChannelPlan. Channels that carry one of its
// stations show that station's moving picture, the others snow. It has one raw-video output
// that takes B_RGB32, B_RGB16, B_RGB15 or B_GRAY8 at up to 1920x1080 (open fields get 768x576
// B_RGB32 for the 625-line standards, 640x480 for the 525-line ones) and, while started, sends
// one frame per frame period of its "Video Format" (25 a second, or 30000/1001): into the buffer
// group its consumer handed it, or into a group of its own. Each buffer is stamped with the
// frame's time on the node's time source plus the consumer's latency; a frame that finds no free
// buffer within a frame period is dropped and counted. Its web holds the tuner's "Video Format",
// "Channel", "Audio Format" and "Tuner Brand" and the picture's "Brightness", "Contrast",
// "Saturation", "Hue", "Luma Coring", "Chroma Comb", "Gamma" and "Error Diffusion"; every value is
// 4 bytes, and a write applies at its time, at once when that time has come.
//
// Every node hook runs on the node's control thread (before Run(), on the thread calling it),
// holding no lock. The public setters and counters may be called from any thread: the stations
// and the tuner's presence are guarded by `stationLock`, a leaf lock held only to copy them.
class TestCardNode : public CaptureNode {
public:
    TestCardNode();
    ~TestCardNode() override;

    // Replaces the stations the tuner receives; channels without a station show snow. A later
    // entry for the same channel wins.
    void SetStations(std::vector<TestStation> stations);
    std::vector<TestStation> Stations() const;
    // Without a tuner "Tuner Brand" reads 0, writing "Channel" changes nothing, and the card
    // shows the picture on its external input.
    void SetTunerFitted(bool fitted);

protected:
    NativePicture Native() const override;
    bigtime_t ProcessingLatency() const override;

    std::vector<ParameterItem> ItemsOf(int32 id) const override;
    std::optional<ParameterRange> RangeOf(int32 id) const override;
    bool HasSwitch(int32 id) const override;
    std::optional<int32> ReadDiscrete(int32 id) override;
    std::optional<float> ReadContinuous(int32 id) override;
    [[nodiscard]] status_t WriteDiscrete(int32 id, int32 value) override;
    [[nodiscard]] status_t WriteContinuous(int32 id, float value) override;

    void HandleEvent(const media_timed_event* event, bigtime_t lateness,
        bool realTimeEvent = false) override;

private:
    struct Timing;

    Timing CurrentTiming() const;
    void StartProducing(bigtime_t performanceTime);
    void ProduceFrame(bigtime_t frameTime);
    void ScheduleNextFrame(bigtime_t frameTime);
    [[nodiscard]] status_t DrawFrame(BBuffer* buffer, bigtime_t frameTime);

    bool producing = false;
    // Frames are due at anchorTime + n * period; the anchor moves when the standard changes.
    bigtime_t anchorTime = 0;
    int64 framesSinceAnchor = 0;
    int32 anchorFormat = VIDEO_FORMAT_PAL_BG;
    uint32 fieldSequence = 0;

    int32 videoFormat = VIDEO_FORMAT_PAL_BG;
    int32 channel = 0;
    int32 audioFormat = 0;
    PictureControls controls;
    // The switches as written: any value but 0 counts as on.
    int32 switchValues[4] = {0, 1, 0, 0};
    TestPicture picture;

    mutable std::mutex stationLock;
    // Guarded by stationLock.
    std::vector<TestStation> stations;
    bool tunerFitted = true;
};

}
